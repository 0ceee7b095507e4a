#include "ui/main/connection_panel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "base/wide_text.h"
#include "lang/language.h"
#include "protocol/link_port.h"
#include "protocol/registers.h"
#include "res/resources.h"
#include "serial/usb_latency.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/main/control_ids.h"
#include "ui/main/line_diagnosis_text.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/notice.h"
#include "ui/main/open_failure.h"
#include "ui/main/port_box.h"
#include "ui/main/port_entry.h"
#include "ui/main/port_watch.h"
#include "ui/main/text_refresh.h"

using namespace mainwnd;
using namespace maintext;

namespace {

// A disconnect closes the port once LinkEnd was written, which waits at most
// for the attempt on the line (1 s); this bound covers a link that never
// gets to write it.
constexpr qint64 kLinkEndBoundMs = 1500;
constexpr int kLinkEndPollMs = 10;

// Per port in the settings file: "1" when the adapter always echoes.
constexpr char kEchoSection[] = "AdapterEcho";

void ListSystemPorts(std::vector<SSerInfo>& ports) {
    ListSerialPorts(ports, false);
}

}  // namespace

CConnectionPanel::CConnectionPanel(CDialog& dlg, protocol::TransmitterEngine& engine,
                                   protocol::CTransmitterLink& link)
    : m_dlg(dlg), m_engine(engine), m_link(link), m_listPorts(ListSystemPorts) {}

CConnectionPanel::~CConnectionPanel() = default;

void CConnectionPanel::InstallControls() {
    m_dlg.SubclassDlgItem(IDC_PORT, new CPortBox([this] { FillPortBox(); }));
    if (auto* box = m_dlg.ItemAs<QComboBox>(IDC_PORT))
        QObject::connect(box, &QComboBox::currentIndexChanged, &m_dlg,
                         [this] { ShowEchoSetting(); });
    if (auto* echo = m_dlg.ItemAs<QAbstractButton>(IDC_ADAPTER_ECHO)) {
        echo->setToolTip(MainText(kAdapterEchoTipText));
        QObject::connect(echo, &QAbstractButton::clicked, &m_dlg, [this] { SaveEchoSetting(); });
    }
    // The status line says more than "online" now: up to three lines
    // beside the lamp, centred on the connect button.
    auto* status = m_dlg.ItemAs<QLabel>(IDC_STATUS);
    const QWidget* button = m_dlg.Item(IDC_CONNECT);
    if (status != nullptr && button != nullptr) {
        status->setWordWrap(true);
        status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        const int height = 3 * status->fontMetrics().lineSpacing();
        status->setGeometry(status->x(), button->y() + (button->height() - height) / 2,
                            status->width(), height);
    }
}

void CConnectionPanel::WatchPorts(std::unique_ptr<CPortMonitor> monitor) {
    m_watch = std::make_unique<CPortWatch>(std::move(monitor), &m_dlg, [this] { FillPortBox(); });
}

void CConnectionPanel::FillPortBox() {
    std::vector<SSerInfo> system;
    try {
        m_listPorts(system);
    } catch (const CSerialListException& e) {
        // The ports found before the failure are still worth offering.
        std::fprintf(stderr, "corvexa: %s\n", e.what());
    }
    ShowPorts(system);
}

void CConnectionPanel::ShowPorts(const std::vector<SSerInfo>& system) {
    // The selection follows its port, not its place in the list.
    const int selected = m_dlg.ComboGetCurSel(IDC_PORT);
    std::wstring selectedPath;
    if (selected >= 0 && static_cast<size_t>(selected) < m_ports.size())
        selectedPath = m_ports[static_cast<size_t>(selected)].devicePath;
    const bool hadList = !m_ports.empty();

    m_ports = m_extraPorts;
    m_ports.insert(m_ports.end(), system.begin(), system.end());

    auto* box = m_dlg.ItemAs<QComboBox>(IDC_PORT);
    m_dlg.ComboResetContent(IDC_PORT);
    int select = hadList ? -1 : 0;
    for (size_t i = 0; i < m_ports.size(); ++i) {
        const SSerInfo& port = m_ports[i];
        const int pos = static_cast<int>(i);
        m_dlg.ComboInsertString(IDC_PORT, pos, PortBoxEntry(ToQString(port.friendlyName)));
        m_dlg.ComboSetItemData(IDC_PORT, pos, pos);
        if (box != nullptr) box->setItemData(pos, PortToolTip(port), Qt::ToolTipRole);
        if (hadList && port.devicePath == selectedPath) select = pos;
    }
    // A port that went away leaves the first entry selected.
    if (select < 0 && !m_ports.empty()) select = 0;
    m_dlg.ComboSetCurSel(IDC_PORT, select);
    ShowEchoSetting();
}

std::string CConnectionPanel::EchoKey(int portEntry) const {
    if (portEntry < 0 || portEntry >= static_cast<int>(m_ports.size())) return {};
    // A USB adapter's stable name survives re-plugging into another socket.
    const SSerInfo& port = m_ports[static_cast<size_t>(portEntry)];
    return corvexa::base::ToUtf8(port.stableName.empty() ? port.devicePath : port.stableName);
}

void CConnectionPanel::ShowEchoSetting() {
    const int selected = m_dlg.ComboGetCurSel(IDC_PORT);
    const std::string key =
        EchoKey(selected >= 0 ? static_cast<int>(m_dlg.ComboGetItemData(IDC_PORT, selected)) : -1);
    m_dlg.CheckDlgButton(IDC_ADAPTER_ECHO,
                         !key.empty() && GetTextSetting(kEchoSection, key) == L"1");
}

void CConnectionPanel::SaveEchoSetting() {
    const int selected = m_dlg.ComboGetCurSel(IDC_PORT);
    const std::string key =
        EchoKey(selected >= 0 ? static_cast<int>(m_dlg.ComboGetItemData(IDC_PORT, selected)) : -1);
    if (key.empty()) return;
    SetTextSetting(kEchoSection, key, m_dlg.IsDlgButtonChecked(IDC_ADAPTER_ECHO) ? L"1" : L"0");
}

int CConnectionPanel::SelectedBaud() const {
    const int code = m_dlg.ComboGetCurSel(IDC_BAUD);
    if (code < 0) return 9600;
    return protocol::BaudOfCode(static_cast<std::uint16_t>(code)).value_or(9600);
}

bool CConnectionPanel::OpenPortAt(int baud) {
    const std::string path = corvexa::base::ToUtf8(m_portInUse.devicePath);
    m_engine.SetParams(path, static_cast<std::uint32_t>(baud), protocol::LinkPortTimeout(),
                       serial::eightbits, serial::parity_none, serial::stopbits_one,
                       serial::flowcontrol_none);
    // An empty name gives a port object that never opens, yet Open reports
    // success for it; only a port that is really open counts.
    return m_engine.Open() && m_engine.IsOpen();
}

void CConnectionPanel::FillBaudBox(std::uint16_t baudCode) {
    m_dlg.ComboResetContent(IDC_BAUD);
    for (const wchar_t* text : protocol::kBaudTexts)
        m_dlg.ComboAddString(IDC_BAUD, QString::fromWCharArray(text));
    m_dlg.ComboSetCurSel(IDC_BAUD, baudCode);
}

bool CConnectionPanel::OnConnectButton() {
    if (m_connected) {
        Disconnect();
        return true;
    }
    Connect();
    return false;
}

QString CConnectionPanel::PortLabel() const {
    return PortBoxEntry(ToQString(m_portInUse.friendlyName));
}

void CConnectionPanel::Connect() {
    FinishPendingClose();
    const int selected = m_dlg.ComboGetCurSel(IDC_PORT);
    // The entry's own port, not a name parsed back out of the box text: a
    // product name may hold parentheses of its own.
    const int port =
        selected >= 0 ? static_cast<int>(m_dlg.ComboGetItemData(IDC_PORT, selected)) : -1;
    m_portInUse = port >= 0 && port < static_cast<int>(m_ports.size())
                      ? m_ports[static_cast<size_t>(port)]
                      : SSerInfo();
    const QString name = ToQString(m_portInUse.devicePath);
    // Tasks of the last connection end here, before any byte can reach the new port.
    m_link.BeginConnection();
    m_baud = SelectedBaud();
    m_link.SetEchoMode(m_dlg.IsDlgButtonChecked(IDC_ADAPTER_ECHO) ? protocol::EchoMode::On
                                                                  : protocol::EchoMode::Auto);
    m_link.SetLineBaud(m_baud);
    if (!OpenPortAt(m_baud)) {
        // The window stays offline, and says why.
        const auto failure = m_engine.LastOpenFailure();
        SOpenProblem problem =
            DiagnoseOpen(name.toLocal8Bit().toStdString(), failure.errorNumber, failure.message);
        // No entry at all: named by the port label's own word.
        const QString label = name.isEmpty() ? MainText(kPortLabelText) : PortLabel();
        if (name.isEmpty()) problem.kind = SOpenProblem::Kind::NoSuchPort;
        ShowNotice(label, OpenFailureText(label, problem));
        return;
    }
    m_engine.Start();
    const serial::PortLatency latency =
        serial::PortLatencyOf(corvexa::base::ToUtf8(m_portInUse.devicePath), true);
    m_link.SetAdapterLatency(std::chrono::milliseconds(latency.latencyMs.value_or(0)));
    if (m_portOpened) m_portOpened(latency);
    m_dlg.SetDlgItemText(IDC_CONNECT, MainText(CTextRefresh::ConnectTextId(true)));
    m_connected = true;
    m_status.SetWaiting();
    ShowStatus();
    m_link.StartVendorTask(protocol::OperationCode::ConnectRequest);
}

void CConnectionPanel::Disconnect() {
    // LinkEnd goes next; the port closes once it was written.
    m_link.EndConnection();
    m_closePending = true;
    m_closeWait.start();
    WaitForLinkEnd();
    GoOffline();
}

void CConnectionPanel::GoOffline() {
    m_probing = false;
    m_dlg.EnableItem(IDC_CONNECT, true);
    m_dlg.SetDlgItemText(IDC_CONNECT, MainText(CTextRefresh::ConnectTextId(false)));
    m_status.SetOffline();
    ShowStatus();
    SetLamp(IDB_OFFLINE);
    m_connected = false;
}

void CConnectionPanel::HandshakeFailed(bool lineBusy) {
    if (!m_connected || m_probing) return;
    if (lineBusy) {
        Disconnect();
        ShowNotice(PortLabel(), MainText(kLineBusyOnPortText).arg(PortLabel()));
        return;
    }
    const std::optional<protocol::ExchangeOutcome> failure = m_link.HandshakeFailure();
    m_diagnosis = protocol::LineDiagnosis{};
    m_diagnosis.baud = m_baud;
    if (failure) m_diagnosis = protocol::DiagnoseHandshake(*failure, m_baud);
    // Once per failed handshake; the button waits, as the port is the probe's.
    m_probeRates = protocol::OtherRates(m_baud);
    m_probing = true;
    m_dlg.EnableItem(IDC_CONNECT, false);
    ProbeNext();
}

void CConnectionPanel::ProbeNext() {
    while (m_probing && !m_probeRates.empty()) {
        const int rate = m_probeRates.front();
        m_probeRates.erase(m_probeRates.begin());
        m_engine.Stop(protocol::TransmitterEngine::kInfinite);
        if (!OpenPortAt(rate) || !m_engine.Start()) break;
        m_link.LineReopened(rate);
        m_diagnosis.probed.push_back(rate);
        if (!m_link.StartProbeTask(rate)) break;
        m_status.SetProbing(rate);
        ShowStatus();
        return;
    }
    FinishProbe();
}

void CConnectionPanel::ProbeResult(int baud, bool answered) {
    if (!m_probing) return;
    if (!answered) {
        ProbeNext();
        return;
    }
    m_diagnosis.answeredAt = baud;
    FinishProbe();
}

void CConnectionPanel::FinishProbe() {
    if (!m_probing) return;
    Disconnect();  // offline: the probe is over, the button free again
    ShowNotice(PortLabel(), LineDiagnosisText(m_diagnosis, PortLabel()));
}

void CConnectionPanel::PortLost() {
    if (!m_connected) return;
    // Nothing can reach the device any more: no LinkEnd to wait for.
    m_link.EndConnection();
    m_closePending = true;
    FinishPendingClose();
    GoOffline();
    FillPortBox();
    ShowNotice(PortLabel(), MainText(kPortLostText).arg(PortLabel()));
}

void CConnectionPanel::WaitForLinkEnd() {
    if (!m_closePending) return;
    if (m_link.LinkEndWritten() || m_closeWait.elapsed() >= kLinkEndBoundMs) {
        FinishPendingClose();
        return;
    }
    QTimer::singleShot(kLinkEndPollMs, &m_dlg, [this] { WaitForLinkEnd(); });
}

void CConnectionPanel::FinishPendingClose() {
    if (!m_closePending) return;
    m_closePending = false;
    m_engine.Stop(protocol::TransmitterEngine::kInfinite);
}

void CConnectionPanel::RegisterRead(int index, int count, bool answered) {
    if (!m_connected) return;
    m_status.RegisterRead(index, count, answered);
    ShowStatus();
}

void CConnectionPanel::GoOnline() {
    m_status.SetOnline();
    ShowStatus();
    SetLamp(IDB_ONLINE);
}

void CConnectionPanel::ShowStatus() {
    m_dlg.SetDlgItemText(IDC_STATUS, m_statusNote.isEmpty()
                                         ? m_status.Text()
                                         : m_status.Text() + u'\n' + m_statusNote);
}

void CConnectionPanel::SetLamp(int bitmapId) {
    QPixmap pixmap;
    if (std::optional<QByteArray> data =
            corvexa::res::FindResource(QStringLiteral("BITMAP"), bitmapId))
        pixmap.loadFromData(*data);
    m_dlg.SetItemBitmap(IDC_LAMP, pixmap);
    m_lamp = bitmapId;
}
