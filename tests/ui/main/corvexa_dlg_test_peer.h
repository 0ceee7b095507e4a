#pragma once

#include <utility>

#include "ui/main/corvexa_dlg.h"

class CTrafficWindow;

// What the main window's handlers left behind, read by the tests without
// widening the window's interface; friend of CCorvexaDlg, CConnectionPanel
// and CCalibrationAssistant.
class CCorvexaDlgTestPeer {
public:
    static bool Connected(const CCorvexaDlg& dlg) { return dlg.m_connection.Connected(); }
    // The bitmap id the online lamp shows.
    static int LampBitmap(const CCorvexaDlg& dlg) { return dlg.m_connection.m_lamp; }
    static protocol::TransmitterEngine& Engine(CCorvexaDlg& dlg) { return *dlg.m_engine; }

    // The calibration assistant's session, trend, marks and dialogs.
    static void SetReportPrompts(CCorvexaDlg& dlg, CCalibrationAssistant::SReportPrompts prompts) {
        dlg.m_assistant.m_prompts = std::move(prompts);
    }
    static const protocol::CalibrationSession& Session(const CCorvexaDlg& dlg) {
        return dlg.m_assistant.m_session;
    }
    static CTrendWidget* Trend(const CCorvexaDlg& dlg) { return dlg.m_assistant.m_trend; }
    static CStabilityMark* Mark(const CCorvexaDlg& dlg, int index) {
        return dlg.m_assistant.Mark(index);
    }
    static CTrimDialog* TrimDialog(const CCorvexaDlg& dlg) { return dlg.m_assistant.m_trim.get(); }
    static const QString& LastReportPath(const CCorvexaDlg& dlg) {
        return dlg.m_assistant.m_lastReport;
    }
    // Where the Configuration menu's Save… and Open… go, without a dialog.
    static void SetConfigurationPath(CCorvexaDlg& dlg, CConfigurationActions::PathPrompt prompt) {
        dlg.m_configuration.SetPathPrompt(std::move(prompt));
    }
    // Opened (and kept) by the menu; null until then.
    static CTrafficWindow* TrafficWindow(const CCorvexaDlg& dlg) { return dlg.m_trafficWindow; }
};
