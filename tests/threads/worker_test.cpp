#include "threads/worker_threads_man.h"
#include "threads/ws_thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "test_support.h"
#include "threads/event.h"

using threads_test::CThreadCallsOverride;
using threads_test::Eventually;

namespace {

CWorkerThreadsMan& Manager() {
    CWorkerThreadsMan* manager = CWorkerThreadsMan::Instance();
    EXPECT_NE(manager, nullptr);
    return *manager;
}

// Every worker of earlier tests is collected and no CWSThread is alive.
bool AllWorkersCollected() {
    return Manager().ThreadCount() == 0 && CThread::NamedLockUsers(L"CWSThread") == 0;
}

STaskRecord* Task(int32_t (*function)(void*, std::uintptr_t), void* owner,
                  std::uintptr_t parameter = 0) {
    return new STaskRecord{owner, function, parameter};
}

int32_t Count(void* owner, std::uintptr_t) {
    ++*static_cast<std::atomic<int>*>(owner);
    return 0;
}

// Two tasks meet: each arrives, then waits until the other has arrived too.
struct SMeeting {
    std::atomic<int> arrived{0};
    std::atomic<int> met{0};
    CEvent both{true, false};
};

int32_t Meet(void* owner, std::uintptr_t) {
    auto* m = static_cast<SMeeting*>(owner);
    if (++m->arrived == 2) m->both.Set();
    if (m->both.Wait(10000)) ++m->met;
    return 0;
}

TEST(Worker, TwoTasksLaunchedBackToBackRunAtTheSameTime) {
    ASSERT_TRUE(Eventually(AllWorkersCollected));
    SMeeting meeting;
    ASSERT_NE(CreateWorker(Task(&Meet, &meeting), false), nullptr);
    ASSERT_NE(CreateWorker(Task(&Meet, &meeting), false), nullptr);
    ASSERT_TRUE(Eventually([&] { return meeting.met.load() == 2; }));
    EXPECT_TRUE(Eventually(AllWorkersCollected));
}

TEST(Worker, TaskThatReturnsAtOnceRunsOnceAndIsCollected) {
    ASSERT_TRUE(Eventually(AllWorkersCollected));
    std::atomic<int> runs{0};
    // The caller keeps this record: it must outlive its worker untouched.
    STaskRecord kept{&runs, &Count, 0};
    ASSERT_NE(CreateWorker(&kept, true), nullptr);
    ASSERT_TRUE(Eventually(AllWorkersCollected));
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(kept.function, &Count);
    EXPECT_EQ(CThread::NamedLockUsers(L"CWorkerThreadsMan"), 1);
}

TEST(Worker, TaskGetsItsOwnerAndParameter) {
    struct SSeen {
        std::atomic<std::uintptr_t> parameter{0};
        std::atomic<int> calls{0};
    } seen;
    auto record = [](void* owner, std::uintptr_t parameter) -> int32_t {
        auto* s = static_cast<SSeen*>(owner);
        s->parameter = parameter;
        ++s->calls;
        return -1;
    };
    ASSERT_NE(CreateWorker(Task(record, &seen, 0xC0FFEE), false), nullptr);
    ASSERT_TRUE(Eventually([&] { return seen.calls.load() == 1; }));
    EXPECT_EQ(seen.parameter.load(), 0xC0FFEEu);
    EXPECT_TRUE(Eventually(AllWorkersCollected));
}

TEST(Worker, WorkerThatCannotStartReportsAndDoesNotRunItsTask) {
    Manager();  // the manager itself must not be the thread that fails
    ASSERT_TRUE(Eventually(AllWorkersCollected));
    std::wstring reported;
    SetThreadErrorReporter([&](const std::wstring& text) {
        reported = text;
        return 1;
    });
    std::atomic<int> runs{0};
    {
        CThreadCallsOverride calls;
        calls.FailCreation();
        // The worker owns the record and frees it with itself; a leak here
        // shows up under LeakSanitizer.
        EXPECT_EQ(CreateWorker(Task(&Count, &runs), false), nullptr);
    }
    SetThreadErrorReporter(nullptr);
    EXPECT_EQ(reported, CThreadCallsOverride::CreationFailureText());
    EXPECT_EQ(runs.load(), 0);
    EXPECT_EQ(CThread::NamedLockUsers(L"CWSThread"), 0);
    EXPECT_EQ(Manager().ThreadCount(), 0u);
}

// Puts the manager back to work however a test ends.
struct SPausedManager {
    SPausedManager() {
        Manager().PostCommand(CThread::CmdPause);
        EXPECT_TRUE(Eventually([] { return Manager().GetStatus() == CThread::StatusPaused; }));
    }
    ~SPausedManager() { Manager().PostCommand(CThread::CmdContinue); }
};

TEST(WorkerManager, PausedManagerDeletesNothingUntilContinued) {
    ASSERT_TRUE(Eventually(AllWorkersCollected));
    std::atomic<int> runs{0};
    {
        SPausedManager paused;
        CWSThread* a = CreateWorker(Task(&Count, &runs), false);
        CWSThread* b = CreateWorker(Task(&Count, &runs), false);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        // Both finish and tell the manager, which is paused: they stay.
        ASSERT_TRUE(Eventually([&] {
            return runs.load() == 2 && a->GetStatus() == CThread::StatusStopped &&
                   b->GetStatus() == CThread::StatusStopped && !a->IsRunning() && !b->IsRunning();
        }));
        EXPECT_EQ(Manager().ThreadCount(), 2u);
        EXPECT_EQ(Manager().GetStatus(), CThread::StatusPaused);
    }
    EXPECT_TRUE(Eventually(AllWorkersCollected));
}

TEST(WorkerManager, ThousandsOfTasksLeaveTheThreadCountWhereItStarted) {
    ASSERT_TRUE(Eventually(AllWorkersCollected));
    const std::size_t before = threads_test::ProcessThreadCount();
#ifdef _WIN32
    constexpr int kTasks = 1000;  // a Wine thread takes some 7 ms to come and go
#else
    constexpr int kTasks = 10000;
#endif
    constexpr int kBurst = 50;
    std::atomic<int> runs{0};
    for (int launched = 0; launched < kTasks; launched += kBurst) {
        for (int i = 0; i < kBurst; ++i)
            ASSERT_NE(CreateWorker(Task(&Count, &runs), false), nullptr);
        // Bursts keep the live threads within any system limit.
        ASSERT_TRUE(Eventually([&] { return runs.load() == launched + kBurst; }));
    }
    EXPECT_TRUE(Eventually(AllWorkersCollected));
    EXPECT_TRUE(Eventually([&] { return threads_test::ProcessThreadCount() == before; }))
        << threads_test::ProcessThreadCount() << " threads, " << before << " before";
}

TEST(WorkerManager, CleanUpDeletesOnlyStoppedWorkers) {
    // A manager of its own, never started: its list is driven by hand.
    CWorkerThreadsMan manager;
    auto* stopped = new CWSThread(Task(&Count, nullptr), false);
    auto* busy = new CWSThread(Task(&Count, nullptr), false);
    busy->SetStatus(CThread::StatusBusy);
    manager.AddThread(stopped);
    manager.AddThread(busy);
    manager.AddThread(nullptr);
    EXPECT_EQ(manager.ThreadCount(), 2u);
    manager.CleanUp();
    EXPECT_EQ(manager.ThreadCount(), 1u);

    CWSThread unlisted(Task(&Count, nullptr), false);
    EXPECT_FALSE(manager.RemoveThread(&unlisted));
    EXPECT_TRUE(manager.RemoveThread(busy));
    EXPECT_EQ(manager.ThreadCount(), 0u);
    // Anything still listed when the manager goes is deleted with it (a
    // leak would show under LeakSanitizer).
    manager.AddThread(new CWSThread(Task(&Count, nullptr), false));
}

}  // namespace

namespace {

TEST(WorkerManager, DestroyingAStartedManagerEndsItsThreadAndItsWorkers) {
    Manager();
    threads_test::WarmUpThreads();
    const std::size_t before = threads_test::ProcessThreadCount();
    {
        CWorkerThreadsMan manager;
        manager.Start();
        EXPECT_TRUE(manager.IsRunning());
        EXPECT_EQ(CThread::NamedLockUsers(L"CWorkerThreadsMan"), 2);
        auto* busy = new CWSThread(Task(&Count, nullptr), false);
        busy->SetStatus(CThread::StatusBusy);
        manager.AddThread(busy);
    }
    EXPECT_EQ(CThread::NamedLockUsers(L"CWorkerThreadsMan"), 1);
    EXPECT_TRUE(Eventually([&] { return threads_test::ProcessThreadCount() == before; }));
}

}  // namespace
