// Pictures of the calibration assistant for people to look at: the factory
// window's trend with a settled and with an unsettled reading, the trim
// dialog with two readings typed, and the first page of a report (one made
// through the window's Report... and made-up ones in both languages)
// rendered by pdftoppm.
// Written into <build>/screenshots/calibration/; nothing here is asserted.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "../framework/snapshot.h"
#include "lang/language.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/calibration_report.h"
#include "ui/main/control_ids.h"
#include "ui/main/trim_dialog.h"
#include "ui/main/verification_window.h"
#include "window_harness.h"

namespace {

void RenderFirstPage(const QDir& dir, const QString& name);

bool Save(QWidget& widget, const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

// The rest of the session in the same window: the settled zero sample is
// stored, the outputs trimmed with the meter dialog, then Report... writes
// the PDF whose first page is rendered.
void TrimAndReport(mainwnd_test::MainWindowHarness& h, const QDir& dir, const QString& suffix) {
    h.Click(mainwnd::IDC_ZERO_SAMPLE_BTN);
    h.WaitForBox(1);
    h.Click(mainwnd::IDC_TRIM_METER);
    CTrimDialog* trim = CCorvexaDlgTestPeer::TrimDialog(h.Dlg());
    trim->ItemAs<QLineEdit>(CTrimDialog::IDC_ZERO_READING)->setText(QStringLiteral("4.1"));
    trim->ItemAs<QLineEdit>(CTrimDialog::IDC_FULL_READING)->setText(QStringLiteral("19.8"));
    Save(*trim, dir, qPrintable(QStringLiteral("trim_dialog_window%1.png").arg(suffix)));
    trim->ItemAs<QPushButton>(CTrimDialog::IDC_SEND)->click();
    h.WaitForBox(3);
    CCorvexaDlgTestPeer::SetReportPrompts(
        h.Dlg(), {[] { return std::optional<QString>(QStringLiteral("Li Wei")); },
                  [&](const QString&) {
                      return dir.filePath(QStringLiteral("report_window%1.pdf").arg(suffix));
                  },
                  [](const QString&) { return false; }});
    // The name is asked once and then kept; this program's own folder holds it.
    SetTextSetting("Calibration", "Technician", L"");
    h.Dlg().SendMessage(WM_COMMAND, mainwnd::ID_CALIBRATION_REPORT);
    h.WaitForBox(4);
    if (CCorvexaDlgTestPeer::LastReportPath(h.Dlg()).isEmpty()) {
        std::printf("the window wrote no report: %s\n", qPrintable(h.Boxes().back().message));
        return;
    }
    std::printf("wrote %s\n", qPrintable(CCorvexaDlgTestPeer::LastReportPath(h.Dlg())));
    RenderFirstPage(dir, QStringLiteral("report_window") + suffix);
}

// The factory window sampling the zero input for 8 s: a reading that
// settles from a step, or one that keeps wandering by several counts.
void Trend(const QDir& dir, bool settled, const QString& suffix = QString()) {
    mainwnd_test::MainWindowHarness h;
    h.Sim().SetRegister(20, 20540);
    h.ChooseVersion();
    if (!h.ConnectAndWaitOnline()) {
        std::printf("the window did not come online: no trend picture\n");
        return;
    }
    h.Click(mainwnd::IDC_ZERO_SAMPLE_BTN);
    std::uint32_t seed = 12345;
    const auto noise = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 16) % 1000) / 1000.0 - 0.5;
    };
    for (int ms = 0; ms <= 8000; ms += 100) {
        const double value =
            settled ? 20480 + 60 * std::exp(-ms / 600.0) : 20480 + 14 * noise() + ms / 400.0;
        h.Sim().SetRegister(20, static_cast<std::uint16_t>(std::lround(value)));
        mainwnd_test::MainWindowHarness::WaitFor([] { return false; }, 100);
    }
    const QString name =
        (settled ? QStringLiteral("trend_stable") : QStringLiteral("trend_unstable")) + suffix;
    h.Snapshot(QStringLiteral("calibration/") + name);
    std::printf("wrote %s.png\n", qPrintable(dir.filePath(name)));
    // The trend alone, whole, however narrow the window is.
    SaveSnapshot(h.Dlg().Item(mainwnd::IDC_TREND),
                 QStringLiteral("calibration/") + name + "_alone");
    std::printf("wrote %s_alone.png\n", qPrintable(dir.filePath(name)));
    if (settled) TrimAndReport(h, dir, suffix);
}

void Trim(const QDir& dir, const char* name) {
    CTrimDialog trim(6000, 30000);
    trim.Create(nullptr);
    trim.ItemAs<QLineEdit>(CTrimDialog::IDC_ZERO_READING)->setText(QStringLiteral("4.1"));
    trim.ItemAs<QLineEdit>(CTrimDialog::IDC_FULL_READING)->setText(QStringLiteral("19.8"));
    trim.show();
    Save(trim, dir, name);
}

protocol::CalibrationSession Session() {
    using protocol::OperationCode;
    const auto t0 = protocol::WallClock::now() - std::chrono::minutes(20);
    const std::uint16_t words[protocol::kRegisterCount] = {0,   0, 0,   3,     1,     300,  0,
                                                           200, 2, 250, 20466, 61020, 6000, 30000};
    protocol::RegisterWords found;
    for (int i = 0; i < protocol::kRegisterCount; ++i) found[i] = words[i];
    protocol::CalibrationSession session;
    session.Start(t0, L"FT232R USB UART (ttyUSB0)", found,
                  {{"TT-4711", "A23-00815", "PT100 4-20 mA head"}, "Li Wei", "Corvexa 1.0.0"});
    session.SetReferences({{"Multimeter", "Fluke 8846A", "3921044", "2027-05-31",
                            protocol::ReferenceKind::OutputMeter},
                           {"Process calibrator", "Fluke 726", "1877302", "2026-11-30",
                            protocol::ReferenceKind::InputSource}});
    // As found off by a tenth of a milliampere at the bottom; as left in.
    const auto run = [](protocol::VerificationStage stage, std::initializer_list<double> measured) {
        protocol::VerificationRun r;
        r.stage = stage;
        r.plan.lower = 0;
        r.plan.upper = 200;
        auto m = measured.begin();
        for (double p : r.plan.percents)
            r.points.push_back(
                protocol::EvaluatePoint(r.plan, p, protocol::NominalInput(r.plan, p), *m++));
        return r;
    };
    session.RecordVerification(
        run(protocol::VerificationStage::AsFound, {4.102, 8.081, 12.060, 16.038, 20.021}));
    session.BeginWrite(t0 + std::chrono::minutes(2), OperationCode::WriteZeroOffset, L"30.0",
                       L"0.0");
    session.CompleteWrite(OperationCode::WriteZeroOffset, true);
    protocol::StabilityVerdict settled{protocol::Steadiness::Stable, {64, 20480.2, 0.8, 1.9}};
    session.BeginWrite(t0 + std::chrono::minutes(5), OperationCode::WriteZeroSample, L"20466",
                       L"20480");
    session.CompleteWrite(OperationCode::WriteZeroSample, true);
    session.RecordSample(t0 + std::chrono::minutes(5), OperationCode::WriteZeroSample, 20480,
                         settled);
    protocol::StabilityVerdict wandering{protocol::Steadiness::Spread, {61, 61034.5, 4.7, -8.3}};
    session.BeginWrite(t0 + std::chrono::minutes(8), OperationCode::WriteFullSample, L"61020",
                       L"61036");
    session.CompleteWrite(OperationCode::WriteFullSample, true);
    session.RecordSample(t0 + std::chrono::minutes(8), OperationCode::WriteFullSample, 61036,
                         wandering);
    const protocol::TrimRequest trim{protocol::OutputSignal::Current4To20mA, 6000, 30000, 4.1,
                                     19.8};
    const protocol::TrimResult result = protocol::ComputeTrim(trim);
    session.BeginWrite(t0 + std::chrono::minutes(12), OperationCode::WriteZeroOutput, L"6000",
                       L"5847");
    session.BeginWrite(t0 + std::chrono::minutes(12), OperationCode::WriteFullOutput, L"30000",
                       L"30306");
    session.CompleteWrite(OperationCode::WriteZeroOutput, true);
    session.CompleteWrite(OperationCode::WriteFullOutput, false);
    session.RecordTrim(t0 + std::chrono::minutes(12), trim, result);
    session.RecordVerification(
        run(protocol::VerificationStage::AsLeft, {4.003, 8.001, 12.004, 15.998, 20.006}));
    return session;
}

void Report(const QDir& dir, const QString& name) {
    const protocol::CalibrationSession session = Session();
    protocol::RegisterWords left = session.AsFound();
    left[protocol::kZeroOffsetIndex] = 0;
    left[protocol::kZeroSampleIndex] = 20480;
    left[protocol::kFullSampleIndex] = 61036;
    left[protocol::kZeroOutputIndex] = 5847;
    const CCalibrationReport report(session, left, QStringLiteral("20261209-0042"),
                                    QDateTime::currentDateTime(), "2026-12-09");
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    QString error;
    if (!report.Save(pdf, &error)) {
        std::printf("could not write the report: %s\n", qPrintable(error));
        return;
    }
    std::printf("wrote %s and %s\n", qPrintable(pdf),
                qPrintable(CCalibrationReport::CsvPathFor(pdf)));
    RenderFirstPage(dir, name);
}

// The verification window half way through an as-left run.
void Verification(const QDir& dir, const char* name) {
    CVerificationWindow window(
        [] {
            return std::optional<CVerificationWindow::SDevice>(
                {0, 200, QStringLiteral("°C"), "PT100 4-20 mA head", "A23-00815"});
        },
        {}, nullptr);
    window.SetStage(protocol::VerificationStage::AsLeft);
    window.show();
    window.StartRun();
    window.PasteReadings(QStringLiteral("0\t4.003\n50\t8.001\n100,12.004\n150;16.05\n"));
    Save(window, dir, name);
}

void RenderFirstPage(const QDir& dir, const QString& name) {
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()) {
        std::printf("pdftoppm is not installed: no picture of the report\n");
        return;
    }
    const int rc = QProcess::execute(
        QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), QStringLiteral("-f"),
         QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
         QStringLiteral("-singlefile"), pdf, dir.filePath(name + QStringLiteral("_page1"))});
    std::printf("pdftoppm %s %s_page1.png\n", rc == 0 ? "wrote" : "failed on", qPrintable(name));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QDir dir(QStringLiteral(CORVEXA_BINARY_DIR "/screenshots/calibration"));
    dir.mkpath(QStringLiteral("."));

    Trend(dir, true);
    Trend(dir, false);

    Trim(dir, "trim_dialog.png");
    Verification(dir, "verification.png");
    Report(dir, QStringLiteral("report"));

    // The same in Chinese. This program has a folder of its own, so the
    // language setting it stores there touches no other program.
    InitLanguage();
    SetLanguage(2052);
    Trim(dir, "trim_dialog_zh.png");
    Verification(dir, "verification_zh.png");
    Report(dir, QStringLiteral("report_zh"));
    Trend(dir, true, QStringLiteral("_zh"));
    return 0;
}
