#pragma once

// Thread-safe posting of window messages. Any thread may post; the message
// is handled later on the window's own thread by its message table. A
// window that has been destroyed is simply not found, so posting to it
// does nothing.

#include <QEvent>
#include <QObject>

#include "ui/framework/winmsg.h"

// The event that carries a posted message to its window.
class CMessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    CMessageEvent(UINT msg, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), message(msg), wParam(wParam), lParam(lParam) {}
    const UINT message;
    const WPARAM wParam;
    const LPARAM lParam;
};

// Returns false when no live window has that handle (nothing is queued).
bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Same, naming the window by its object address. The address is only
// compared with the live windows, never dereferenced, so a pointer to a
// window that is gone is safe to pass.
bool PostMessage(const QObject* window, UINT msg, WPARAM wParam, LPARAM lParam);

// Registry used by the dialog class: a window registers when it is built
// and unregisters before it is torn down.
namespace corvexa::ui {
HWND RegisterWindow(QObject* window);
void UnregisterWindow(HWND handle);
HWND FindWindowHandle(const QObject* window);
}  // namespace corvexa::ui
