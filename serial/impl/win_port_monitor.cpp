// Port hot-plug on Windows: a message-only window on a thread of its own
// registers for the COM port device interface and turns WM_DEVICECHANGE
// arrivals and removals into a manual-reset event that the caller watches.
// clang-format off
#include <windows.h>

#include <dbt.h>  // needs the types of windows.h
// clang-format on

#include <atomic>
#include <thread>

#include "serial/port_monitor.h"

namespace {

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}: the COM port device interface.
const GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

const wchar_t kWindowClass[] = L"CorvexaPortMonitor";

bool IsPortArrivalOrRemoval(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) {
        return false;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    return header != nullptr && (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE ||
                                 header->dbch_devicetype == DBT_DEVTYP_PORT);
}

LRESULT CALLBACK MonitorProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DEVICECHANGE && IsPortArrivalOrRemoval(wParam, lParam)) {
        const auto changed = reinterpret_cast<HANDLE>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (changed != nullptr) {
            ::SetEvent(changed);
        }
        return TRUE;
    }
    if (msg == WM_CLOSE) {
        ::DestroyWindow(window);
        return 0;
    }
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, msg, wParam, lParam);
}

class CWinPortMonitor final : public CPortMonitor {
public:
    CWinPortMonitor() = default;
    ~CWinPortMonitor() override {
        if (HWND window = m_window.load()) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_changed != nullptr) {
            ::CloseHandle(m_changed);
        }
    }
    CWinPortMonitor(const CWinPortMonitor&) = delete;
    CWinPortMonitor& operator=(const CWinPortMonitor&) = delete;

    // Starts the window's thread; false when no window or registration
    // could be made.
    bool Start() {
        m_changed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (m_changed == nullptr || ready == nullptr) {
            if (ready != nullptr) ::CloseHandle(ready);
            return false;
        }
        m_thread = std::thread([this, ready] { Run(ready); });
        ::WaitForSingleObject(ready, INFINITE);
        ::CloseHandle(ready);
        return m_window.load() != nullptr;
    }

    std::intptr_t WaitHandle() const override { return reinterpret_cast<std::intptr_t>(m_changed); }

    bool TakeChanges() override {
        const bool changed = ::WaitForSingleObject(m_changed, 0) == WAIT_OBJECT_0;
        ::ResetEvent(m_changed);
        return changed;
    }

private:
    void Run(HANDLE ready) {
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = MonitorProc;
        cls.hInstance = instance;
        cls.lpszClassName = kWindowClass;
        ::RegisterClassExW(&cls);  // fails harmlessly when already registered
        HWND window = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        instance, nullptr);
        HDEVNOTIFY notify = nullptr;
        if (window != nullptr) {
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_changed));
            DEV_BROADCAST_DEVICEINTERFACE_W filter{};
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = kComPortInterface;
            notify = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
            if (notify == nullptr) {
                ::DestroyWindow(window);
                window = nullptr;
            }
        }
        m_window.store(window);
        ::SetEvent(ready);
        if (window == nullptr) {
            return;
        }
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::UnregisterDeviceNotification(notify);
        m_window.store(nullptr);
    }

    HANDLE m_changed = nullptr;
    std::atomic<HWND> m_window{nullptr};
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<CPortMonitor> CreatePortMonitor() {
    auto monitor = std::make_unique<CWinPortMonitor>();
    if (!monitor->Start()) {
        return nullptr;
    }
    return monitor;
}
