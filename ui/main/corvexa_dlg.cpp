#include "ui/main/corvexa_dlg.h"

#include <QStandardPaths>
#include <algorithm>

#include <QIcon>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include "lang/language.h"
#include "protocol/messages.h"
#include "res/resources.h"
#include "ui/dialogs/aboutdlg.h"
#include "ui/dialogs/appstate.h"
#include "ui/dialogs/dlglogin.h"
#include "ui/dialogs/dlgmaskprogress.h"
#include "ui/framework/postmessage.h"
#include "ui/framework/textconv.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_table.h"
#include "ui/main/main_menu.h"
#include "ui/main/main_text.h"
#include "ui/main/port_entry.h"
#include "ui/main/qt_translations.h"
#include "ui/main/traffic_ids.h"
#include "ui/main/traffic_window.h"

using namespace mainwnd;

namespace {

// Simplified Chinese, and English as the program starts up with it.
constexpr std::uint16_t kLangChinese = 2052;
constexpr std::uint16_t kLangEnglish = 1033;

std::unique_ptr<protocol::TransmitterEngine> MakeEngine() {
    // The real settings are given at each connect; until then no port.
    return std::make_unique<protocol::TransmitterEngine>(
        std::string(), 9600, serial::Timeout(), serial::eightbits, serial::parity_none,
        serial::stopbits_one, serial::flowcontrol_none);
}

}  // namespace

namespace {

QString JournalFolder(const QString& chosen) {
    if (!chosen.isEmpty()) return chosen;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/corvexa/journal");
}

QString Database(const QString& chosen) {
    if (!chosen.isEmpty()) return chosen;
    const QString set = QString::fromStdWString(GetTextSetting("History", "Database")).trimmed();
    if (!set.isEmpty()) return set;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/corvexa/history.sqlite");
}

}  // namespace

CCorvexaDlg::CCorvexaDlg(QWidget* parent) : CCorvexaDlg(SOptions(), parent) {}

CCorvexaDlg::CCorvexaDlg(SOptions options, QWidget* parent)
    : CDialogEx(kTemplateId, parent),
      m_options(std::move(options)),
      m_engine(MakeEngine()),
      m_link(std::make_unique<protocol::CTransmitterLink>(
          *m_engine, static_cast<protocol::IMessageSink&>(*this), m_options.timing)),
      m_busy(*this),
      m_marks(*this),
      m_connection(*this, *m_engine, *m_link),
      m_parameters(*this, *m_link, m_params, m_busy, m_marks),
      m_calibration(*this, *m_link, m_params, m_busy, m_marks),
      m_assistant(*this, *m_link, m_params, m_busy, JournalFolder(m_options.journalFolder),
                  Database(m_options.database)),
      m_configuration(*this, *m_link, m_busy,
                      [this](protocol::OperationCode code, std::uint16_t word) {
                          m_assistant.WriteStarted(code, word);
                      }),
      m_texts(*this) {
    m_connection.SetExtraPorts(m_options.extraPorts);
    if (m_options.listPorts) m_connection.SetPortLister(m_options.listPorts);
    m_parameters.BindEdits();
    const auto written = [this](protocol::OperationCode code, std::uint16_t word) {
        m_assistant.WriteStarted(code, word);
    };
    m_parameters.SetWriteListener(written);
    m_calibration.SetListeners(
        [this](int index, bool on) { m_assistant.SamplingChanged(index, on); }, written);
    if (m_options.trace) {
        m_traffic.SetLineSink([trace = m_options.trace](const protocol::TrafficEntry& entry) {
            trace->Write(entry);
        });
    }
    m_link->SetObserver(&m_traffic);
    m_connection.SetPortOpened([this](const serial::PortLatency& latency) {
        m_portLatency = latency;
        const std::string words = serial::LatencyText(latency);
        if (!words.empty()) m_traffic.NoteEvent("port: " + words, latency.couldNotLower);
        if (m_trafficWindow != nullptr) m_trafficWindow->SetPortText(PortLatencyLines(latency));
    });
    MapHandlers();
}

void CCorvexaDlg::MapHandlers() {
    MapMessage(UM_SHOW_MAIN, &CCorvexaDlg::OnShowMain);
    MapMessage(protocol::UM_VALUES_CHANGED, &CCorvexaDlg::OnValuesChanged);
    MapMessage(protocol::UM_WRITE_RESULT, &CCorvexaDlg::OnWriteResult);
    MapMessage(protocol::UM_DEVICE_ONLINE, &CCorvexaDlg::OnDeviceOnline);
    MapMessage(protocol::UM_READ_PROGRESS, &CCorvexaDlg::OnReadProgress);
    MapMessage(protocol::UM_NO_ANSWER, &CCorvexaDlg::OnNoAnswer);
    MapMessage(protocol::UM_PORT_LOST, &CCorvexaDlg::OnPortLost);
    MapMessage(protocol::UM_SAMPLE_MISSED, &CCorvexaDlg::OnSampleMissed);
    MapMessage(protocol::UM_PROBE_RESULT, &CCorvexaDlg::OnProbeResult);
    MapMessage(WM_SYSCOMMAND, &CCorvexaDlg::OnSysCommand);

    MapCommand(IDC_CONNECT, &CCorvexaDlg::OnConnect);
    for (const SField& f : kFields) MapCommand(f.button, [this, &f] { OnFieldButton(f); });
    MapDeltaPos(IDC_ZERO_OUT_SPIN, [this](int d) { return m_calibration.OnZeroOutputSpin(d); });
    MapDeltaPos(IDC_FULL_OUT_SPIN, [this](int d) { return m_calibration.OnFullOutputSpin(d); });
    MapCommand(ID_LANG_CHINESE, [this] { OnLanguage(kLangChinese); });
    MapCommand(ID_LANG_ENGLISH, [this] { OnLanguage(kLangEnglish); });
    MapCommand(IDC_TRIM_METER, [this] { m_assistant.OnTrim(); });
    MapCommand(ID_CALIBRATION_REPORT, [this] { m_assistant.OnReport(); });
    MapCommand(ID_VERIFY, [this] { m_assistant.OnVerify(); });
    MapCommand(ID_HISTORY, [this] { m_assistant.OnHistory(); });
    MapCommand(trafficwnd::ID_VIEW_TRAFFIC, [this] { ShowTraffic(); });
    MapCommand(ID_CONFIG_SAVE, [this] { m_configuration.OnSave(Online()); });
    MapCommand(ID_CONFIG_OPEN, [this] {
        m_configuration.OnOpen(Online(), m_connection.Connected());
        if (m_configuration.ShowingFile())
            m_connection.SetStatusNote(m_configuration.ShowingFileNote());
    });
    MapCommand(ID_CONFIG_COMPARE, [this] { m_configuration.OnCompare(Online()); });
    MapCommand(ID_CONFIG_APPLY, [this] { m_configuration.OnApply(Online()); });
}

bool CCorvexaDlg::Online() const {
    return m_connection.Connected() &&
           m_connection.Status().Current() == CLinkStatus::State::Online;
}

void CCorvexaDlg::OnFieldButton(const SField& field) {
    switch (field.index) {
        case protocol::kZeroSampleIndex:
            m_calibration.OnZeroSample();
            break;
        case protocol::kFullSampleIndex:
            m_calibration.OnFullSample();
            break;
        case protocol::kZeroOutputIndex:
            m_calibration.OnZeroOutputSet();
            break;
        case protocol::kFullOutputIndex:
            m_calibration.OnFullOutputSet();
            break;
        default:
            m_parameters.OnModify(field);
            break;
    }
}

void CCorvexaDlg::ShowTraffic() {
    if (m_trafficWindow == nullptr) m_trafficWindow = new CTrafficWindow(m_traffic, this);
    m_trafficWindow->SetPortText(PortLatencyLines(m_portLatency));
    m_trafficWindow->show();
    m_trafficWindow->raise();
    m_trafficWindow->activateWindow();
}

void CCorvexaDlg::OnClose() {
    if (!m_assistant.MayClose()) return;
    m_assistant.Closing();
    CDialogEx::OnCancel();
}

CCorvexaDlg::~CCorvexaDlg() {
    m_assistant.Closing();
    // Nothing of the program stays on screen while LinkEnd gets its time.
    m_mayShow = false;
    hide();
    if (m_login) m_login->hide();

    m_link->Shutdown(m_options.exitPause);
    m_connection.FinishPendingClose();
    if (m_engine->IsOpen()) m_engine->Stop(protocol::TransmitterEngine::kInfinite);
    // The link detaches itself from the engine, so it goes first.
    m_link.reset();
    m_engine.reset();
    m_login.reset();
    m_mask.reset();
    if (MainWindow() == this) SetMainWindow(nullptr);
}

bool CCorvexaDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_menuBar = CMainMenu::Install(*this);
    // None of the window's buttons is a default button: Enter outside a
    // focused button is the dialog's OK, which closes the program.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    QPixmap icon;
    if (auto data = corvexa::res::FindResource(QStringLiteral("ICON"), IDI_MAIN))
        icon.loadFromData(*data);
    setWindowIcon(QIcon(icon));

    SetMainWindow(this);
    CenterWindow();
    SetWindowPosition(-10000, -10000);
    hide();

    m_login = std::make_unique<CDlgLogin>(this);
    if (m_login->Create(this)) {
        m_login->CenterWindow();
        m_login->show();
    }
    m_mask = std::make_unique<CDlgMaskProgress>(this);
    if (m_mask->Create(this)) {
        m_mask->CenterWindow();
        m_mask->hide();
    }

    m_connection.InstallControls();
    m_connection.FillPortBox();
    if (m_options.portMonitor) m_connection.WatchPorts(m_options.portMonitor());
    m_connection.FillBaudBox(m_params.baudCode);
    if (m_options.trace) {
        // The trace is written on its own thread; a failure is said once, in
        // the status line, and the exchanges go on.
        auto* watch = new QTimer(this);
        connect(watch, &QTimer::timeout, this, [this, watch] {
            const std::string problem = m_options.trace->WriteError();
            if (problem.empty()) return;
            m_connection.SetStatusNote(QString::fromStdString(problem));
            watch->stop();
        });
        watch->start(1000);
    }
    m_parameters.FillBoxes();
    m_calibration.InitSpins();
    m_assistant.InstallControls();
    EnableParameterControls(false);
    MakeScrollable();
    return true;
}

void CCorvexaDlg::MakeScrollable() {
    const int top = BarHeight();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("pageScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("page"));
    const QObjectList children = this->children();
    for (QObject* child : children) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w == nullptr || w == m_menuBar || w == m_scroll || w->isWindow()) continue;
        const QRect geometry = w->geometry();
        const bool hidden = w->isHidden();
        w->setParent(m_page);
        w->setGeometry(geometry.translated(0, -top));
        w->setVisible(!hidden);
    }
    m_pageSize = QSize(width(), height() - top);
    m_page->resize(m_pageSize);
    m_page->setMinimumSize(m_pageSize);
    if (QWidget* trend = Item(IDC_TREND)) m_trendRect = trend->geometry();
    // The scroll area gives the page the room there is, never less than its
    // controls need, and shows bars only where it must.
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(m_page);
    m_page->installEventFilter(this);
    // Small enough for any screen; the page scrolls below that.
    setMinimumSize(320, 240);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    Relayout();
}

int CCorvexaDlg::BarHeight() const {
    return m_menuBar != nullptr ? m_menuBar->height() : 0;
}

void CCorvexaDlg::Relayout() {
    if (m_scroll == nullptr) return;
    const int top = BarHeight();
    m_scroll->setGeometry(0, top, width(), std::max(0, height() - top));
}

bool CCorvexaDlg::eventFilter(QObject* watched, QEvent* event) {
    // The page grew or shrank: the trend takes what it has beyond its least.
    if (watched == m_page && event->type() == QEvent::Resize && m_trendRect.isValid())
        if (QWidget* trend = Item(IDC_TREND))
            trend->setGeometry(m_trendRect.adjusted(0, 0, m_page->width() - m_pageSize.width(),
                                                    m_page->height() - m_pageSize.height()));
    return CDialogEx::eventFilter(watched, event);
}

void CCorvexaDlg::setVisible(bool visible) {
    if (visible && !m_mayShow) return;
    CDialogEx::setVisible(visible);
}

void CCorvexaDlg::resizeEvent(QResizeEvent* event) {
    CDialogEx::resizeEvent(event);
    if (m_menuBar != nullptr) m_menuBar->resize(event->size().width(), m_menuBar->height());
    Relayout();
}

void CCorvexaDlg::PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    PostMessage(GetSafeHwnd(), msg, wParam, lParam);
}

void CCorvexaDlg::RefreshTexts() {
    FollowQtTranslations(GetLangIDSetting());
    SRefreshState state;
    state.connected = m_connection.Connected();
    state.zeroSampling = m_link->ZeroSampling();
    state.fullSampling = m_link->FullSampling();
    state.signalSource = m_params.signalSource;
    state.factoryMode = factoryMode != 0;
    m_texts.Refresh(state);
    m_assistant.ShowForVersion(state.factoryMode);
    m_assistant.RefreshTexts();
    m_configuration.RefreshTexts();
    if (m_configuration.ShowingFile())
        m_connection.SetStatusNote(m_configuration.ShowingFileNote());
    // The state the window is really in, in the new language.
    m_connection.ShowStatus();
    m_busy.Reapply();
    m_marks.Reapply();
    if (m_menuBar != nullptr) CMainMenu::Retranslate(*this, *m_menuBar);
    Relayout();
    if (m_trafficWindow != nullptr) {
        m_trafficWindow->Retranslate();
        m_trafficWindow->SetPortText(PortLatencyLines(m_portLatency));
    }
}

void CCorvexaDlg::EnableParameterControls(bool enable) {
    for (int id : ParameterControls()) EnableItem(id, enable);
    m_assistant.EnableControls(enable);
    m_busy.Reapply();
}

LRESULT CCorvexaDlg::OnShowMain(WPARAM, LPARAM) {
    const bool factory = factoryMode != 0;
    m_link->SetFactoryMode(factory);
    SetWindowPosition(0, 0);
    if (!factory) {
        MoveWindow(0, 0, 400, 500);
        // The user version shows the left part of the page, unscrolled.
        m_pageSize = QSize(width(), height() - BarHeight());
        if (m_page != nullptr) m_page->setMinimumSize(m_pageSize);
        Relayout();
    } else if (const QScreen* shown = screen()) {
        // A screen smaller than the window gets a window that fits it.
        const QSize frame = frameGeometry().size() - size();
        const QRect area = shown->availableGeometry();
        const int fitHeight = std::min(height(), area.height() - frame.height());
        // Cut in height, the page scrolls up and down: its bar gets room
        // beside the page so that nothing is hidden sideways.
        const int bar =
            fitHeight < height() ? m_scroll->verticalScrollBar()->sizeHint().width() : 0;
        resize(std::min(width() + bar, area.width() - frame.width()), fitHeight);
    }
    CenterWindow();
    RefreshTexts();
    m_mayShow = true;
    showNormal();
    return 0;
}

LRESULT CCorvexaDlg::OnValuesChanged(WPARAM, LPARAM) {
    ShowValues();
    return 0;
}

LRESULT CCorvexaDlg::OnWriteResult(WPARAM code, LPARAM result) {
    m_busy.End(static_cast<int>(code),
               m_connection.Status().Current() == CLinkStatus::State::Online);
    const bool success = protocol::ResultFailure(result) == protocol::ExchangeFailure::None;
    const QString note = m_assistant.WriteFinished(static_cast<int>(code), success);
    // An Apply shows all its writes in one table.
    if (m_configuration.WriteFinished(static_cast<int>(code), result)) return 0;
    m_parameters.ShowWriteResult(static_cast<int>(code), result, note);
    return 0;
}

LRESULT CCorvexaDlg::OnReadProgress(WPARAM index, LPARAM progress) {
    if (!m_connection.Connected()) return 0;
    const bool answered = protocol::ReadProgressAnswered(progress);
    m_connection.RegisterRead(static_cast<int>(index), protocol::ReadProgressCount(progress),
                              answered);
    const std::intptr_t result = protocol::ReadProgressResult(progress);
    if (protocol::ResultFailure(result) == protocol::ExchangeFailure::Refused)
        m_parameters.Refused(static_cast<int>(index),
                             ExceptionText(protocol::ResultException(result)));
    else if (!answered)
        m_parameters.NoAnswer(static_cast<int>(index));
    return 0;
}

LRESULT CCorvexaDlg::OnNoAnswer(WPARAM, LPARAM result) {
    if (!m_connection.Connected()) return 0;
    GoneOffline();
    m_connection.HandshakeFailed(protocol::ResultFailure(result) ==
                                 protocol::ExchangeFailure::LineBusy);
    return 0;
}

LRESULT CCorvexaDlg::OnProbeResult(WPARAM baud, LPARAM result) {
    m_connection.ProbeResult(static_cast<int>(baud),
                             protocol::ResultFailure(result) == protocol::ExchangeFailure::None);
    return 0;
}

LRESULT CCorvexaDlg::OnPortLost(WPARAM, LPARAM) {
    if (!m_connection.Connected()) return 0;
    GoneOffline();
    m_connection.PortLost();
    return 0;
}

LRESULT CCorvexaDlg::OnSampleMissed(WPARAM index, LPARAM) {
    if (m_connection.Connected()) m_calibration.SampleMissed(static_cast<int>(index));
    return 0;
}

void CCorvexaDlg::GoneOffline() {
    // No result comes for a write of a connection that is over.
    m_busy.Clear();
    m_assistant.Disconnected();
    m_configuration.Disconnected();
    EnableParameterControls(false);
}

LRESULT CCorvexaDlg::OnDeviceOnline(WPARAM, LPARAM) {
    // A read-all that outlived a disconnect must not light the lamp of a
    // closed port.
    if (!m_connection.Connected()) return 0;
    EnableParameterControls(true);
    m_connection.GoOnline();
    m_assistant.ReadAllDone();
    m_configuration.ReadAllDone();
    return 0;
}

LRESULT CCorvexaDlg::OnSysCommand(WPARAM id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return 0;
    }
    return DefWindowProc(WM_SYSCOMMAND, id, lParam);
}

void CCorvexaDlg::OnConnect() {
    if (!m_engine) return;
    if (m_connection.OnConnectButton()) {
        GoneOffline();
        return;
    }
    // A new connection: the marks of the last read-all are history.
    if (m_connection.Connected()) {
        m_marks.ClearAll();
        m_assistant.Connected(ToWString(GetDlgItemText(IDC_PORT)));
        if (m_configuration.ShowingFile()) {
            m_configuration.Connected();
            m_connection.SetStatusNote(QString());
        }
    }
}

void CCorvexaDlg::OnLanguage(std::uint16_t langId) {
    SetLanguage(langId);
    RefreshTexts();
}
