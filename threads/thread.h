#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "threads/event.h"
#include "threads/thread_exception.h"

namespace threads_impl {
class CThreadHandle;
}

// One entry of the process-wide named lock list: every CThread that shares
// locks under the same name counts as one user of the entry.
struct SThreadSynchronicityTag {
    std::wstring name;
    std::unique_ptr<std::recursive_mutex> lock;
    int32_t userCount = 0;
};

// A platform thread steered through a command queue. A derived class
// supplies ThreadBody, which normally loops on WaitForCommand.
//
// One process-wide lock (the class lock) serialises Start, Terminate, the
// queue operations and the clean-up at the end of every thread.
//
// Terminate on POSIX is deferred cancellation: the thread ends at its next
// cancellation point (an event wait, a sleep, a blocking read) and
// Terminate waits for that. A body that spins without reaching one, or
// blocks on a plain mutex, keeps Terminate (and a destructor that needs
// it) waiting. A thread object must not be deleted from its own body.
class CThread {
public:
    enum : uint32_t {
        CmdTimeout = 1,  // WaitForCommand found none in time; never queued
        CmdStart = 2,
        CmdRun = 3,
        CmdPause = 4,
        CmdContinue = 5,
        CmdStop = 7,
    };
    enum : int32_t {
        StatusStarted = 0,
        StatusStopped = 1,
        StatusBusy = 2,
        StatusPaused = 3,
        StatusContinued = 4,
    };
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;
    static constexpr int32_t kNoExitCode = -2;

    explicit CThread(void* parameter = nullptr);
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Throws CThreadException (types 2, 4, 1, 5).
    void Start();
    // Throws CThreadException type 3 when the kill failed, unless noRaise.
    void Terminate(int32_t exitCode, bool noRaise = false);

    // Does nothing when there is no thread. Throws type 5 if queuing failed.
    void PostCommand(uint32_t code);
    // Puts the code at the head of the queue without waking the thread.
    bool PostCommandFront(uint32_t code);
    // Takes the oldest queued code; code is 0 when there is none.
    bool GetCommand(uint32_t& code);
    // Returns the next code, CmdTimeout when none came within timeoutMs
    // (kInfinite: no limit), or 0 at once when commands are not used.
    void WaitForCommand(uint32_t& code, uint32_t timeoutMs);

    bool IsRunning() const;
    void SetStatus(int32_t status) { m_status.store(status); }
    int32_t GetStatus() const { return m_status.load(); }
    int32_t GetExitCode() const;
    uint32_t GetThreadId() const;
    void* GetParameter() const { return m_parameter; }
    const std::wstring& GetName() const { return m_name; }

    // Users of the named lock list entry with this name; 0 when none.
    static int32_t NamedLockUsers(const std::wstring& name);
    static std::size_t NamedLockEntries();

protected:
    virtual int32_t ThreadBody() = 0;
    // Called after Terminate killed the thread, under the class lock: it
    // must not start, end or wait for any thread.
    virtual void OnTerminated() {}

    // For derived constructors only, before Start.
    void SetName(std::wstring name) { m_name = std::move(name); }
    void SetCommandsSupported(bool on) { m_commandsSupported = on ? 1 : 0; }
    void SetLockSharing(bool on) { m_lockSharing = on ? 1 : 0; }

    // Ends the thread before a derived object's members go away: a derived
    // destructor whose thread body uses those members calls this first.
    // With workFinished it waits for the thread to return instead of
    // killing it; killing a thread that is past its work only risks leaving
    // shared state half-updated.
    void EndThreadForDestruction(bool workFinished);

private:
    using Lock = std::unique_lock<std::recursive_mutex>;

    static int32_t StartRoutine(void* self);
    void ResetLocked();
    bool IsRunningLocked() const;
    bool PostLocked(uint32_t code, std::wstring& error);
    void RegisterLocked();
    void UnregisterLocked();
    // Takes the handle out, optionally kills the thread, and waits for it
    // with the class lock released; the lock is held again on return.
    // Returns the handle for the caller to finish with.
    std::unique_ptr<threads_impl::CThreadHandle> KillAndJoin(Lock& lock, bool kill,
                                                             int32_t exitCode, bool& killed,
                                                             uint32_t& error);
    void WaitForPendingJoin(Lock& lock);

    uint32_t m_commandsSupported = 0;
    uint32_t m_lockSharing = 0;
    std::wstring m_name;
    void* m_parameter;
    std::list<SThreadSynchronicityTag>::iterator m_lockPosition;
    bool m_hasLockPosition = false;
    std::unique_ptr<threads_impl::CThreadHandle> m_handle;
    std::unique_ptr<CEvent> m_commandEvent;
    uint32_t m_threadId = 0;
    std::size_t m_stackSize = 0;
    int32_t m_exitCode = kNoExitCode;
    std::atomic<int32_t> m_status{StatusStopped};
    std::deque<uint32_t> m_commands;
    // Another thread holds the handle while it waits for the thread's end.
    bool m_joinPending = false;
};
