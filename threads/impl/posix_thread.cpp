// POSIX threads behind CThreadHandle.
//
// Killing is deferred cancellation (pthread_cancel): the thread ends at its
// next cancellation point (a wait on an event, a sleep, a blocking read),
// unwinding its stack so destructors run. A thread that computes without
// ever reaching one, or blocks on a plain mutex, is not stopped; Join then
// waits until it gets there. Win32's TerminateThread has no such limit, and
// no such safety either.

#include "threads/impl/posix_calls.h"
#include "threads/impl/thread_handle.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

namespace threads_impl {

SPosixThreadCalls& PosixThreadCalls() {
    static SPosixThreadCalls calls{&pthread_create, &pthread_cancel};
    return calls;
}

namespace {

// Shared by the handle and the thread, so whichever ends last frees it.
struct SShared {
    CThreadHandle::Routine routine = nullptr;
    void* arg = nullptr;
    std::mutex mutex;
    bool done = false;
    int32_t exitCode = CThreadHandle::kStillActive;
    int32_t killCode = 0;
    bool killRequested = false;
};

// Marks the thread done on every way out: a normal return, or the unwind
// that a cancellation starts.
class CExitMark {
public:
    explicit CExitMark(SShared& shared) : m_shared(shared) {}
    CExitMark(const CExitMark&) = delete;
    CExitMark& operator=(const CExitMark&) = delete;
    ~CExitMark() {
        std::lock_guard<std::mutex> lock(m_shared.mutex);
        // As with TerminateThread, a kill that came before the end decides
        // the exit code even if the routine got to return first.
        m_shared.exitCode = (m_returned && !m_shared.killRequested) ? m_code : m_shared.killCode;
        m_shared.done = true;
    }
    void Returned(int32_t code) {
        m_code = code;
        m_returned = true;
    }

private:
    SShared& m_shared;
    bool m_returned = false;
    int32_t m_code = 0;
};

void* Trampoline(void* param) {
    auto* handed = static_cast<std::shared_ptr<SShared>*>(param);
    std::shared_ptr<SShared> shared = std::move(*handed);
    delete handed;
    CExitMark mark(*shared);
    mark.Returned(shared->routine(shared->arg));
    return nullptr;
}

// Owns a pthread_attr_t for the one case that needs it.
class CThreadAttr {
public:
    CThreadAttr() : m_error(pthread_attr_init(&m_attr)) {}
    ~CThreadAttr() {
        if (m_error == 0) pthread_attr_destroy(&m_attr);
    }
    CThreadAttr(const CThreadAttr&) = delete;
    CThreadAttr& operator=(const CThreadAttr&) = delete;
    int Error() const { return m_error; }
    pthread_attr_t* Get() { return &m_attr; }

private:
    pthread_attr_t m_attr;
    int m_error;
};

std::atomic<uint32_t> g_nextThreadId{1};

}  // namespace

struct CThreadHandle::Impl {
    pthread_t thread{};
    std::shared_ptr<SShared> shared;
    bool joined = false;
};

CThreadHandle::CThreadHandle(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

std::unique_ptr<CThreadHandle> CThreadHandle::Create(Routine routine, void* arg,
                                                     std::size_t stackSize, uint32_t& id,
                                                     uint32_t& error) {
    auto impl = std::make_unique<Impl>();
    impl->shared = std::make_shared<SShared>();
    impl->shared->routine = routine;
    impl->shared->arg = arg;

    CThreadAttr attr;
    pthread_attr_t* attrPtr = nullptr;
    if (stackSize != 0) {
        if (attr.Error() != 0) {
            error = static_cast<uint32_t>(attr.Error());
            return nullptr;
        }
        if (int rc = pthread_attr_setstacksize(attr.Get(), stackSize)) {
            error = static_cast<uint32_t>(rc);
            return nullptr;
        }
        attrPtr = attr.Get();
    }

    auto* handed = new std::shared_ptr<SShared>(impl->shared);
    int rc = PosixThreadCalls().create(&impl->thread, attrPtr, &Trampoline, handed);
    if (rc != 0) {
        delete handed;
        error = static_cast<uint32_t>(rc);
        return nullptr;
    }
    // POSIX has no small numeric thread id to hand back before the thread
    // runs; a process-wide serial number serves the same purpose.
    id = g_nextThreadId.fetch_add(1);
    error = 0;
    return std::unique_ptr<CThreadHandle>(new CThreadHandle(std::move(impl)));
}

CThreadHandle::~CThreadHandle() {
    if (m_impl->joined) return;
    // Closing a handle leaves the thread running; a finished one is reaped
    // here (it is only returning), a running one reaps itself when it ends.
    if (!IsCurrentThread() && !IsAlive()) {
        // A destructor must not become the place where this thread is
        // cancelled.
        CNoKillScope noKill;
        pthread_join(m_impl->thread, nullptr);
    } else {
        pthread_detach(m_impl->thread);
    }
}

bool CThreadHandle::IsCurrentThread() const {
    return pthread_equal(pthread_self(), m_impl->thread) != 0;
}

bool CThreadHandle::IsAlive() const {
    std::lock_guard<std::mutex> lock(m_impl->shared->mutex);
    return !m_impl->shared->done;
}

int32_t CThreadHandle::ExitCode() const {
    std::lock_guard<std::mutex> lock(m_impl->shared->mutex);
    return m_impl->shared->exitCode;
}

bool CThreadHandle::Kill(int32_t exitCode, uint32_t& error) {
    SShared& shared = *m_impl->shared;
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (shared.done) {
        // Already on its way out: nothing to cancel, and its pthread_t may
        // be about to go away.
        error = 0;
        return true;
    }
    // Holding the mutex keeps the thread from passing its exit mark, so the
    // pthread_t is still valid here.
    shared.killCode = exitCode;
    shared.killRequested = true;
    if (int rc = PosixThreadCalls().cancel(m_impl->thread)) {
        shared.killRequested = false;
        error = static_cast<uint32_t>(rc);
        return false;
    }
    error = 0;
    return true;
}

void CThreadHandle::Join() {
    if (m_impl->joined || IsCurrentThread()) return;
    pthread_join(m_impl->thread, nullptr);
    m_impl->joined = true;
}

std::wstring WidenSystemText(const char* text) {
    std::mbstate_t state{};
    const char* src = text;
    std::size_t n = std::mbsrtowcs(nullptr, &src, 0, &state);
    if (n == static_cast<std::size_t>(-1)) {
        // Not valid in the current locale: keep the bytes as they are.
        std::wstring out;
        for (const char* p = text; *p; ++p)
            out += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        return out;
    }
    std::wstring out(n, L'\0');
    src = text;
    state = std::mbstate_t{};
    std::mbsrtowcs(out.data(), &src, n, &state);
    return out;
}

std::wstring SystemErrorText(uint32_t code) {
    char buffer[256];
    // GNU strerror_r: returns the text, which may or may not be in buffer.
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return text ? WidenSystemText(text) : std::wstring();
}

uint32_t OutOfMemoryErrorCode() {
    return ENOMEM;
}

uint32_t DeadlockErrorCode() {
    return EDEADLK;
}

}  // namespace threads_impl

namespace threads_impl {

CNoKillScope::CNoKillScope() {
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &m_previous);
}

CNoKillScope::~CNoKillScope() {
    int ignored = 0;
    pthread_setcancelstate(m_previous, &ignored);
}

}  // namespace threads_impl
