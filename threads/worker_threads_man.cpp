#include "threads/worker_threads_man.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

#include "threads/impl/thread_handle.h"

namespace {

std::atomic<CWorkerThreadsMan*> g_manager{nullptr};

std::mutex& CreationLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

}  // namespace

CWorkerThreadsMan* CWorkerThreadsMan::Instance() {
    if (CWorkerThreadsMan* manager = g_manager.load(std::memory_order_acquire)) return manager;
    std::optional<CThreadException> failure;
    {
        std::lock_guard<std::mutex> lock(CreationLock());
        if (CWorkerThreadsMan* manager = g_manager.load()) return manager;
        auto manager = std::make_unique<CWorkerThreadsMan>();
        try {
            manager->Start();
            g_manager.store(manager.get(), std::memory_order_release);
            return manager.release();
        } catch (const CThreadException& e) {
            failure.emplace(e);
        }
    }
    // Reported outside the lock: the reporter may keep a box open while
    // other threads ask for the manager.
    failure->ReportError(0, 0);
    return nullptr;
}

CWorkerThreadsMan::CWorkerThreadsMan() {
    SetName(L"CWorkerThreadsMan");
    SetCommandsSupported(true);
    SetLockSharing(true);
    m_workers.reserve(10);
}

CWorkerThreadsMan::~CWorkerThreadsMan() {
    EndThreadForDestruction(false);
    std::lock_guard<std::mutex> lock(m_listLock);
    for (CThread* worker : m_workers) delete worker;
    m_workers.clear();
}

void CWorkerThreadsMan::AddThread(CThread* worker) {
    if (!worker) return;
    std::lock_guard<std::mutex> lock(m_listLock);
    m_workers.push_back(worker);
}

bool CWorkerThreadsMan::RemoveThread(CThread* worker) {
    std::lock_guard<std::mutex> lock(m_listLock);
    auto it = std::find(m_workers.begin(), m_workers.end(), worker);
    if (it == m_workers.end()) return false;
    m_workers.erase(it);
    delete worker;
    return true;
}

void CWorkerThreadsMan::CleanUp() {
    // Deleting a worker waits for its thread to return; the manager must
    // not be killed in the middle of that with the list half cleaned.
    threads_impl::CNoKillScope noKill;
    std::lock_guard<std::mutex> lock(m_listLock);
    for (;;) {
        auto it = std::find_if(m_workers.begin(), m_workers.end(), [](CThread* worker) {
            return worker->GetStatus() == StatusStopped;
        });
        if (it == m_workers.end()) break;
        CThread* worker = *it;
        m_workers.erase(it);
        delete worker;
    }
}

std::size_t CWorkerThreadsMan::ThreadCount() const {
    std::lock_guard<std::mutex> lock(m_listLock);
    return m_workers.size();
}

int32_t CWorkerThreadsMan::ThreadBody() {
    for (;;) {
        uint32_t code = 0;
        // The 500 ms slices only keep the thread responsive; clean-ups come
        // from the workers' CmdRun.
        WaitForCommand(code, 500);
        switch (code) {
            case CmdStart:
                PostCommandFront(CmdRun);
                break;
            case CmdRun:
                if (GetStatus() != StatusPaused) {
                    SetStatus(StatusBusy);
                    CleanUp();
                }
                break;
            case CmdPause:
                if (GetStatus() != StatusPaused) SetStatus(StatusPaused);
                break;
            case CmdContinue:
                if (GetStatus() == StatusPaused) {
                    SetStatus(StatusContinued);
                    PostCommandFront(CmdRun);
                }
                break;
            case CmdStop:
                return 0;
            default:
                break;
        }
    }
}
