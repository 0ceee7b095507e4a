#include "ui/main/connection_panel.h"

#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "protocol/link_port.h"
#include "protocol/registers.h"
#include "res/resources.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text.h"
#include "ui/main/port_entry.h"
#include "ui/main/text_refresh.h"

using namespace mainwnd;

namespace {

// A disconnect closes the port once LinkEnd was written, which waits at most
// for the attempt on the line (1 s); this bound covers a link that never
// gets to write it.
constexpr qint64 kLinkEndBoundMs = 1500;
constexpr int kLinkEndPollMs = 10;

}  // namespace

CConnectionPanel::CConnectionPanel(CDialog& dlg, protocol::TransmitterEngine& engine,
                                   protocol::CTransmitterLink& link)
    : m_dlg(dlg), m_engine(engine), m_link(link)
{
}

void CConnectionPanel::FillPortBox()
{
    std::vector<SSerInfo> system;
    try {
        ListSerialPorts(system, false);
    } catch (const CSerialListException& e) {
        // The ports found before the failure are still worth offering.
        std::fprintf(stderr, "corvexa: %s\n", e.what());
    }
    m_ports = m_extraPorts;
    m_ports.insert(m_ports.end(), system.begin(), system.end());

    m_dlg.ComboResetContent(IDC_PORT);
    for (size_t i = 0; i < m_ports.size(); ++i) {
        const int pos = static_cast<int>(i);
        m_dlg.ComboInsertString(IDC_PORT, pos, PortBoxEntry(ToQString(m_ports[i].friendlyName)));
        m_dlg.ComboSetItemData(IDC_PORT, pos, pos);
    }
    m_dlg.ComboSetCurSel(IDC_PORT, 0);
}

void CConnectionPanel::FillBaudBox(std::uint16_t baudCode)
{
    m_dlg.ComboResetContent(IDC_BAUD);
    for (const wchar_t* text : protocol::kBaudTexts)
        m_dlg.ComboAddString(IDC_BAUD, QString::fromWCharArray(text));
    m_dlg.ComboSetCurSel(IDC_BAUD, baudCode);
}

bool CConnectionPanel::OnConnectButton()
{
    if (m_connected) {
        Disconnect();
        return true;
    }
    Connect();
    return false;
}

void CConnectionPanel::Connect()
{
    FinishPendingClose();
    m_selectedPort = m_dlg.ComboGetCurSel(IDC_PORT);
    // The entry's own port, not a name parsed back out of the box text: a
    // product name may hold parentheses of its own.
    const int port =
        m_selectedPort >= 0 ? static_cast<int>(m_dlg.ComboGetItemData(IDC_PORT, m_selectedPort)) : -1;
    const QString name = port >= 0 && port < static_cast<int>(m_ports.size())
                             ? ToQString(m_ports[static_cast<size_t>(port)].devicePath)
                             : QString();
    // Tasks of the last connection end here, before any byte can reach the new port.
    m_link.BeginConnection();
    // The baud box is never read: the transmitter always talks at 9600.
    m_engine.SetParams(name.toLocal8Bit().toStdString(), 9600, protocol::LinkPortTimeout(),
                       serial::eightbits, serial::parity_none, serial::stopbits_one,
                       serial::flowcontrol_none);
    // An empty name gives a port object that never opens, yet Open reports
    // success for it; only a port that is really open counts.
    if (!m_engine.Open() || !m_engine.IsOpen())
        return;  // absent, busy or empty: the window stays offline, silently
    m_engine.Start();
    m_dlg.SetDlgItemText(IDC_CONNECT, MainText(CTextRefresh::ConnectTextId(true)));
    m_connected = true;
    m_link.StartVendorTask(protocol::OperationCode::ConnectRequest);
}

void CConnectionPanel::Disconnect()
{
    // LinkEnd goes next; the port closes once it was written.
    m_link.EndConnection();
    m_closePending = true;
    m_closeWait.start();
    WaitForLinkEnd();
    m_dlg.SetDlgItemText(IDC_CONNECT, MainText(CTextRefresh::ConnectTextId(false)));
    m_dlg.SetDlgItemText(IDC_STATUS, MainText(CTextRefresh::StatusTextId(false)));
    SetLamp(IDB_OFFLINE);
    m_connected = false;
}

void CConnectionPanel::WaitForLinkEnd()
{
    if (!m_closePending)
        return;
    if (m_link.LinkEndWritten() || m_closeWait.elapsed() >= kLinkEndBoundMs) {
        FinishPendingClose();
        return;
    }
    QTimer::singleShot(kLinkEndPollMs, &m_dlg, [this] { WaitForLinkEnd(); });
}

void CConnectionPanel::FinishPendingClose()
{
    if (!m_closePending)
        return;
    m_closePending = false;
    m_engine.Stop(protocol::TransmitterEngine::kInfinite);
}

void CConnectionPanel::GoOnline()
{
    m_dlg.SetDlgItemText(IDC_STATUS, MainText(CTextRefresh::StatusTextId(true)));
    SetLamp(IDB_ONLINE);
}

void CConnectionPanel::SetLamp(int bitmapId)
{
    QPixmap pixmap;
    if (std::optional<QByteArray> data = corvexa::res::FindResource(QStringLiteral("BITMAP"), bitmapId))
        pixmap.loadFromData(*data);
    m_dlg.SetItemBitmap(IDC_LAMP, pixmap);
    m_lamp = bitmapId;
}
