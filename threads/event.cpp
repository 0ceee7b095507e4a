#include "threads/event.h"

#include <chrono>

CEvent::CEvent(bool manualReset, bool initiallySignalled)
    : m_manualReset(manualReset), m_signalled(initiallySignalled) {}

void CEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    // An auto-reset event hands its signal to one waiter only; waking the
    // others would just send them back to sleep.
    if (m_manualReset)
        m_cond.notify_all();
    else
        m_cond.notify_one();
}

void CEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool CEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto signalled = [this] { return m_signalled; };
    bool ok;
    if (timeoutMs == kInfinite) {
        m_cond.wait(lock, signalled);
        ok = true;
    } else {
        // steady_clock: a wall-clock jump must not stretch or cut the wait.
        ok = m_cond.wait_until(
            lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs),
            signalled);
    }
    if (ok && !m_manualReset) m_signalled = false;
    return ok;
}
