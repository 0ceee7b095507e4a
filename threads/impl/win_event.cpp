// CEvent on a Win32 event object.

#include <windows.h>

#include <new>

#include "threads/event.h"

CEvent::CEvent(bool manualReset, bool initiallySignalled)
    : m_event(::CreateEventW(nullptr, manualReset, initiallySignalled, nullptr)) {
    // The thread object turns this into its "event failed" report.
    if (m_event == nullptr) throw std::bad_alloc();
}

CEvent::~CEvent() {
    ::CloseHandle(m_event);
}

void CEvent::Set() {
    ::SetEvent(m_event);
}

void CEvent::Reset() {
    ::ResetEvent(m_event);
}

bool CEvent::Wait(uint32_t timeoutMs) {
    // INFINITE is the same all-ones value as kInfinite.
    return ::WaitForSingleObject(m_event, timeoutMs) == WAIT_OBJECT_0;
}
