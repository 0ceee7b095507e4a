// Win32 threads behind CThreadHandle. Killing is TerminateThread: immediate,
// wherever the thread is, so the thread object only kills threads that have
// not finished their work (a finished one is waited for).

#include "threads/impl/thread_handle.h"
#include "threads/impl/win_calls.h"

#include <utility>

namespace threads_impl {

SWinThreadCalls& WinThreadCalls() {
    static SWinThreadCalls calls{&::CreateThread, &::TerminateThread};
    return calls;
}

namespace {

struct SStart {
    CThreadHandle::Routine routine;
    void* arg;
};

DWORD WINAPI Trampoline(LPVOID param) {
    SStart start = *static_cast<SStart*>(param);
    delete static_cast<SStart*>(param);
    return static_cast<DWORD>(start.routine(start.arg));
}

}  // namespace

struct CThreadHandle::Impl {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

CThreadHandle::CThreadHandle(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

std::unique_ptr<CThreadHandle> CThreadHandle::Create(Routine routine, void* arg,
                                                     std::size_t stackSize, uint32_t& id,
                                                     uint32_t& error) {
    auto impl = std::make_unique<Impl>();
    auto* start = new SStart{routine, arg};
    impl->handle =
        WinThreadCalls().createThread(nullptr, stackSize, &Trampoline, start, 0, &impl->id);
    if (!impl->handle) {
        error = GetLastError();
        delete start;
        return nullptr;
    }
    id = impl->id;
    error = 0;
    return std::unique_ptr<CThreadHandle>(new CThreadHandle(std::move(impl)));
}

CThreadHandle::~CThreadHandle() {
    CloseHandle(m_impl->handle);
}

bool CThreadHandle::IsCurrentThread() const {
    return GetCurrentThreadId() == m_impl->id;
}

bool CThreadHandle::IsAlive() const {
    // Waiting rather than comparing the exit code with STILL_ACTIVE: a
    // thread that returned 259 has ended all the same.
    return WaitForSingleObject(m_impl->handle, 0) == WAIT_TIMEOUT;
}

int32_t CThreadHandle::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (!GetExitCodeThread(m_impl->handle, &code)) return kStillActive;
    return static_cast<int32_t>(code);
}

bool CThreadHandle::Kill(int32_t exitCode, uint32_t& error) {
    if (!WinThreadCalls().terminateThread(m_impl->handle, static_cast<DWORD>(exitCode))) {
        error = GetLastError();
        return false;
    }
    error = 0;
    return true;
}

void CThreadHandle::Join() {
    if (IsCurrentThread()) return;
    WaitForSingleObject(m_impl->handle, INFINITE);
}

std::wstring SystemErrorText(uint32_t code) {
    LPWSTR buffer = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        1024, nullptr);
    if (n == 0 || !buffer) return std::wstring();
    std::wstring text(buffer, n);
    LocalFree(buffer);
    // The system's texts end in a line break.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

std::wstring WidenSystemText(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

uint32_t OutOfMemoryErrorCode() {
    return ERROR_NOT_ENOUGH_MEMORY;
}

uint32_t DeadlockErrorCode() {
    return ERROR_POSSIBLE_DEADLOCK;
}

// TerminateThread cannot be held off; the scope has nothing to do.
CNoKillScope::CNoKillScope() {
    (void)m_previous;
}

CNoKillScope::~CNoKillScope() {}

}  // namespace threads_impl
