// Runs in a process of its own: the manager must not exist yet when the
// threads below ask for it.
#include "threads/worker_threads_man.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(WorkerManagerInstance, ThreadsAskingAtOnceGetOneManager) {
    ASSERT_EQ(CThread::NamedLockUsers(L"CWorkerThreadsMan"), 0);
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::vector<CWorkerThreadsMan*> got(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < kThreads)
                std::this_thread::yield();
            got[i] = CWorkerThreadsMan::Instance();
        });
    for (auto& t : threads)
        t.join();
    ASSERT_NE(got[0], nullptr);
    for (CWorkerThreadsMan* m : got)
        EXPECT_EQ(m, got[0]);
    // A second manager would have been started and registered its name.
    EXPECT_EQ(CThread::NamedLockUsers(L"CWorkerThreadsMan"), 1);
    EXPECT_TRUE(got[0]->IsRunning());
}

}  // namespace
