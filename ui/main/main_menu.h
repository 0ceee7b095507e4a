#pragma once

class CDialog;
class QMenuBar;

// The window's menu bar: the language popup ("语言" with "中文" and "英文")
// and the about entry. Their texts are fixed, not translated. The commands
// reach the window as WM_COMMAND and WM_SYSCOMMAND messages, the way the
// platform's menus deliver them.
class CMainMenu {
public:
    // Builds the bar on top of dlg and moves the template's controls below
    // it, growing the window by its height. The bar belongs to dlg.
    static QMenuBar* Install(CDialog& dlg);
};
