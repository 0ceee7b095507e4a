#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <tlhelp32.h>  // needs the types of windows.h

#include "threads/impl/win_calls.h"
// windows.h renames GetMessage to GetMessageW, which would hide
// CThreadException::GetMessage from the tests that include this file.
#undef GetMessage
#else
#include <cerrno>
#include <filesystem>

#include "threads/impl/posix_calls.h"
#endif

#include "threads/impl/thread_handle.h"

namespace threads_test {

// Polls cond until it holds or a generous limit passes; returns the last
// value. Only for waiting on other threads, never for measuring them.
template <typename Cond>
bool Eventually(Cond cond, std::chrono::seconds limit = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Sanitizers start a helper thread of their own with the first thread the
// process creates; take baselines only after this.
inline void WarmUpThreads() {
    std::thread([] {}).join();
}

#ifdef _WIN32

// A killed Win32 thread is gone on the spot: nothing on its stack unwinds.
constexpr bool kKillUnwindsTheStack = false;

inline std::size_t ProcessThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    std::size_t n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    }
    CloseHandle(snapshot);
    return n;
}

// Makes thread creation or killing fail for one test, as an exhausted
// system or a lost thread would, and puts the real calls back however the
// test ends. failCreationNumber 0 fails every creation, n only the n-th.
class CThreadCallsOverride {
public:
    CThreadCallsOverride() : m_saved(threads_impl::WinThreadCalls()) {}
    ~CThreadCallsOverride() { threads_impl::WinThreadCalls() = m_saved; }

    void FailCreation(int failCreationNumber = 0) {
        Creations() = 0;
        FailingCreation() = failCreationNumber;
        threads_impl::WinThreadCalls().createThread = [](LPSECURITY_ATTRIBUTES a, SIZE_T s,
                                                         LPTHREAD_START_ROUTINE f, LPVOID p,
                                                         DWORD flags, LPDWORD id) -> HANDLE {
            const int n = ++Creations();
            if (FailingCreation() == 0 || FailingCreation() == n) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            return ::CreateThread(a, s, f, p, flags, id);
        };
    }
    void FailKill() {
        threads_impl::WinThreadCalls().terminateThread = [](HANDLE, DWORD) -> BOOL {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        };
    }
    static std::wstring CreationFailureText() {
        return threads_impl::SystemErrorText(ERROR_NOT_ENOUGH_MEMORY);
    }
    static std::wstring KillFailureText() {
        return threads_impl::SystemErrorText(ERROR_ACCESS_DENIED);
    }

private:
    // Creations happen on any thread (a worker starts the manager).
    static std::atomic<int>& Creations() {
        static std::atomic<int> n{0};
        return n;
    }
    static std::atomic<int>& FailingCreation() {
        static std::atomic<int> n{0};
        return n;
    }
    threads_impl::SWinThreadCalls m_saved;
};

#else

// Cancellation unwinds the thread's stack from its next wait.
constexpr bool kKillUnwindsTheStack = true;

inline std::size_t ProcessThreadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// Makes thread creation or killing fail for one test, as an exhausted
// thread limit or a lost thread would, and puts the real calls back
// however the test ends. failCreationNumber 0 fails every creation, n
// only the n-th.
class CThreadCallsOverride {
public:
    CThreadCallsOverride() : m_saved(threads_impl::PosixThreadCalls()) {}
    ~CThreadCallsOverride() { threads_impl::PosixThreadCalls() = m_saved; }

    void FailCreation(int failCreationNumber = 0) {
        Creations() = 0;
        FailingCreation() = failCreationNumber;
        threads_impl::PosixThreadCalls().create = [](pthread_t* t, const pthread_attr_t* a,
                                                     void* (*f)(void*), void* arg) {
            const int n = ++Creations();
            if (FailingCreation() == 0 || FailingCreation() == n) return EAGAIN;
            return pthread_create(t, a, f, arg);
        };
    }
    void FailKill() {
        threads_impl::PosixThreadCalls().cancel = [](pthread_t) { return ESRCH; };
    }
    static std::wstring CreationFailureText() { return L"Resource temporarily unavailable"; }
    static std::wstring KillFailureText() { return L"No such process"; }

private:
    // Creations happen on any thread (a worker starts the manager).
    static std::atomic<int>& Creations() {
        static std::atomic<int> n{0};
        return n;
    }
    static std::atomic<int>& FailingCreation() {
        static std::atomic<int> n{0};
        return n;
    }
    threads_impl::SPosixThreadCalls m_saved;
};

#endif

}  // namespace threads_test
