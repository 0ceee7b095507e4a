#pragma once

class CDialog;
class QMenuBar;

// The window's menu bar: the language popup (language, Chinese, English),
// the calibration report and the about entry, in the loaded language. The commands reach the
// window as WM_COMMAND and WM_SYSCOMMAND messages, the way the platform's
// menus deliver them.
class CMainMenu {
public:
    // Builds the bar on top of dlg and moves the template's controls below
    // it, growing the window by its height. The bar belongs to dlg.
    static QMenuBar* Install(CDialog& dlg);
    // Puts the loaded language's texts into the bar's entries.
    static void Retranslate(QMenuBar& bar);
};
