// Each test here needs a process in which nobody has asked for the manager
// yet; ctest runs every test in a process of its own.
#include "threads/worker_threads_man.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(WorkerManagerInstance, ThreadsAskingAtOnceGetOneManager) {
    if (CThread::NamedLockUsers(L"CWorkerThreadsMan") != 0)
        GTEST_SKIP() << "needs a process in which no manager exists yet";
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::vector<CWorkerThreadsMan*> got(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();
            got[i] = CWorkerThreadsMan::Instance();
        });
    for (auto& t : threads) t.join();
    ASSERT_NE(got[0], nullptr);
    for (CWorkerThreadsMan* m : got) EXPECT_EQ(m, got[0]);
    // A second manager would have been started and registered its name.
    EXPECT_EQ(CThread::NamedLockUsers(L"CWorkerThreadsMan"), 1);
    EXPECT_TRUE(got[0]->IsRunning());
}

}  // namespace

#include "test_support.h"
#include "threads/event.h"
#include "threads/ws_thread.h"

namespace {

struct STaskGate {
    CEvent release{true, false};
    std::atomic<int> runs{0};
};

int32_t RunWhenReleased(void* owner, std::uintptr_t) {
    auto* gate = static_cast<STaskGate*>(owner);
    ++gate->runs;
    gate->release.Wait(CEvent::kInfinite);
    return 0;
}

TEST(WorkerWithoutManager, RunsItsTaskAndIsCollectedOnceAManagerExists) {
    if (CThread::NamedLockUsers(L"CWorkerThreadsMan") != 0)
        GTEST_SKIP() << "needs a process in which no manager exists yet";
    std::atomic<int> reports{0};
    std::wstring reported;
    SetThreadErrorReporter([&](const std::wstring& text) {
        reported = text;
        ++reports;
        return 1;
    });
    STaskGate gate;
    {
        // The first thread (the worker) starts; the second (the manager
        // the worker asks for) cannot.
        threads_test::CThreadCallsOverride calls;
        calls.FailCreation(2);
        ASSERT_NE(CreateWorker(new STaskRecord{&gate, &RunWhenReleased, 0}, false), nullptr);
        ASSERT_TRUE(threads_test::Eventually([&] { return gate.runs.load() == 1; }));
    }
    // The task ran although the manager could not be started.
    EXPECT_EQ(reports.load(), 1);
    EXPECT_EQ(reported, threads_test::CThreadCallsOverride::CreationFailureText());
    EXPECT_EQ(CThread::NamedLockUsers(L"CWorkerThreadsMan"), 0);

    gate.release.Set();
    // The worker itself brings the manager up at its end (nobody else here
    // asks for one) and hands itself over; that it is then deleted, not
    // just unlisted, shows under LeakSanitizer.
    ASSERT_TRUE(threads_test::Eventually([] {
        return CThread::NamedLockUsers(L"CWorkerThreadsMan") == 1 &&
               CThread::NamedLockUsers(L"CWSThread") == 0;
    }));
    EXPECT_TRUE(
        threads_test::Eventually([] { return CWorkerThreadsMan::Instance()->ThreadCount() == 0; }));
    SetThreadErrorReporter(nullptr);
}

}  // namespace
