#pragma once

#include <cstdint>

#include "threads/thread.h"

// One job for a worker: function(owner, parameter), run once. The result
// is ignored.
struct STaskRecord {
    void* owner;
    int32_t (*function)(void* owner, std::uintptr_t parameter);
    std::uintptr_t parameter;
};

// A one-shot worker: runs its task once on its own thread and ends; the
// worker manager then deletes it.
//
// If the manager cannot be had when the worker starts, the task runs all
// the same; at its end the worker asks again and, if a manager can be had
// by then, registers late and is collected. Otherwise the worker object
// stays allocated (its own thread cannot delete it); the user has already
// been shown why.
//
// The task runs on a thread that may be killed (at exit, or when the worker
// is deleted early); on POSIX that unwinds the task's stack from its next
// wait, so a task must not swallow that unwind with catch (...) without
// rethrowing, nor wait inside a destructor or noexcept function. In this
// program workers are only ever waited for, never killed, while it runs.
class CWSThread : public CThread {
public:
    // The record must come from new; the worker deletes it unless keepTask.
    CWSThread(STaskRecord* task, bool keepTask);
    ~CWSThread() override;

    STaskRecord* GetTask() const { return static_cast<STaskRecord*>(GetParameter()); }

protected:
    int32_t ThreadBody() override;
    // Registers with the worker manager.
    virtual void OnWorkerStart();
    // Tells the worker manager this worker can be collected.
    virtual void OnWorkerEnd();
    virtual void RunTask();

private:
    const bool m_keepTask;
    // Only the worker's own thread reads or writes this.
    bool m_registered = false;
};

// Starts a worker for the task. On failure the user sees the reason (the
// installed reporter), the task does not run, the worker is deleted (and
// with it the record, unless keepTask) and null is returned.
//
// On success the worker belongs to the worker manager, which may delete it
// as soon as the task has run: treat the pointer as a success flag only.
CWSThread* CreateWorker(STaskRecord* task, bool keepTask);
