#include "window_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>

#include "../framework/snapshot.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/dialogs/aboutdlg.h"
#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/dialogs/dlglogin.h"
#include "ui/dialogs/dlgpwdinput.h"
#include "ui/main/control_ids.h"

namespace mainwnd_test {

namespace {

SSerInfo SimulatorPort(const std::string& path, const std::wstring& label) {
    SSerInfo info;
    info.devicePath = std::wstring(path.begin(), path.end());
    info.portName = info.devicePath;
    info.friendlyName = label + L" (" + info.devicePath + L")";
    info.description = L"Simulated transmitter";
    return info;
}

}  // namespace

MainWindowHarness::MainWindowHarness(Config config) : m_config(config) {
    corvexa::sim::SimulatedTransmitter::Options simOptions;
    simOptions.wander = config.wander;
    m_sim = std::make_unique<corvexa::sim::SimulatedTransmitter>(simOptions);

    CCorvexaDlg::SOptions options;
    options.extraPorts.push_back(SimulatorPort(m_sim->SlavePath(), config.portLabel));
    options.exitPause = config.exitPause;
    options.timing = config.timing;
    options.listPorts = config.listPorts;
    options.portMonitor = config.portMonitor;
    options.trace = config.trace;
    options.journalFolder =
        config.journalFolder.isEmpty() ? m_journals.path() : config.journalFolder;
    // Never the bench's own history.
    options.database = config.database.isEmpty()
                           ? m_journals.filePath(QStringLiteral("history.sqlite"))
                           : config.database;
    m_dlg = std::make_unique<CCorvexaDlg>(std::move(options));
    // Modeless, so the test keeps the event loop; the modal run only adds
    // exec() around the same initialisation.
    m_dlg->Create(nullptr);

    m_catcher.setInterval(10);
    QObject::connect(&m_catcher, &QTimer::timeout, [this] { CatchDialogs(); });
    m_catcher.start();
}

MainWindowHarness::~MainWindowHarness() {
    m_catcher.stop();
    DestroyWindow();
    m_sim.reset();
}

void MainWindowHarness::DestroyWindow() {
    m_dlg.reset();
}

void MainWindowHarness::CatchDialogs() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        if (auto* box = dynamic_cast<CDlgCustomMsgbox*>(w)) {
            QString title = box->windowTitle();
            title.remove(QRegularExpression(QStringLiteral("\\(\\d+S\\)$")));
            m_boxes.push_back({title, box->GetDlgItemText(1057)});
            if (!m_boxShot) {
                SaveSnapshot(box, QStringLiteral("main_result_box"));
                m_boxShot = true;
            }
            if (!m_nextBoxShot.isEmpty()) {
                SaveSnapshot(box, m_nextBoxShot);
                m_nextBoxShot.clear();
            }
            box->EndDialog(m_boxAnswer);
        } else if (auto* about = dynamic_cast<CAboutDlg*>(w)) {
            ++m_aboutBoxes;
            about->EndDialog(IDOK);
        } else if (auto* pwd = dynamic_cast<CDlgPwdInput*>(w)) {
            pwd->SetDlgItemText(CDlgPwdInput::kPasswordEdit, QStringLiteral("5862"));
            pwd->SendMessage(WM_COMMAND, IDOK, 0);
        }
    }
}

void MainWindowHarness::ChooseVersion() {
    CDlgLogin* login = Login();
    login->SendMessage(WM_COMMAND,
                       m_config.factory ? CDlgLogin::kFactoryButton : CDlgLogin::kUserButton, 0);
    WaitFor([this] { return m_dlg->isVisible(); });
}

bool MainWindowHarness::ConnectAndWaitOnline() {
    Click(mainwnd::IDC_CONNECT);
    return WaitFor(
        [this] { return CCorvexaDlgTestPeer::LampBitmap(*m_dlg) == mainwnd::IDB_ONLINE; });
}

QString MainWindowHarness::Text(int id) const {
    return m_dlg->GetDlgItemText(id);
}

void MainWindowHarness::SetText(int id, const QString& text) {
    m_dlg->SetDlgItemText(id, text);
}

void MainWindowHarness::Click(int id) {
    m_dlg->SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0);
}

bool MainWindowHarness::Enabled(int id) const {
    return m_dlg->Item(id)->isEnabled();
}

bool MainWindowHarness::Visible(int id) const {
    return m_dlg->Item(id)->isVisible();
}

bool MainWindowHarness::WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > timeoutMs) return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

bool MainWindowHarness::WaitForBox(size_t count, int timeoutMs) {
    return WaitFor([&] { return m_boxes.size() >= count; }, timeoutMs);
}

std::vector<protocol::Frame> MainWindowHarness::Frames() const {
    std::vector<protocol::Frame> out;
    for (const auto& f : m_sim->Frames()) out.push_back(f.bytes);
    return out;
}

bool MainWindowHarness::WaitForFrame(const protocol::Frame& frame, int timeoutMs) {
    return WaitFor(
        [&] {
            const auto frames = Frames();
            return std::find(frames.begin(), frames.end(), frame) != frames.end();
        },
        timeoutMs);
}

void MainWindowHarness::Snapshot(const QString& name) {
    // Layouts and the chart redo themselves on posted events: the picture
    // shows what the user sees once they ran, not the moment of the change.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    SaveSnapshot(m_dlg.get(), name);
}

protocol::Frame FrameOf(std::initializer_list<std::uint8_t> sixBytes) {
    protocol::Frame f{};
    std::copy(sixBytes.begin(), sixBytes.end(), f.begin());
    const std::uint16_t crc = protocol::Crc16(f.data(), 6);
    f[6] = static_cast<std::uint8_t>(crc & 0xFF);
    f[7] = static_cast<std::uint8_t>(crc >> 8);
    return f;
}

QString Hex(const protocol::Frame& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), frame.size()).toHex(' ');
}

}  // namespace mainwnd_test
