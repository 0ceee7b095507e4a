#pragma once

#include "ui/main/corvexa_dlg.h"

class CTrafficWindow;

// What the main window's handlers left behind, read by the tests without
// widening the window's interface; friend of CCorvexaDlg and
// CConnectionPanel.
class CCorvexaDlgTestPeer {
public:
    static bool Connected(const CCorvexaDlg& dlg) { return dlg.m_connection.Connected(); }
    // The bitmap id the online lamp shows.
    static int LampBitmap(const CCorvexaDlg& dlg) { return dlg.m_connection.m_lamp; }
    static protocol::TransmitterEngine& Engine(CCorvexaDlg& dlg) { return *dlg.m_engine; }
    static CCalibrationAssistant& Assistant(CCorvexaDlg& dlg) { return dlg.m_assistant; }
    // Opened (and kept) by the menu; null until then.
    static CTrafficWindow* TrafficWindow(const CCorvexaDlg& dlg) { return dlg.m_trafficWindow; }
};
