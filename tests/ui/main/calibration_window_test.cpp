// The calibration assistant in the factory window: the trend and marks
// while sampling, the meter trim sent to the device, and the report of a
// session.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "lang/language.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/control_ids.h"
#include "ui/main/stability_mark.h"
#include "ui/main/trend_widget.h"
#include "ui/main/trim_dialog.h"
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

TEST(CalibrationWindow, ReportListsTheSessionsWritesAsFoundAndAsLeft) {
    MainWindowHarness h;
    ASSERT_TRUE(h.Sim().SetRegister(14, 1));
    ASSERT_TRUE(h.Sim().SetRegister(15, 300));
    ASSERT_TRUE(h.Sim().SetRegister(22, 6000));
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    QTemporaryDir dir;
    int asked = 0;
    SetTextSetting("Calibration", "Technician", L"");
    CCorvexaDlgTestPeer::SetReportPrompts(
        h.Dlg(), {[&asked]() -> std::optional<QString> {
                      ++asked;
                      return QStringLiteral("Li Wei");
                  },
                  [&dir](const QString&) { return dir.filePath(QStringLiteral("report")); }});

    h.SetText(IDC_OFFSET, QStringLiteral("12.5"));
    h.Click(IDC_OFFSET_SET);
    ASSERT_TRUE(h.WaitForBox(1));
    h.SetText(IDC_ZERO_OUT, QStringLiteral("5000"));
    h.Click(IDC_ZERO_OUT_SET);
    ASSERT_TRUE(h.WaitForBox(2));

    auto* report =
        h.Dlg().findChild<QMenuBar*>()->findChild<QAction*>(QString::number(ID_CALIBRATION_REPORT));
    ASSERT_NE(report, nullptr);
    for (size_t n : {3u, 4u}) {
        report->trigger();
        ASSERT_TRUE(h.WaitForBox(n));
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(GetTextSetting("Calibration", "Technician"), L"Li Wei");
    SetTextSetting("Calibration", "Technician", L"");

    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    ASSERT_EQ(CCorvexaDlgTestPeer::LastReportPath(h.Dlg()), pdf)
        << h.Boxes()[2].message.toStdString();
    EXPECT_TRUE(QFile::exists(pdf));
    const QStringList lines = CsvLines(dir.filePath(QStringLiteral("report.csv")));
    for (const char* expected :
         {"Technician,Li Wei", "Null Offset,15,30.0 (300),12.5 (125),changed",
          "Zero Output,22,6000,5000,changed", "Gain,18,"}) {
        EXPECT_EQ(lines.filter(QString::fromUtf8(expected)).size(), 1) << expected;
    }
    const QStringList changes = lines.filter(QStringLiteral(",Succeeded"));
    ASSERT_EQ(changes.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(
        changes[0].endsWith(QStringLiteral(",Null Offset,30.0 (300),12.5 (125),Succeeded")));
    EXPECT_TRUE(changes[1].endsWith(QStringLiteral(",Zero Output,6000,5000,Succeeded")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("Port,") + QString::fromStdString(h.Sim().SlavePath())));
}

}  // namespace
