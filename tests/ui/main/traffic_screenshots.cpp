// Pictures of the traffic window for people to look at, in English and in
// Chinese, taken while the factory version samples the simulated
// transmitter (which now and then ignores a request, so time-outs and
// retries show as highlighted rows). Written into
// <build>/screenshots/traffic/; nothing here is asserted.

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <cstdio>

#include "../framework/snapshot.h"
#include "lang/language.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/control_ids.h"
#include "ui/main/traffic_ids.h"
#include "ui/main/traffic_window.h"
#include "window_harness.h"

using mainwnd_test::MainWindowHarness;

namespace {

void Trigger(CCorvexaDlg& dlg, int command) {
    if (auto* action = dlg.findChild<QMenuBar*>()->findChild<QAction*>(QString::number(command)))
        action->trigger();
}

void Shoot(QWidget& window, const char* name) {
    SaveSnapshot(&window, QStringLiteral("traffic/") + QString::fromLatin1(name));
    std::printf("wrote %s/screenshots/traffic/%s.png\n", CORVEXA_BINARY_DIR, name);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // This program has a folder of its own: the language it stores there
    // touches no other program.
    InitLanguage();
    SetLanguage(1033);

    MainWindowHarness::Config config;
    config.wander = true;
    MainWindowHarness h(config);
    h.ChooseVersion();
    if (!h.ConnectAndWaitOnline()) {
        std::printf("the simulated transmitter did not come online\n");
        return 1;
    }
    Trigger(h.Dlg(), trafficwnd::ID_VIEW_TRAFFIC);
    CTrafficWindow* window = CCorvexaDlgTestPeer::TrafficWindow(h.Dlg());
    if (window == nullptr) return 1;
    window->resize(980, 560);

    h.Sim().SetDropEvery(9);
    h.Click(mainwnd::IDC_ZERO_SAMPLE_BTN);
    MainWindowHarness::WaitFor([] { return false; }, 4000);
    Shoot(*window, "traffic_en");

    Trigger(h.Dlg(), mainwnd::ID_LANG_CHINESE);
    MainWindowHarness::WaitFor([] { return false; }, 1500);
    Shoot(*window, "traffic_zh");

    h.Click(mainwnd::IDC_ZERO_SAMPLE_BTN);
    h.Sim().SetDropEvery(0);
    SetLanguage(1033);
    return 0;
}
