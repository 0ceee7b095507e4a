#pragma once

class CDialog;
class QMenuBar;

// The window's menu bar: the language popup (language, Chinese, English),
// the configuration popup (save, open, compare, apply), the calibration report and the about entry,
// in the loaded language. The commands reach the window as WM_COMMAND and WM_SYSCOMMAND messages,
// the way the platform's menus deliver them.
class CMainMenu {
public:
    // Builds the bar on top of dlg and moves the template's controls below
    // it, growing the window by its height. The bar belongs to dlg.
    static QMenuBar* Install(CDialog& dlg);
    // Puts the loaded language's texts into the bar's entries and fits the
    // bar to them.
    static void Retranslate(CDialog& dlg, QMenuBar& bar);

private:
    // A bar lower than its texts hides every entry behind the extension
    // button, as when a language's glyphs stand taller than the one the bar
    // was sized for: grows (or shrinks) the bar, moving the controls and
    // the window's height along.
    static void FitHeight(CDialog& dlg, QMenuBar& bar);
};
