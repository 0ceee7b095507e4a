#pragma once

// Values the start dialog and the main window share for the whole run.

#include <QObject>
#include <atomic>

#include "ui/framework/winmsg.h"

// The main window's private message that the start dialog posts once the
// version is chosen; the window's other messages come from the device link.
inline constexpr UINT UM_SHOW_MAIN = WM_USER + 1001;  // 0x7E9

// 0 user version, 1 factory version. Set once by the start dialog before
// it posts UM_SHOW_MAIN; atomic because worker threads read it too.
extern std::atomic<int> factoryMode;

// The main window, stored by it during its initialisation. Messages are
// posted to it with PostMessage(MainWindow(), ...), which is safe even
// after the window is gone.
void SetMainWindow(QObject* window);
QObject* MainWindow();
