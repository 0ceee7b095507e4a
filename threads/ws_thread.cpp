#include "threads/ws_thread.h"

#include "threads/worker_threads_man.h"

CWSThread::CWSThread(STaskRecord* task, bool keepTask) : CThread(task), m_keepTask(keepTask) {
    SetName(L"CWSThread");
    SetCommandsSupported(true);
    SetLockSharing(true);
}

CWSThread::~CWSThread() {
    // A stopped worker is only telling the manager it is done; wait for it
    // to return rather than kill it mid-way (its task is over, and a kill
    // there could leave the manager's wake-up half posted).
    EndThreadForDestruction(GetStatus() == StatusStopped);
    if (!m_keepTask) delete GetTask();
}

void CWSThread::OnWorkerStart() {
    if (CWorkerThreadsMan* manager = CWorkerThreadsMan::Instance()) {
        manager->AddThread(this);
        m_registered = true;
    }
}

void CWSThread::OnWorkerEnd() {
    // Without a manager the task still runs; a manager that can be had by
    // now collects the worker late. If there is still none the worker stays
    // allocated: its own thread cannot delete it.
    CWorkerThreadsMan* manager = CWorkerThreadsMan::Instance();
    if (!manager) return;
    if (!m_registered) {
        manager->AddThread(this);
        m_registered = true;
    }
    manager->PostCommand(CmdRun);
}

void CWSThread::RunTask() {
    if (STaskRecord* task = GetTask(); task && task->function)
        task->function(task->owner, task->parameter);
}

int32_t CWSThread::ThreadBody() {
    OnWorkerStart();
    for (bool running = true; running;) {
        uint32_t code = 0;
        // The queue is empty only while paused; sleep until a command comes
        // rather than spin.
        WaitForCommand(code, kInfinite);
        switch (code) {
            case CmdStart:
                PostCommandFront(CmdRun);
                break;
            case CmdRun:
                if (GetStatus() != StatusPaused) {
                    SetStatus(StatusBusy);
                    RunTask();
                    PostCommand(CmdStop);
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
                SetStatus(StatusStopped);
                running = false;
                break;
            default:
                break;
        }
    }
    OnWorkerEnd();
    return 0;
}

CWSThread* CreateWorker(STaskRecord* task, bool keepTask) {
    auto* worker = new CWSThread(task, keepTask);
    try {
        worker->Start();
        return worker;
    } catch (const CThreadException& e) {
        e.ReportError(0, 0);
        // A worker whose start failed never ran its body, so it never
        // registered: handing it to the manager would leave it (and its
        // task record) allocated for ever.
        delete worker;
        return nullptr;
    }
}
