#include "threads/thread.h"

#include <condition_variable>
#include <new>
#include <utility>

#include "threads/impl/thread_handle.h"

using threads_impl::CThreadHandle;
using threads_impl::SystemErrorText;

namespace {

struct SClassState {
    std::recursive_mutex lock;
    // Signalled whenever a wait for some thread's end has finished.
    std::condition_variable_any joinDone;
    std::list<SThreadSynchronicityTag> namedLocks;
};

// Never destroyed: a worker may still be finishing while static objects
// are torn down at exit, and it needs the class lock to do so.
SClassState& State() {
    static SClassState* state = new SClassState;
    return *state;
}

// The class lock exists before main runs, as every thread object expects.
[[maybe_unused]] const bool g_classStateCreated = (State(), true);

}  // namespace

CThread::CThread(void* parameter) : m_parameter(parameter) {
    Lock lock(State().lock);
    ResetLocked();
}

CThread::~CThread() {
    EndThreadForDestruction(false);
    Lock lock(State().lock);
    m_commandEvent.reset();
    UnregisterLocked();
    ResetLocked();
}

void CThread::ResetLocked() {
    m_handle.reset();
    m_threadId = 0;
    m_status.store(StatusStopped);
    m_hasLockPosition = false;
    m_commands.clear();
}

bool CThread::IsRunningLocked() const {
    return m_joinPending || (m_handle && m_handle->IsAlive());
}

bool CThread::IsRunning() const {
    Lock lock(State().lock);
    return IsRunningLocked();
}

int32_t CThread::GetExitCode() const {
    Lock lock(State().lock);
    return m_exitCode;
}

uint32_t CThread::GetThreadId() const {
    Lock lock(State().lock);
    return m_threadId;
}

void CThread::Start() {
    Lock lock(State().lock);
    if (IsRunningLocked()) {
        lock.unlock();
        throw CThreadException(this, L"Thread is already started!",
                               CThreadException::TypeAlreadyStarted);
    }
    ResetLocked();

    if (m_commandsSupported && !m_commandEvent) {
        try {
            m_commandEvent = std::make_unique<CEvent>(false, false);
        } catch (const std::bad_alloc&) {
            lock.unlock();
            throw CThreadException(this, SystemErrorText(threads_impl::OutOfMemoryErrorCode()),
                                   CThreadException::TypeEventFailed);
        }
    }

    RegisterLocked();

    uint32_t error = 0;
    m_handle = CThreadHandle::Create(&CThread::StartRoutine, this, m_stackSize, m_threadId, error);
    if (!m_handle) {
        // Unlike a plain reset, give the name back: a failed start must not
        // leave a user counted in the named lock list for ever.
        UnregisterLocked();
        ResetLocked();
        lock.unlock();
        throw CThreadException(this, SystemErrorText(error), CThreadException::TypeCreateFailed);
    }

    std::wstring postError;
    if (!PostLocked(CmdStart, postError)) {
        bool killed = false;
        uint32_t killError = 0;
        // The new thread is still waiting for this lock and will see that
        // it has lost its handle; it never enters its body.
        auto handle = KillAndJoin(lock, true, -1, killed, killError);
        m_exitCode = -1;
        handle.reset();
        UnregisterLocked();
        ResetLocked();
        lock.unlock();
        throw CThreadException(this, postError, CThreadException::TypePostFailed);
    }
    m_status.store(StatusStarted);
}

int32_t CThread::StartRoutine(void* self) {
    auto* thread = static_cast<CThread*>(self);
    {
        // The body starts only once Start has finished with the object, and
        // not at all if Start gave this thread up.
        Lock lock(State().lock);
        if (!thread->m_handle || !thread->m_handle->IsCurrentThread()) return -1;
    }
    const int32_t code = thread->ThreadBody();

    Lock lock(State().lock);
    // When someone else holds the handle they are waiting for this return
    // and finish the clean-up themselves.
    if (thread->m_handle && thread->m_handle->IsCurrentThread()) {
        thread->UnregisterLocked();
        thread->ResetLocked();
        thread->m_exitCode = code;
    }
    // Nothing touches the object past this point: it may be deleted as
    // soon as the lock is released.
    return code;
}

std::unique_ptr<CThreadHandle> CThread::KillAndJoin(Lock& lock, bool kill, int32_t exitCode,
                                                    bool& killed, uint32_t& error) {
    std::unique_ptr<CThreadHandle> handle = std::move(m_handle);
    killed = true;
    error = 0;
    if (handle->IsCurrentThread()) {
        killed = false;
        error = threads_impl::DeadlockErrorCode();
        return handle;
    }
    if (kill) killed = handle->Kill(exitCode, error);
    if (!killed) return handle;
    // Being killed halfway through this wait would leave the object marked
    // as waited for, for ever.
    threads_impl::CNoKillScope noKill;
    // The thread may need the class lock to get to its end; waiting for it
    // while holding the lock would never finish.
    m_joinPending = true;
    lock.unlock();
    handle->Join();
    lock.lock();
    m_joinPending = false;
    State().joinDone.notify_all();
    return handle;
}

void CThread::WaitForPendingJoin(Lock& lock) {
    threads_impl::CNoKillScope noKill;
    State().joinDone.wait(lock, [this] { return !m_joinPending; });
}

void CThread::Terminate(int32_t exitCode, bool noRaise) {
    Lock lock(State().lock);
    WaitForPendingJoin(lock);
    if (!IsRunningLocked() && !m_handle) {
        m_exitCode = exitCode;
        ResetLocked();
        return;
    }
    bool killed = false;
    uint32_t error = 0;
    std::unique_ptr<CThreadHandle> handle = KillAndJoin(lock, true, exitCode, killed, error);
    m_exitCode = handle->ExitCode();
    if (!killed && !noRaise) {
        m_handle = std::move(handle);
        lock.unlock();
        throw CThreadException(this, SystemErrorText(error), CThreadException::TypeTerminateFailed);
    }
    if (noRaise) m_exitCode = exitCode;
    handle.reset();
    UnregisterLocked();
    ResetLocked();
    OnTerminated();
}

void CThread::EndThreadForDestruction(bool workFinished) {
    Lock lock(State().lock);
    WaitForPendingJoin(lock);
    if (!IsRunningLocked() || m_handle->IsCurrentThread()) return;
    if (workFinished) {
        bool killed = false;
        uint32_t error = 0;
        auto handle = KillAndJoin(lock, false, 0, killed, error);
        m_exitCode = handle->ExitCode();
        handle.reset();
        UnregisterLocked();
        ResetLocked();
        return;
    }
    lock.unlock();
    // Terminate waits with the class lock released; it must not be held
    // here as well.
    try {
        Terminate(0, true);
    } catch (const CThreadException&) {
    }
}

bool CThread::PostLocked(uint32_t code, std::wstring& error) {
    error.clear();
    if (!m_commandsSupported || !m_commandEvent || code == 0) return true;
    // A command equal to the newest queued one is already on its way.
    if (!m_commands.empty() && m_commands.back() == code) return true;
    try {
        m_commands.push_back(code);
    } catch (const std::bad_alloc&) {
        error = SystemErrorText(threads_impl::OutOfMemoryErrorCode());
        return false;
    }
    m_commandEvent->Set();
    return true;
}

void CThread::PostCommand(uint32_t code) {
    Lock lock(State().lock);
    if (!m_handle) return;
    std::wstring error;
    if (!PostLocked(code, error)) {
        lock.unlock();
        throw CThreadException(this, error, CThreadException::TypePostFailed);
    }
}

bool CThread::PostCommandFront(uint32_t code) {
    Lock lock(State().lock);
    if (!m_handle || !m_commandsSupported || code == 0) return false;
    try {
        m_commands.push_front(code);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CThread::GetCommand(uint32_t& code) {
    Lock lock(State().lock);
    code = 0;
    if (!m_commandsSupported || !m_commandEvent || m_commands.empty()) return false;
    code = m_commands.front();
    m_commands.pop_front();
    return true;
}

void CThread::WaitForCommand(uint32_t& code, uint32_t timeoutMs) {
    CEvent* event = nullptr;
    {
        Lock lock(State().lock);
        if (m_commandsSupported) event = m_commandEvent.get();
    }
    if (!event) {
        code = 0;
        return;
    }
    // One signal may stand for several queued commands: drain before
    // waiting again.
    for (;;) {
        if (GetCommand(code)) return;
        if (!event->Wait(timeoutMs)) {
            code = CmdTimeout;
            return;
        }
    }
}

void CThread::RegisterLocked() {
    if (!m_lockSharing) return;
    auto& list = State().namedLocks;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->name == m_name) {
            ++it->userCount;
            m_lockPosition = it;
            m_hasLockPosition = true;
            return;
        }
    }
    SThreadSynchronicityTag entry;
    entry.name = m_name;
    entry.lock = std::make_unique<std::recursive_mutex>();
    entry.userCount = 1;
    m_lockPosition = list.insert(list.end(), std::move(entry));
    m_hasLockPosition = true;
}

void CThread::UnregisterLocked() {
    if (!m_lockSharing || !m_hasLockPosition) return;
    if (m_lockPosition->userCount < 2)
        State().namedLocks.erase(m_lockPosition);
    else
        --m_lockPosition->userCount;
    m_hasLockPosition = false;
}

int32_t CThread::NamedLockUsers(const std::wstring& name) {
    Lock lock(State().lock);
    for (const auto& entry : State().namedLocks)
        if (entry.name == name) return entry.userCount;
    return 0;
}

std::size_t CThread::NamedLockEntries() {
    Lock lock(State().lock);
    return State().namedLocks.size();
}
