// The calibration assistant in the factory window: the trend and marks
// while sampling, the meter trim sent to the device, and the report of a
// session.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

#include "lang/language.h"
#include "protocol/session_journal.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/control_ids.h"
#include "ui/main/stability_mark.h"
#include "ui/main/trend_widget.h"
#include "ui/main/trim_dialog.h"
#include "ui/main/verification_ids.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::MainWindowHarness;

namespace {

TEST(CalibrationWindow, SamplingFeedsTheTrendAndAnUnstableStoreSaysSo) {
    MainWindowHarness h;
    ASSERT_TRUE(h.Sim().SetRegister(20, 1000));
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    EXPECT_FALSE(h.Visible(IDC_ZERO_STABILITY));

    h.Click(IDC_ZERO_SAMPLE_BTN);
    EXPECT_TRUE(h.Visible(IDC_ZERO_STABILITY));
    EXPECT_FALSE(h.Visible(IDC_FULL_STABILITY));
    ASSERT_TRUE(h.Sim().SetRegister(20, 1234));
    const auto& samples = CCorvexaDlgTestPeer::Trend(h.Dlg())->Statistics().Samples();
    ASSERT_TRUE(MainWindowHarness::WaitFor(
        [&] { return !samples.empty() && samples.back().value == 1234.0; }));
    // Far fewer than 5 s of readings: not settled, and the store says so.
    EXPECT_FALSE(CCorvexaDlgTestPeer::Mark(h.Dlg(), protocol::kZeroSampleIndex)->Stable());
    h.Click(IDC_ZERO_SAMPLE_BTN);
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_TRUE(h.Boxes()[0].message.contains(QStringLiteral("The reading was not stable")))
        << h.Boxes()[0].message.toStdString();
    ASSERT_EQ(CCorvexaDlgTestPeer::Session(h.Dlg()).Samples().size(), 1u);
    EXPECT_EQ(CCorvexaDlgTestPeer::Session(h.Dlg()).Samples()[0].word, 1234);
    // The write's old value is the point read at connect, not a live reading.
    EXPECT_EQ(CCorvexaDlgTestPeer::Session(h.Dlg()).Writes()[0].oldText, L"1000");

    // The note belongs to that store alone: the next write carries none.
    h.SetText(IDC_FULL_OUT, QStringLiteral("30001"));
    h.Click(IDC_FULL_OUT_SET);
    ASSERT_TRUE(h.WaitForBox(2));
    EXPECT_FALSE(h.Boxes()[1].message.contains(QStringLiteral("not stable")));
}

TEST(CalibrationWindow, TrimDialogSendsTheNewWordsToTheDevice) {
    MainWindowHarness h;
    ASSERT_TRUE(h.Sim().SetRegister(22, 6000));
    ASSERT_TRUE(h.Sim().SetRegister(23, 30000));
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Click(IDC_TRIM_METER);
    CTrimDialog* trim = CCorvexaDlgTestPeer::TrimDialog(h.Dlg());
    ASSERT_NE(trim, nullptr);
    ASSERT_TRUE(trim->isVisible());

    // Two rounds: the second starts from the words the first sent.
    const struct {
        const char* zero;
        const char* full;
        std::uint16_t word22, word23;
    } rounds[] = {{"4.1", "19.8", 5847, 30306}, {"3.9", "20", 5999, 30306}};
    size_t boxes = 0;
    for (const auto& r : rounds) {
        SCOPED_TRACE(r.zero);
        trim->ItemAs<QLineEdit>(CTrimDialog::IDC_ZERO_READING)->setText(QString::fromUtf8(r.zero));
        trim->ItemAs<QLineEdit>(CTrimDialog::IDC_FULL_READING)->setText(QString::fromUtf8(r.full));
        EXPECT_EQ(trim->GetDlgItemText(CTrimDialog::IDC_ZERO_NEW), QString::number(r.word22));
        trim->ItemAs<QPushButton>(CTrimDialog::IDC_SEND)->click();
        boxes += 2;
        ASSERT_TRUE(h.WaitForBox(boxes));
        EXPECT_EQ(h.Sim().Register(22), r.word22);
        EXPECT_EQ(h.Sim().Register(23), r.word23);
        EXPECT_EQ(h.Text(IDC_ZERO_OUT), QString::number(r.word22));
        ASSERT_TRUE(trim->Item(CTrimDialog::IDC_ANOTHER_ROUND)->isEnabled());
        trim->ItemAs<QPushButton>(CTrimDialog::IDC_ANOTHER_ROUND)->click();
    }
    const protocol::CalibrationSession& session = CCorvexaDlgTestPeer::Session(h.Dlg());
    EXPECT_EQ(session.Trims().size(), 2u);
    ASSERT_EQ(session.Writes().size(), 4u);
    for (const protocol::SessionWrite& w : session.Writes())
        EXPECT_EQ(w.outcome, protocol::WriteOutcome::Succeeded);
    EXPECT_EQ(session.Writes()[2].oldText, L"5847");
}

// The report's lines with each field's quotes taken off ("a","b" -> a,b);
// fields that hold a quote, a comma or a line break do not occur here.
QStringList CsvLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    for (QString& line : lines) {
        if (line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
        const bool quoted = line.isEmpty() || (line.startsWith(u'"') && line.endsWith(u'"'));
        EXPECT_TRUE(quoted) << line.toStdString();
        line = line.mid(1, line.size() - 2).replace(QStringLiteral("\",\""), QStringLiteral(","));
    }
    return lines;
}

QAction* MenuAction(MainWindowHarness& h, int command) {
    return h.Dlg().findChild<QMenuBar*>()->findChild<QAction*>(QString::number(command));
}

// Opens Verify…, types the meter's readings at the points and records the run.
void Verify(MainWindowHarness& h, const std::vector<const char*>& measured) {
    MenuAction(h, ID_VERIFY)->trigger();
    auto* window = h.Dlg().findChild<QWidget*>(QStringLiteral("verification"));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    window->findChild<QPushButton*>(QString::number(verifywnd::IDC_VERIFY_NEW_RUN))->click();
    auto* table = window->findChild<QTableWidget*>(QString::number(verifywnd::IDC_VERIFY_TABLE));
    ASSERT_EQ(static_cast<std::size_t>(table->rowCount()), measured.size());
    for (int row = 0; row < table->rowCount(); ++row)
        table->item(row, verifywnd::kMeasuredCol)->setText(QString::fromUtf8(measured[row]));
    window->findChild<QPushButton*>(QString::number(verifywnd::IDC_VERIFY_RECORD))->click();
}

// Range -50..150 °C, so the five points apply -50, 0, 50, 100 and 150 °C
// and expect 4, 8, 12, 16 and 20 mA.
TEST(CalibrationWindow, AsFoundThenTrimThenAsLeftGiveTheCertificatesNumbers) {
    MainWindowHarness h;
    for (auto [reg, word] :
         {std::pair<int, int>{14, 1}, {15, 300}, {16, 0xFFCE}, {17, 150}, {22, 6000}, {23, 30000}})
        ASSERT_TRUE(h.Sim().SetRegister(reg, word));
    SetTextSetting("Calibration", "Technician", L"");
    h.ChooseVersion();
    // A scanner types the tag and presses Enter: the serial field is next.
    auto* tag = h.Dlg().ItemAs<QLineEdit>(IDC_TAG);
    tag->setFocus();
    tag->setText(QStringLiteral("TT-101"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(tag, &enter);
    EXPECT_TRUE(h.Dlg().Item(IDC_SERIAL)->hasFocus());
    EXPECT_TRUE(h.Dlg().isVisible());  // Enter closed nothing
    h.SetText(IDC_SERIAL, QStringLiteral("SN7"));
    h.SetText(IDC_MODEL, QStringLiteral("TX-9"));
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    QTemporaryDir dir;
    int asked = 0, confirms = 0;
    bool closeAnswer = false;
    CCorvexaDlgTestPeer::SetReportPrompts(
        h.Dlg(), {[&asked]() -> std::optional<QString> {
                      ++asked;
                      return QStringLiteral("Li Wei");
                  },
                  [&dir](const QString&) { return dir.filePath(QStringLiteral("report")); },
                  [&](const QString&) {
                      ++confirms;
                      return closeAnswer;
                  }});

    Verify(h, {"4.10", "8.08", "12.06", "16.04", "20.02"});
    h.Click(IDC_TRIM_METER);
    CTrimDialog* trim = CCorvexaDlgTestPeer::TrimDialog(h.Dlg());
    ASSERT_NE(trim, nullptr);
    trim->ItemAs<QLineEdit>(CTrimDialog::IDC_ZERO_READING)->setText(QStringLiteral("4.1"));
    trim->ItemAs<QLineEdit>(CTrimDialog::IDC_FULL_READING)->setText(QStringLiteral("19.8"));
    trim->ItemAs<QPushButton>(CTrimDialog::IDC_SEND)->click();
    ASSERT_TRUE(h.WaitForBox(2));
    trim->hide();
    // A change and no certificate: closing asks, and No keeps the window.
    h.Dlg().SendMessage(WM_CLOSE, 0, 0);
    EXPECT_EQ(confirms, 1);
    EXPECT_TRUE(h.Dlg().isVisible());
    Verify(h, {"4.00", "8.00", "12.02", "16.00", "20.00"});

    MenuAction(h, ID_CALIBRATION_REPORT)->trigger();
    ASSERT_TRUE(h.WaitForBox(3));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(h.Text(IDC_TECHNICIAN), QStringLiteral("Li Wei"));
    SetTextSetting("Calibration", "Technician", L"");

    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    ASSERT_EQ(CCorvexaDlgTestPeer::LastReportPath(h.Dlg()), pdf)
        << h.Boxes()[2].message.toStdString();
    EXPECT_TRUE(QFile::exists(pdf));
    const QStringList lines = CsvLines(dir.filePath(QStringLiteral("report.csv")));
    for (const char* expected :
         {"Tag,TT-101", "Serial No.,SN7", "Model,TX-9", "Technician,Li Wei",
          "Range,-50 °C … 150 °C", "Tolerance ±0.25 % of span, 4–20 mA output; result: FAIL",
          "0 %,-50,4.000,4.1,0.625,FAIL", "50 %,50,12.000,12.06,0.375,FAIL",
          "100 %,150,20.000,20.02,0.125,PASS",
          "Tolerance ±0.25 % of span, 4–20 mA output; result: PASS",
          "50 %,50,12.000,12.02,0.125,PASS", "Zero Output,22,6000,5847,changed",
          "Full Output,23,30000,30306,changed", "Null Offset,15,30.0 (300),30.0 (300),"}) {
        EXPECT_EQ(lines.count(QString::fromUtf8(expected)), 1) << expected;
    }
    const QStringList changes = lines.filter(QStringLiteral(",Succeeded"));
    ASSERT_EQ(changes.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(changes[0].endsWith(QStringLiteral(",Zero Output,6000,5847,Succeeded")));
    EXPECT_TRUE(changes[1].endsWith(QStringLiteral(",Full Output,30000,30306,Succeeded")));
    const QStringList number =
        lines.filter(QRegularExpression(QStringLiteral("^Certificate No\\.,\\d{8}-\\d{4}$")));
    ASSERT_EQ(number.size(), 1) << lines.join('\n').toStdString();

    // Certified: closing asks no more, and the journal holds the certificate.
    const protocol::CalibrationSession& session = CCorvexaDlgTestPeer::Session(h.Dlg());
    ASSERT_TRUE(session.Certificate());
    EXPECT_EQ(
        QStringLiteral("Certificate No.,") + QString::fromStdString(session.Certificate()->number),
        number[0]);
    ASSERT_NE(session.Journal(), nullptr);
    const auto journal = protocol::ReadJournal(session.Journal()->Path());
    ASSERT_TRUE(journal);
    EXPECT_TRUE(journal->session.Certificate());
    ASSERT_TRUE(journal->session.Verification(protocol::VerificationStage::AsLeft));
    EXPECT_TRUE(journal->session.Verification(protocol::VerificationStage::AsLeft)->Passed());
    EXPECT_EQ("Li Wei", journal->session.Context().technician);
    h.Dlg().SendMessage(WM_CLOSE, 0, 0);
    EXPECT_EQ(confirms, 1);

    // Offline, a run has no session to go to, and the window says so.
    h.Click(IDC_CONNECT);
    ASSERT_TRUE(
        MainWindowHarness::WaitFor([&] { return !CCorvexaDlgTestPeer::Connected(h.Dlg()); }));
    auto* window = h.Dlg().findChild<QWidget*>(QStringLiteral("verification"));
    window->findChild<QPushButton*>(QString::number(verifywnd::IDC_VERIFY_RECORD))->click();
    EXPECT_EQ(window->findChild<QLabel*>(QString::number(verifywnd::IDC_VERIFY_NOTE))->text(),
              QStringLiteral("Connect to the transmitter first."));
}

TEST(CalibrationWindow, AnUnfinishedSessionOfTheDeviceIsOfferedFromItsJournal) {
    MainWindowHarness h;
    {
        // A session a crash cut short: one write, no end.
        protocol::CalibrationSession old;
        const auto start = protocol::WallClock::now() - std::chrono::hours(20);
        old.Start(
            start, L"/dev/ttyUSB0", {}, {{"TT-7", "", ""}, "Li Wei", "Corvexa 1.0.0"},
            protocol::SessionJournal::Open(
                protocol::JournalPathFor(h.JournalFolder().toStdString(), start, {"TT-7", "", ""}),
                nullptr));
        old.BeginWrite(start, protocol::OperationCode::WriteZeroOutput, L"6000", L"5000");
        old.CompleteWrite(protocol::OperationCode::WriteZeroOutput, true);
    }
    QTemporaryDir dir;
    QStringList questions;
    CCorvexaDlgTestPeer::SetReportPrompts(
        h.Dlg(), {[]() -> std::optional<QString> { return QStringLiteral("Li Wei"); },
                  [&dir](const QString&) { return dir.filePath(QStringLiteral("old.pdf")); },
                  [&](const QString& question) {
                      questions << question;
                      return true;
                  }});
    h.ChooseVersion();
    h.SetText(IDC_TAG, QStringLiteral("TT-7"));
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("TT-7")));
    ASSERT_TRUE(h.WaitForBox(1));
    const QStringList lines = CsvLines(dir.filePath(QStringLiteral("old.csv")));
    EXPECT_EQ(lines.filter(QStringLiteral(",Zero Output,6000,5000,Succeeded")).size(), 1);
    // Closed with its certificate: the next connect asks nothing.
    EXPECT_TRUE(
        protocol::UnfinishedJournals(h.JournalFolder().toStdString(), {"TT-7", "", ""}).size() ==
        1);  // only the session now running
    h.Click(IDC_CONNECT);
    ASSERT_TRUE(
        MainWindowHarness::WaitFor([&] { return !CCorvexaDlgTestPeer::Connected(h.Dlg()); }));
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    EXPECT_EQ(questions.size(), 1);
}

}  // namespace
