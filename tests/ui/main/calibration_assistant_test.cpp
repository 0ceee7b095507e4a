// The calibration assistant's window parts on their own: the report, the
// trim dialog and the trend's stability mark.

#include <gtest/gtest.h>

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "ui/main/calibration_report.h"
#include "ui/main/stability_mark.h"
#include "ui/main/trend_widget.h"
#include "ui/main/trim_dialog.h"

using protocol::OperationCode;
using protocol::WallClock;

namespace {

const WallClock::time_point kConnected{std::chrono::seconds(1'796'000'000)};

QString Local(WallClock::time_point t) {
    return QDateTime::fromSecsSinceEpoch(
               std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count())
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Connected with the zero offset at 30.0 (d = 1), the range -50..500 °C and
// the zero output at 6000; the offset was set to 12.5, the zero output
// write got no echo. Verified as found at 0, 50 and 100 % with a meter in
// date and a source past its date.
struct TwoWriteSession {
    protocol::CalibrationSession session;
    protocol::RegisterWords asLeft;

    explicit TwoWriteSession(const char* technician = "=Li; Wei, Bob") {
        const std::uint16_t words[protocol::kRegisterCount] = {
            3, 0, 0, 3, 1, 300, 0xFFCE, 500, 2, 250, 1000, 3333, 6000, 30000};
        protocol::RegisterWords found;
        for (int i = 0; i < protocol::kRegisterCount; ++i) found[i] = words[i];
        session.Start(kConnected, L"/dev/ttyUSB0", found,
                      {{"TT-101", "SN 7", "TX-9"}, technician, "Corvexa 1.0.0"});
        session.SetReferences(
            {{"Meter", "8846A", "M1", "2027-01-01", protocol::ReferenceKind::OutputMeter},
             {"Calibrator", "726", "C9", "2026-11-30", protocol::ReferenceKind::InputSource}});
        protocol::VerificationRun run;
        run.plan.lower = -50;
        run.plan.upper = 500;
        run.plan.percents = {0, 50, 100};
        for (auto [percent, measured] : {std::pair{0.0, 4.02}, {50.0, 12.05}, {100.0, 20.0}})
            run.points.push_back(protocol::EvaluatePoint(
                run.plan, percent, protocol::NominalInput(run.plan, percent), measured));
        session.RecordVerification(run);
        session.BeginWrite(kConnected + std::chrono::seconds(65), OperationCode::WriteZeroOffset,
                           L"30.0", L"12.5");
        session.CompleteWrite(OperationCode::WriteZeroOffset, true);
        session.BeginWrite(kConnected + std::chrono::seconds(130), OperationCode::WriteZeroOutput,
                           L"6000", L"5847");
        session.CompleteWrite(OperationCode::WriteZeroOutput, false);
        asLeft = found;
        asLeft[protocol::kZeroOffsetIndex] = 125;
        asLeft[protocol::kFullSampleIndex] = 3341;  // the live input moved: not a change
        asLeft[protocol::kGainIndex].reset();       // its read-back failed
    }
};

CCalibrationReport Certificate(const TwoWriteSession& s, const QDateTime& made) {
    return CCalibrationReport(s.session, s.asLeft, QStringLiteral("20261209-0001"), made,
                              "2026-12-09");
}

TEST(CalibrationReport, CsvIsTheCertificateWithTheExpiredReferenceMarked) {
    TwoWriteSession s;
    const QDateTime made = QDateTime::fromSecsSinceEpoch(1'796'000'600);
    const QString expected =
        QStringLiteral(
            "Calibration Certificate\r\n"
            "Certificate No.,20261209-0001\r\n"
            "Date and time,%1\r\n"
            "Software,Corvexa 1.0.0\r\n"
            "Technician,'=Li; Wei, Bob\r\n"
            "Port,/dev/ttyUSB0\r\n"
            "\r\n"
            "Device\r\n"
            "Tag,TT-101\r\n"
            "Serial No.,SN 7\r\n"
            "Model,TX-9\r\n"
            "Signal Source,K Type\r\n"
            "Range,-50 °C … 500 °C\r\n"
            "Output,4–20 mA\r\n"
            "\r\n"
            "Reference instruments\r\n"
            "Name,Model,Serial No.,Kind,Calibrated until,\r\n"
            "Meter,8846A,M1,Output meter,2027-01-01,\r\n"
            "Calibrator,726,C9,Input source,2026-11-30,past its calibration date\r\n"
            "\r\n"
            "As-found verification\r\n"
            "Tolerance ±0.25 % of span, 4–20 mA output; result: FAIL\r\n"
            "Point,Applied (°C),Expected (mA),Measured (mA),Error (% of span),Result\r\n"
            "0 %,-50,4.000,4.02,0.125,PASS\r\n"
            "50 %,225,12.000,12.05,0.313,FAIL\r\n"
            "100 %,500,20.000,20,0.000,PASS\r\n"
            "\r\n"
            "As-left verification\r\n"
            "Not done\r\n"
            "\r\n"
            "Changes made in this session\r\n"
            "Time,Parameter,Old value,New value,Result\r\n"
            "%2,Null Offset,30.0,12.5,Succeeded\r\n"
            "%3,Zero Output,6000,5847,Failed\r\n"
            "\r\n"
            "Stored samples\r\n"
            "None\r\n"
            "\r\n"
            "Output trims\r\n"
            "None\r\n"
            "\r\n"
            "Signatures\r\n"
            "Technician,'=Li; Wei, Bob,Signature and date,______________________\r\n"
            "Reviewer,,Signature and date,______________________\r\n"
            "\r\n"
            "Appendix: register words\r\n"
            "Parameter,Register,As found,As left,Changed\r\n"
            "Signal Source,10,K Type (3),K Type (3),\r\n"
            "Unit,11,°C (0),°C (0),\r\n"
            "Reserved,12,0,0,\r\n"
            "Baud rate,13,9600 (3),9600 (3),\r\n"
            "Decimal places,14,1,1,\r\n"
            "Null Offset,15,30.0 (300),12.5 (125),changed\r\n"
            "Lower Limit,16,-50 (65486),-50 (65486),\r\n"
            "Upper Limit,17,500,500,\r\n"
            "Gain,18,25 (2),not read,\r\n"
            "Temp.Comp,19,25.0 (250),25.0 (250),\r\n"
            "Zero Sample,20,1000,1000,\r\n"
            "Full Sample,21,3333,3341,\r\n"
            "Zero Output,22,6000,6000,\r\n"
            "Full Output,23,30000,30000,\r\n")
            .arg(made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 Local(kConnected + std::chrono::seconds(65)),
                 Local(kConnected + std::chrono::seconds(130)));
    // Every field is quoted, so a spreadsheet splitting at ';' keeps each
    // whole; taken off again, the fields are these.
    const QString csv = Certificate(s, made).Csv();
    EXPECT_TRUE(csv.contains(QStringLiteral("\"Technician\",\"'=Li; Wei, Bob\"\r\n")));
    QStringList lines = csv.split(QStringLiteral("\r\n"));
    for (QString& line : lines) {
        if (line.isEmpty()) continue;
        EXPECT_TRUE(line.startsWith(u'"') && line.endsWith(u'"')) << line.toStdString();
        line = line.mid(1, line.size() - 2).replace(QStringLiteral("\",\""), QStringLiteral(","));
    }
    EXPECT_EQ(expected.toStdString(), lines.join(QStringLiteral("\r\n")).toStdString());
}

TEST(CalibrationReport, SavesAPdfOfAtLeastOnePageWithTheCsvBesideIt) {
    TwoWriteSession s("李伟");
    const CCalibrationReport report = Certificate(s, QDateTime::currentDateTime());
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QString error;
    ASSERT_TRUE(report.Save(pdf, &error)) << error.toStdString();
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_GE(
        QString::fromLatin1(bytes).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))),
        1);
    // The Chinese name in the Simplified Chinese face, not the Japanese one.
    EXPECT_TRUE(bytes.contains("CJKsc"));
    EXPECT_FALSE(bytes.contains("CJKjp"));
    QFile csv(CCalibrationReport::CsvPathFor(pdf));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        csv.readAll().startsWith("\xEF\xBB\xBF\""
                                 "Calibration Certificate\"\r\n"));

    // A folder that is not there: refused with the reason, nothing left behind.
    const QString nowhere = dir.filePath(QStringLiteral("missing/report.pdf"));
    EXPECT_FALSE(report.Save(nowhere, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(TrimDialog, TypedReadingsGiveTheNewWordsAndASentRoundStartsTheNext) {
    CTrimDialog dlg(6000, 30000);
    std::vector<std::pair<std::uint16_t, std::uint16_t>> sent;
    dlg.SetConfirmHandler([&](const protocol::TrimRequest&, const protocol::TrimResult& r) {
        sent.emplace_back(r.newZeroWord, r.newFullWord);
    });
    ASSERT_TRUE(dlg.Create(nullptr));
    const auto type = [&](int id, const char* text) {
        dlg.ItemAs<QLineEdit>(id)->setText(QString::fromLatin1(text));
    };
    const auto text = [&](int id) { return dlg.GetDlgItemText(id).toStdString(); };
    EXPECT_EQ("4 mA", text(CTrimDialog::IDC_ZERO_TARGET));
    EXPECT_EQ("Type both readings", text(CTrimDialog::IDC_STATUS));
    EXPECT_FALSE(dlg.Item(CTrimDialog::IDC_SEND)->isEnabled());

    type(CTrimDialog::IDC_ZERO_READING, "4.1");
    type(CTrimDialog::IDC_FULL_READING, "4.1");
    EXPECT_EQ("The two readings are equal", text(CTrimDialog::IDC_STATUS));
    EXPECT_FALSE(dlg.Item(CTrimDialog::IDC_SEND)->isEnabled());
    type(CTrimDialog::IDC_FULL_READING, "19.8");
    EXPECT_EQ("5847", text(CTrimDialog::IDC_ZERO_NEW));
    EXPECT_EQ("30306", text(CTrimDialog::IDC_FULL_NEW));
    EXPECT_EQ("6000", text(CTrimDialog::IDC_ZERO_NOW));
    EXPECT_FALSE(dlg.Item(CTrimDialog::IDC_ANOTHER_ROUND)->isEnabled());

    dlg.ItemAs<QPushButton>(CTrimDialog::IDC_SEND)->click();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(5847, sent[0].first);
    EXPECT_EQ(30306, sent[0].second);
    EXPECT_FALSE(dlg.Item(CTrimDialog::IDC_SEND)->isEnabled());
    EXPECT_FALSE(dlg.Item(CTrimDialog::IDC_ZERO_READING)->isEnabled());

    // The second round starts from the words just sent, with 0-10 V targets.
    dlg.ItemAs<QPushButton>(CTrimDialog::IDC_ANOTHER_ROUND)->click();
    EXPECT_EQ("5847", text(CTrimDialog::IDC_ZERO_NOW));
    EXPECT_EQ("", text(CTrimDialog::IDC_ZERO_READING));
    dlg.ComboSetCurSel(CTrimDialog::IDC_SIGNAL, 1);
    EXPECT_EQ("10 V", text(CTrimDialog::IDC_FULL_TARGET));
    type(CTrimDialog::IDC_ZERO_READING, "0.2");
    type(CTrimDialog::IDC_FULL_READING, "10");
    ASSERT_TRUE(dlg.Result().has_value());
    EXPECT_EQ(protocol::TrimProblem::None, dlg.Result()->problem);
    EXPECT_EQ(text(CTrimDialog::IDC_ZERO_NEW), std::to_string(dlg.Result()->newZeroWord));
    EXPECT_EQ(1, dlg.RoundsSent());
}

TEST(TrendWidget, MarkFollowsTheLastFiveSeconds) {
    CTrendWidget trend;
    for (int ms = 0; ms <= 6000; ms += 80) trend.AddSample(std::chrono::milliseconds(ms), 1000);
    EXPECT_TRUE(trend.Mark().Stable());
    EXPECT_TRUE(trend.Mark().text().contains(QStringLiteral("Stable")));
    for (int ms = 6080; ms <= 8000; ms += 80)
        trend.AddSample(std::chrono::milliseconds(ms), ms % 160 ? 990 : 1010);
    EXPECT_FALSE(trend.Mark().Stable());
    EXPECT_TRUE(trend.Mark().text().contains(QStringLiteral("Not stable")));
    trend.Clear();
    EXPECT_TRUE(trend.Mark().text().contains(QStringLiteral("Waiting")));
}

// Readings are drawn a few at a time, but none is left undrawn, and a new
// run empties the chart at once.
TEST(TrendWidget, EveryReadingReachesTheChartAndFiguresAndClearEmptiesAtOnce) {
    CTrendWidget trend;
    trend.show();
    auto* series = static_cast<QLineSeries*>(
        trend.findChild<QChartView*>(QStringLiteral("trendChart"))->chart()->series().front());
    for (int i = 0; i < 20; ++i) trend.AddSample(std::chrono::milliseconds(60 * i), 1000 + i);
    QElapsedTimer waited;
    waited.start();
    while (series->count() < 20 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    ASSERT_EQ(series->count(), 20);
    EXPECT_EQ(series->at(19), QPointF(0, 1019));
    QStringList figures;
    for (const QLabel* label :
         trend.findChild<QWidget*>(QStringLiteral("trendFigures"))->findChildren<QLabel*>())
        figures << label->text();
    EXPECT_TRUE(figures.contains(QStringLiteral("1009.5"))) << figures.join(' ').toStdString();
    trend.Clear();
    EXPECT_EQ(series->count(), 0);
}

}  // namespace
