#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/line_doctor.h"
#include "protocol/transmitter_link.h"
#include "serial/list_ports.h"
#include "serial/port_monitor.h"
#include "serial/usb_latency.h"
#include "ui/main/control_ids.h"
#include "ui/main/link_status.h"

class CDialog;
class CPortWatch;

// Port box, baud box, connect button, lamp and status text. Knows whether
// the port is open (`connected`) and what the status line says; tells the
// technician why a port did not open, why the link ended, and keeps the
// port list in step with the machine.
class CConnectionPanel {
    friend class CCorvexaDlgTestPeer;

public:
    using PortLister = std::function<void(std::vector<SSerInfo>&)>;

    CConnectionPanel(CDialog& dlg, protocol::TransmitterEngine& engine,
                     protocol::CTransmitterLink& link);
    ~CConnectionPanel();

    // Ports listed before the system's own (the simulated transmitter, ports
    // given on the command line).
    void SetExtraPorts(std::vector<SSerInfo> ports) { m_extraPorts = std::move(ports); }
    // Where the system's ports come from (tests hand in a fake machine).
    void SetPortLister(PortLister lister) { m_listPorts = std::move(lister); }
    // Told what the port's driver does to its latency each time a port
    // opens for a connection (after lowering it where it can).
    void SetPortOpened(std::function<void(const serial::PortLatency&)> opened) {
        m_portOpened = std::move(opened);
    }

    // Once the controls exist: the port box that refreshes when opened, and
    // a status line with room for two lines.
    void InstallControls();
    // Lists the ports again; the selected port stays selected while present.
    void FillPortBox();
    // Refreshes the port box whenever `monitor` reports a port came or went.
    void WatchPorts(std::unique_ptr<CPortMonitor> monitor);
    void FillBaudBox(std::uint16_t baudCode);

    // Connect button. Returns true when the port was closed by this click,
    // so the window can take the parameter controls away.
    bool OnConnectButton();
    // The read-all's progress, and its end.
    void RegisterRead(int index, int count, bool answered);
    void GoOnline();
    // The handshake got no answer: the port is tried once at each other
    // rate, then closed, and the box says what the line did and where the
    // device answered. A busy line is said at once.
    void HandshakeFailed(bool lineBusy = false);
    // The probe's connect request at `baud` ended.
    void ProbeResult(int baud, bool answered);
    bool Probing() const { return m_probing; }
    // The port failed under the connection: offline at once, and why.
    void PortLost();
    void SetLamp(int bitmapId);

    // A problem the status line says below the link's state (the trace
    // file that could not be written); empty: none.
    void SetStatusNote(const QString& note) {
        m_statusNote = note;
        ShowStatus();
    }
    bool Connected() const { return m_connected; }
    const CLinkStatus& Status() const { return m_status; }
    void ShowStatus();
    // Closes the port if a disconnect left it open for LinkEnd to leave.
    void FinishPendingClose();

private:
    void Connect();
    void Disconnect();
    void GoOffline();
    void WaitForLinkEnd();
    void ShowPorts(const std::vector<SSerInfo>& system);
    // The entry text of the port in use (or selected), for message titles.
    QString PortLabel() const;
    // The rate the Baud Rate box names (9600 when it names none).
    int SelectedBaud() const;
    // Opens the port in use at `baud` and starts reading it.
    bool OpenPortAt(int baud);
    void ProbeNext();
    void FinishProbe();
    // The adapter-echo box follows the selected port's setting.
    void ShowEchoSetting();
    void SaveEchoSetting();
    std::string EchoKey(int portEntry) const;

    CDialog& m_dlg;
    protocol::TransmitterEngine& m_engine;
    protocol::CTransmitterLink& m_link;
    std::vector<SSerInfo> m_extraPorts;
    std::vector<SSerInfo> m_ports;
    PortLister m_listPorts;
    std::unique_ptr<CPortWatch> m_watch;
    SSerInfo m_portInUse;
    std::function<void(const serial::PortLatency&)> m_portOpened;
    bool m_connected = false;
    bool m_probing = false;
    int m_baud = 9600;  // the rate the connection's port was opened at
    std::vector<int> m_probeRates;
    protocol::LineDiagnosis m_diagnosis;
    bool m_closePending = false;
    QElapsedTimer m_closeWait;
    CLinkStatus m_status;
    QString m_statusNote;
    int m_lamp = mainwnd::IDB_OFFLINE;  // the template shows the offline lamp
};
