// What the factory window costs the machine, offscreen against the
// simulated transmitter: connected and idle, then zero sampling (about 16
// readings a second) with the trend in view, then the same with the Traffic
// window open too. Percent of one core and wake-ups a second of the whole
// program, the simulator's thread apart. Seconds per sampling phase: the
// first argument (60 unless given).
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMenuBar>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "bench/support/thread_use.h"
#include "lang/language.h"
#include "tests/ui/main/window_harness.h"
#include "ui/main/control_ids.h"
#include "ui/main/traffic_ids.h"

using mainwnd_test::MainWindowHarness;

namespace {

void RunEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Phase(MainWindowHarness& h, const char* what, int seconds) {
    RunEvents(2000);  // what the change started has settled
    const std::size_t framesBefore = h.Sim().FrameCount();
    const bench::ProgramUse before = bench::ReadProgramUse();
    RunEvents(seconds * 1000);
    const bench::UseRate rate = bench::RateBetween(before, bench::ReadProgramUse(), seconds);
    std::printf("%-46s %6.2f %% of a core  %6.1f wake-ups a second  %5.1f requests a second\n",
                what, rate.cpuPercent, rate.wakeupsPerSecond,
                static_cast<double>(h.Sim().FrameCount() - framesBefore) / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitLanguage();
    SetLanguage(1033);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    MainWindowHarness::Config config;
    config.wander = true;
    MainWindowHarness h(config);
    h.ChooseVersion();
    if (!h.ConnectAndWaitOnline()) {
        std::printf("the simulated transmitter did not come online\n");
        return 1;
    }
    h.SetCatchingDialogs(false);
    std::printf("factory window, offscreen, %d s a sampling phase:\n", seconds);
    Phase(h, "connected and idle", std::min(seconds, 20));
    h.Click(mainwnd::IDC_ZERO_SAMPLE_BTN);
    Phase(h, "zero sampling, trend in view", seconds);
    if (auto* action = h.Dlg().findChild<QMenuBar*>()->findChild<QAction*>(
            QString::number(trafficwnd::ID_VIEW_TRAFFIC)))
        action->trigger();
    Phase(h, "zero sampling, Traffic window open too", seconds);
    h.SetCatchingDialogs(true);  // what the shut-down may ask is answered
    return 0;
}
