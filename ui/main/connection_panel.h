#pragma once

#include <QElapsedTimer>
#include <vector>

#include "protocol/transmitter_link.h"
#include "serial/list_ports.h"

class CDialog;

// Port box, baud box, connect button, lamp and status text. Knows whether
// the port is open (`connected`); the device's coming online is reported
// to it by the window.
class CConnectionPanel {
public:
    CConnectionPanel(CDialog& dlg, protocol::TransmitterEngine& engine,
                     protocol::CTransmitterLink& link);

    // Ports listed before the system's own (the simulated transmitter, ports
    // given on the command line).
    void SetExtraPorts(std::vector<SSerInfo> ports) { m_extraPorts = std::move(ports); }

    void FillPortBox();
    void FillBaudBox(std::uint16_t baudCode);

    // Connect button. Returns true when the port was closed by this click,
    // so the window can take the parameter controls away.
    bool OnConnectButton();
    void GoOnline();
    void SetLamp(int bitmapId);
    int LampBitmap() const { return m_lamp; }

    bool Connected() const { return m_connected; }
    // Closes the port if a disconnect left it open for LinkEnd to leave.
    void FinishPendingClose();

private:
    void Connect();
    void Disconnect();
    void WaitForLinkEnd();

    CDialog& m_dlg;
    protocol::TransmitterEngine& m_engine;
    protocol::CTransmitterLink& m_link;
    std::vector<SSerInfo> m_extraPorts;
    std::vector<SSerInfo> m_ports;
    int m_selectedPort = -1;
    bool m_connected = false;
    bool m_closePending = false;
    QElapsedTimer m_closeWait;
    int m_lamp = 131;  // the template shows the offline lamp
};
