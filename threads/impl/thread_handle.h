#pragma once

// The platform thread behind a CThread: one implementation per platform
// (impl/posix_thread.cpp, impl/win_thread.cpp). The object behaves like a
// Win32 thread handle: destroying it closes the handle but never stops the
// thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace threads_impl {

class CThreadHandle {
public:
    using Routine = int32_t (*)(void* arg);

    // What GetExitCodeThread reports for a thread that has not ended.
    static constexpr int32_t kStillActive = 259;

    // Starts routine(arg) on a new thread. On failure returns null and puts
    // the system's error code into error.
    static std::unique_ptr<CThreadHandle> Create(Routine routine, void* arg, std::size_t stackSize,
                                                 uint32_t& id, uint32_t& error);

    ~CThreadHandle();
    CThreadHandle(const CThreadHandle&) = delete;
    CThreadHandle& operator=(const CThreadHandle&) = delete;

    bool IsCurrentThread() const;
    bool IsAlive() const;
    // The routine's result, the code given to Kill, or kStillActive.
    int32_t ExitCode() const;

    // Asks the thread to end with exitCode. Returns false with the system's
    // error code if the request could not be made. The thread may still be
    // running when this returns; Join waits for it.
    bool Kill(int32_t exitCode, uint32_t& error);

    // Waits until the thread has returned or was killed. Does nothing when
    // called on the thread itself.
    void Join();

    struct Impl;

private:
    explicit CThreadHandle(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// The system's message for an error code, without a trailing line break;
// empty when the system has none.
std::wstring SystemErrorText(uint32_t code);

// Narrow system text (in the C library's current locale) to wide text.
std::wstring WidenSystemText(const char* text);

}  // namespace threads_impl

namespace threads_impl {

// Platform codes for the two failures the thread object detects itself.
uint32_t OutOfMemoryErrorCode();
// A thread asked to kill itself and wait for its own end.
uint32_t DeadlockErrorCode();

}  // namespace threads_impl

namespace threads_impl {

// Keeps the current thread from being killed while it is inside a wait
// that others depend on (waiting for another thread's end, bookkeeping in
// a destructor). A kill asked for meanwhile takes effect at the thread's
// next wait after the scope. Does nothing where killing is immediate.
class CNoKillScope {
public:
    CNoKillScope();
    ~CNoKillScope();
    CNoKillScope(const CNoKillScope&) = delete;
    CNoKillScope& operator=(const CNoKillScope&) = delete;

private:
    int m_previous = 0;
};

}  // namespace threads_impl
