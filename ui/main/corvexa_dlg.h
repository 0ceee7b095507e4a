#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "protocol/device_parameters.h"
#include "protocol/messages.h"
#include "protocol/trace_file.h"
#include "protocol/traffic_record.h"
#include "protocol/transmitter_link.h"
#include "serial/list_ports.h"
#include "serial/port_monitor.h"
#include "serial/usb_latency.h"
#include "ui/framework/dialog.h"
#include "ui/main/busy_rows.h"
#include "ui/main/calibration_assistant.h"
#include "ui/main/calibration_panel.h"
#include "ui/main/configuration_actions.h"
#include "ui/main/connection_panel.h"
#include "ui/main/field_marks.h"
#include "ui/main/parameter_panel.h"
#include "ui/main/text_refresh.h"

class CDlgLogin;
class CDlgMaskProgress;
class CTrafficWindow;
struct SField;
class QMenuBar;
class QScrollArea;

// The program's only main window. It owns the communication engine and the
// transactions object, receives their results as posted UM_ messages and
// coordinates the connection, parameter and calibration panels and the
// texts. Hidden behind the start dialog until a version is chosen.
class CCorvexaDlg : public CDialogEx, private protocol::IMessageSink {
    friend class CCorvexaDlgTestPeer;

public:
    struct SOptions {
        // Ports listed first in the port box (simulated transmitter, ports
        // named on the command line); friendly names end in "(<path>)".
        std::vector<SSerInfo> extraPorts;
        // Time LinkEnd gets at exit before the port is closed.
        std::chrono::milliseconds exitPause{2000};
        protocol::CTransmitterLink::Timing timing{};
        // The system's ports and the news of ports coming and going; tests
        // hand in a fake machine.
        CConnectionPanel::PortLister listPorts{};
        std::function<std::unique_ptr<CPortMonitor>()> portMonitor{CreatePortMonitor};
        // Where the traffic is appended as text (--trace); null: nowhere.
        std::shared_ptr<protocol::CTraceFile> trace;
        // Where each session's journal goes; empty: the data folder's
        // corvexa/journal.
        QString journalFolder;
        // The history database (a SQLite file or a PostgreSQL connection
        // string); empty: McSetting.ini's History/Database, else the data
        // folder's corvexa/history.sqlite.
        QString database;
    };

    explicit CCorvexaDlg(QWidget* parent = nullptr);
    CCorvexaDlg(SOptions options, QWidget* parent = nullptr);
    ~CCorvexaDlg() override;

    void RefreshTexts();
    void ShowValues() {
        const CParameterPanel::SShown shown = m_parameters.ShowValues();
        m_assistant.ValuesShown(shown.changed, shown.sampled);
    }
    void EnableParameterControls(bool enable);

    void setVisible(bool visible) override;

protected:
    bool OnInitDialog() override;
    // Enter outside a button: typing a value and pressing Enter must not
    // close the program, nor Escape, which a technician presses to leave a
    // field and which would lose the session. The close box asks first when
    // the session changed the device and has no certificate.
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose() override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void MapHandlers();

    LRESULT OnShowMain(WPARAM, LPARAM);
    LRESULT OnValuesChanged(WPARAM, LPARAM);
    LRESULT OnWriteResult(WPARAM code, LPARAM success);
    LRESULT OnDeviceOnline(WPARAM, LPARAM);
    LRESULT OnReadProgress(WPARAM index, LPARAM progress);
    LRESULT OnNoAnswer(WPARAM, LPARAM);
    LRESULT OnPortLost(WPARAM, LPARAM);
    LRESULT OnSampleMissed(WPARAM index, LPARAM);
    LRESULT OnProbeResult(WPARAM baud, LPARAM result);
    LRESULT OnSysCommand(WPARAM id, LPARAM);
    void OnConnect();
    void GoneOffline();
    void OnLanguage(std::uint16_t langId);
    void ShowTraffic();
    // Connected and the read-all done: the fields show the device.
    bool Online() const;
    // Moves the controls onto the scrolled page; the window may then be
    // resized.
    void MakeScrollable();
    // The scroll area fills the window below the bar.
    void Relayout();
    int BarHeight() const;
    // A field's button: the calibration panel's for samples and outputs,
    // the parameter panel's Modify for the others.
    void OnFieldButton(const SField& field);

    SOptions m_options;
    // Outlives the link, which reports to it.
    protocol::CTrafficRecord m_traffic;
    protocol::DeviceParameters m_params;
    std::unique_ptr<protocol::TransmitterEngine> m_engine;
    std::unique_ptr<protocol::CTransmitterLink> m_link;
    CBusyRows m_busy;
    CFieldMarks m_marks;
    CConnectionPanel m_connection;
    CParameterPanel m_parameters;
    CCalibrationPanel m_calibration;
    CCalibrationAssistant m_assistant;
    CConfigurationActions m_configuration;
    CTextRefresh m_texts;
    std::unique_ptr<CDlgLogin> m_login;
    std::unique_ptr<CDlgMaskProgress> m_mask;
    QMenuBar* m_menuBar = nullptr;
    // The controls sit on a page in a scroll area below the menu bar, so
    // the window can be made smaller than the template (a laptop's screen,
    // a large text scale) and scrolls; larger, the trend takes the room.
    QScrollArea* m_scroll = nullptr;
    QWidget* m_page = nullptr;
    QSize m_pageSize;                           // the page never gets smaller than its controls
    QRect m_trendRect;                          // the trend at that size
    CTrafficWindow* m_trafficWindow = nullptr;  // a child: goes with the window
    serial::PortLatency m_portLatency;          // of the port last opened
    // The window stays hidden until a version has been chosen; a modal run
    // would otherwise show it right away.
    bool m_mayShow = false;
};
