#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "threads/thread.h"

// Collects finished workers and deletes them. One per process, created and
// started on first use and kept until the program ends.
//
// Lock order: the list lock may be held while the class lock is taken
// (deleting a worker does), never the other way round.
class CWorkerThreadsMan : public CThread {
public:
    // Returns the manager, creating and starting it on the first call; two
    // threads asking at once get the same one. If it cannot be started the
    // reason is reported and null returned; the next call tries again.
    static CWorkerThreadsMan* Instance();

    CWorkerThreadsMan();
    // Ends the manager's thread and deletes every listed worker.
    ~CWorkerThreadsMan() override;

    void AddThread(CThread* worker);
    // Deletes the worker if it is listed; returns whether it was.
    bool RemoveThread(CThread* worker);
    // Deletes every listed worker whose status is StatusStopped.
    void CleanUp();
    std::size_t ThreadCount() const;

protected:
    int32_t ThreadBody() override;

private:
    mutable std::mutex m_listLock;
    std::vector<CThread*> m_workers;
};
