#pragma once

// Drives the real main window offscreen against the simulated transmitter
// on a pseudo-terminal: widgets are found by id, clicked and read back.

#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "protocol/frames.h"
#include "sim/simulated_transmitter.h"
#include "ui/dialogs/dlglogin.h"
#include "ui/main/corvexa_dlg.h"

namespace mainwnd_test {

// A timed message box as the user saw it.
struct SBox {
    QString title;  // caption without the "(5S)" countdown
    QString message;
};

class MainWindowHarness {
public:
    struct Config {
        bool factory = true;
        std::chrono::milliseconds exitPause{0};
        bool wander = false;
        protocol::CTransmitterLink::Timing timing{};
        // The simulator's entry reads "<portLabel> (<pty path>)".
        std::wstring portLabel = L"Simulated transmitter";
        // The machine's ports after the simulator's (none unless given), and
        // the news of ports coming and going (none unless given).
        CConnectionPanel::PortLister listPorts = [](std::vector<SSerInfo>& ports) {
            ports.clear();
        };
        std::function<std::unique_ptr<CPortMonitor>()> portMonitor{};
        std::shared_ptr<protocol::CTraceFile> trace{};  // --trace
        // Where the sessions' journals go; empty: a folder of the harness's own.
        QString journalFolder{};
        // The history database; empty: a file in the harness's folder.
        QString database{};
    };

    explicit MainWindowHarness(Config config);
    MainWindowHarness() : MainWindowHarness(Config{}) {}
    ~MainWindowHarness();

    CCorvexaDlg& Dlg() { return *m_dlg; }
    // The start dialog, a child of the main window while it exists.
    CDlgLogin* Login() const { return m_dlg->findChild<CDlgLogin*>(); }
    corvexa::sim::SimulatedTransmitter& Sim() { return *m_sim; }
    // The simulator goes away with its pseudo-terminal: the program's port
    // hangs up, as when an adapter is pulled. Sim() is gone after this.
    void VanishPort() { m_sim.reset(); }

    // Picks the version in the start dialog (the factory one through the
    // password dialog) and waits until the window shows.
    void ChooseVersion();
    // Clicks connect and waits for the device to come online.
    bool ConnectAndWaitOnline();
    // Destroys the window: the program's shut-down.
    void DestroyWindow();
    bool HasWindow() const { return m_dlg != nullptr; }

    QString Text(int id) const;
    void SetText(int id, const QString& text);
    void Click(int id);
    bool Enabled(int id) const;
    bool Visible(int id) const;

    // Processes events until cond holds or the time is up.
    static bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 5000);

    // Result boxes seen so far; each is closed once recorded, with OK
    // unless told otherwise.
    const std::vector<SBox>& Boxes() const { return m_boxes; }
    void AnswerBoxesWith(int buttonId) { m_boxAnswer = buttonId; }
    bool WaitForBox(size_t count, int timeoutMs = 5000);
    int AboutBoxes() const { return m_aboutBoxes; }

    // Requests the simulator received, as raw frames.
    std::vector<protocol::Frame> Frames() const;
    bool WaitForFrame(const protocol::Frame& frame, int timeoutMs = 5000);

    QString JournalFolder() const { return m_journals.path(); }
    // Off: no looks for dialogs every 10 ms, so what the window costs is its own.
    void SetCatchingDialogs(bool on) { on ? m_catcher.start() : m_catcher.stop(); }

    void Snapshot(const QString& name);
    // The next result box caught is saved under this name too.
    void SnapshotNextBox(const QString& name) { m_nextBoxShot = name; }

private:
    void CatchDialogs();

    Config m_config;
    // Each window's journals in a folder of its own, gone with the harness.
    QTemporaryDir m_journals;
    std::unique_ptr<corvexa::sim::SimulatedTransmitter> m_sim;
    std::unique_ptr<CCorvexaDlg> m_dlg;
    QTimer m_catcher;

    std::vector<SBox> m_boxes;
    bool m_boxShot = false;
    QString m_nextBoxShot;
    int m_boxAnswer = IDOK;
    int m_aboutBoxes = 0;
};

// "01 06 00 0F" -> frame bytes with the CRC appended.
protocol::Frame FrameOf(std::initializer_list<std::uint8_t> sixBytes);
QString Hex(const protocol::Frame& frame);

}  // namespace mainwnd_test
