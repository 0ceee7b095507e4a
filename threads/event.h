#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// A signal one thread raises and others wait for, with a time-out.
//
// On Windows it is a kernel event object: a thread killed by TerminateThread
// while it waits leaves nothing behind, where a killed waiter of a run-time
// condition variable leaves that variable unusable (destroying it hangs).
//
// Auto-reset: a successful Wait consumes the signal, so one Set releases
// exactly one waiter (or the next thread to wait). Manual-reset: the signal
// stays until Reset and releases every waiter.
class CEvent {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    CEvent(bool manualReset, bool initiallySignalled);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    void Reset();

    // timeoutMs 0 only tests the state; kInfinite waits without limit.
    // Returns true if the event was signalled.
    bool Wait(uint32_t timeoutMs);

#ifdef _WIN32
    ~CEvent();
#endif

private:
#ifdef _WIN32
    void* m_event;  // HANDLE
#else
    std::mutex m_mutex;
    std::condition_variable m_cond;
    const bool m_manualReset;
    bool m_signalled;
#endif
};
