#include "ui/framework/postmessage.h"

#include <QCoreApplication>
#include <mutex>
#include <unordered_map>

namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<HWND, QObject*> byHandle;
    std::unordered_map<const QObject*, HWND> byObject;
    std::uintptr_t next = 0x10;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;  // outlives every window
    return *registry;
}

// postEvent is made under the registry lock: a window unregisters under the
// same lock before its destructor goes on, and Qt drops events still queued
// for a deleted object, so a message can never reach a dead window.
bool PostLocked(QObject* target, UINT msg, WPARAM w, LPARAM l) {
    QCoreApplication::postEvent(target, new CMessageEvent(msg, w, l));
    return true;
}

}  // namespace

QEvent::Type CMessageEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byHandle.find(window);
    if (it == r.byHandle.end()) {
        return false;
    }
    return PostLocked(it->second, msg, wParam, lParam);
}

bool PostMessage(const QObject* window, UINT msg, WPARAM wParam, LPARAM lParam) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byObject.find(window);
    if (it == r.byObject.end()) {
        return false;
    }
    return PostLocked(r.byHandle.at(it->second), msg, wParam, lParam);
}

namespace corvexa::ui {

HWND RegisterWindow(QObject* window) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto known = r.byObject.find(window);
    if (known != r.byObject.end()) {
        return known->second;
    }
    // Handles are never reused, so a stale one cannot reach a newer window
    // that happens to live at the same address.
    HWND handle = reinterpret_cast<HWND>(r.next);
    r.next += 4;
    r.byHandle.emplace(handle, window);
    r.byObject.emplace(window, handle);
    return handle;
}

void UnregisterWindow(HWND handle) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byHandle.find(handle);
    if (it == r.byHandle.end()) {
        return;
    }
    r.byObject.erase(it->second);
    r.byHandle.erase(it);
}

HWND FindWindowHandle(const QObject* window) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byObject.find(window);
    return it == r.byObject.end() ? nullptr : it->second;
}

}  // namespace corvexa::ui
