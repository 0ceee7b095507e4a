#include "threads/thread.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "test_support.h"
#include "threads/event.h"
#include "threads/impl/thread_handle.h"

using threads_test::CThreadCallsOverride;
using threads_test::Eventually;

namespace {

// A thread body that can be held at its first step (so tests can look at
// its queue), then loops on the queue until CmdStop.
class CProbe : public CThread {
public:
    explicit CProbe(const wchar_t* name = L"Probe", bool commands = true) {
        SetName(name);
        SetCommandsSupported(commands);
        SetLockSharing(true);
    }
    ~CProbe() override { EndThreadForDestruction(false); }

    // Outlives the probe, so a test can look after deleting it.
    struct SLog {
        std::atomic<bool> unwound{false};
        std::atomic<bool> returned{false};
        std::atomic<int32_t> terminatedWith{-100};
    };

    CEvent gate{true, true};  // the body waits here before its loop
    CEvent entered{true, false};
    std::shared_ptr<SLog> log = std::make_shared<SLog>();
    int32_t result = 42;

    std::vector<uint32_t> Seen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }

protected:
    int32_t ThreadBody() override {
        struct SMark {
            SLog* log;
            ~SMark() {
                if (!log->returned) log->unwound = true;
            }
        } mark{log.get()};
        entered.Set();
        gate.Wait(CEvent::kInfinite);
        for (;;) {
            uint32_t code = 0;
            WaitForCommand(code, CThread::kInfinite);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_seen.push_back(code);
            }
            if (code == CmdStop || code == 0) break;
        }
        log->returned = true;
        return result;
    }

    void OnTerminated() override { log->terminatedWith = GetExitCode(); }

private:
    std::mutex m_mutex;
    std::vector<uint32_t> m_seen;
};

std::vector<uint32_t> Drain(CThread& t) {
    std::vector<uint32_t> out;
    uint32_t code = 0;
    while (t.GetCommand(code)) out.push_back(code);
    return out;
}

TEST(Thread, FreshObjectIsStoppedWithNoExitCode) {
    CProbe p;
    EXPECT_FALSE(p.IsRunning());
    EXPECT_EQ(p.GetStatus(), CThread::StatusStopped);
    EXPECT_EQ(p.GetExitCode(), CThread::kNoExitCode);
}

TEST(Thread, BodyResultBecomesExitCodeAndCleansUp) {
    CProbe p(L"ExitProbe");
    p.Start();
    EXPECT_EQ(p.GetStatus(), CThread::StatusStarted);
    EXPECT_EQ(CThread::NamedLockUsers(L"ExitProbe"), 1);
    p.PostCommand(CThread::CmdStop);
    ASSERT_TRUE(Eventually([&] { return !p.IsRunning(); }));
    EXPECT_EQ(p.GetExitCode(), 42);
    EXPECT_EQ(p.GetStatus(), CThread::StatusStopped);
    EXPECT_EQ(p.GetThreadId(), 0u);
    EXPECT_EQ(CThread::NamedLockUsers(L"ExitProbe"), 0);
    EXPECT_EQ(p.Seen(), (std::vector<uint32_t>{CThread::CmdStart, CThread::CmdStop}));
    // A finished object can be started again.
    p.result = 7;
    p.Start();
    p.PostCommand(CThread::CmdStop);
    ASSERT_TRUE(Eventually([&] { return !p.IsRunning(); }));
    EXPECT_EQ(p.GetExitCode(), 7);
}

TEST(Thread, StartOnRunningThreadRaisesTypeTwoAndChangesNothing) {
    CProbe p(L"TwiceProbe");
    p.gate.Reset();
    p.Start();
    p.PostCommand(CThread::CmdRun);
    const uint32_t id = p.GetThreadId();
    try {
        p.Start();
        FAIL() << "second Start did not raise";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.GetType(), 2);
        EXPECT_EQ(e.GetMessage(), L"Thread is already started!");
        EXPECT_STREQ(e.what(), "Thread is already started!");
        EXPECT_EQ(e.GetThread(), &p);
    }
    EXPECT_TRUE(p.IsRunning());
    EXPECT_EQ(p.GetThreadId(), id);
    EXPECT_EQ(p.GetStatus(), CThread::StatusStarted);
    EXPECT_EQ(CThread::NamedLockUsers(L"TwiceProbe"), 1);
    EXPECT_EQ(Drain(p), (std::vector<uint32_t>{CThread::CmdStart, CThread::CmdRun}));
    p.gate.Set();
}

struct SQueueCase {
    const char* what;
    std::vector<uint32_t> back;   // PostCommand, in order
    std::vector<uint32_t> front;  // then PostCommandFront, in order
    std::vector<uint32_t> expected;
};

void PrintTo(const SQueueCase& c, std::ostream* os) {
    *os << c.what;
}

class ThreadQueue : public testing::TestWithParam<SQueueCase> {};

TEST_P(ThreadQueue, HoldsCommandsInOrderWithoutConsecutiveDuplicates) {
    const SQueueCase& c = GetParam();
    CProbe p;
    p.gate.Reset();  // keep the body off the queue
    p.Start();
    for (uint32_t code : c.back) p.PostCommand(code);
    for (uint32_t code : c.front) p.PostCommandFront(code);
    EXPECT_EQ(Drain(p), c.expected) << c.what;
    p.gate.Set();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThreadQueue,
    testing::Values(SQueueCase{"same code twice", {3, 3}, {}, {2, 3}},
                    SQueueCase{"same as CmdStart already queued", {2}, {}, {2}},
                    SQueueCase{"repeat after another code", {3, 4, 3}, {}, {2, 3, 4, 3}},
                    SQueueCase{"zero is never queued", {0, 3, 0}, {}, {2, 3}},
                    SQueueCase{"front goes first", {4}, {3}, {3, 2, 4}},
                    SQueueCase{"front allows a duplicate", {}, {2}, {2, 2}},
                    SQueueCase{"front ignores zero", {}, {0}, {2}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(Thread, PostingWithoutAThreadDoesNothing) {
    CProbe p;
    EXPECT_NO_THROW(p.PostCommand(CThread::CmdRun));
    EXPECT_FALSE(p.PostCommandFront(CThread::CmdRun));
    uint32_t code = 99;
    EXPECT_FALSE(p.GetCommand(code));
    EXPECT_EQ(code, 0u);
    // Nor after the thread has ended.
    p.Start();
    p.PostCommand(CThread::CmdStop);
    ASSERT_TRUE(Eventually([&] { return !p.IsRunning(); }));
    EXPECT_NO_THROW(p.PostCommand(CThread::CmdRun));
    EXPECT_FALSE(p.GetCommand(code));
}

TEST(Thread, WaitForCommandTimesOutOrReturnsAtOnce) {
    CProbe p;
    p.gate.Reset();
    p.Start();
    Drain(p);
    uint32_t code = 0;
    p.WaitForCommand(code, 0);
    EXPECT_EQ(code, CThread::CmdTimeout);
    p.WaitForCommand(code, 10);
    EXPECT_EQ(code, CThread::CmdTimeout);
    // One signal may stand for several commands: all of them come out.
    p.PostCommand(CThread::CmdRun);
    p.PostCommand(CThread::CmdPause);
    p.WaitForCommand(code, 0);
    EXPECT_EQ(code, CThread::CmdRun);
    p.WaitForCommand(code, 0);
    EXPECT_EQ(code, CThread::CmdPause);
    p.gate.Set();

    CProbe noCommands(L"Probe", false);
    noCommands.WaitForCommand(code, CThread::kInfinite);
    EXPECT_EQ(code, 0u);
}

TEST(Thread, CommandFromAnotherThreadWakesAWaitingBody) {
    CProbe p;
    p.Start();
    p.PostCommand(CThread::CmdRun);
    p.PostCommand(CThread::CmdStop);
    ASSERT_TRUE(Eventually([&] { return !p.IsRunning(); }));
    EXPECT_EQ(p.Seen(),
              (std::vector<uint32_t>{CThread::CmdStart, CThread::CmdRun, CThread::CmdStop}));
}

struct STerminateCase {
    int32_t exitCode;
    bool noRaise;
};

void PrintTo(const STerminateCase& c, std::ostream* os) {
    *os << "exit code " << c.exitCode << (c.noRaise ? ", no raise" : "");
}

class ThreadTerminate : public testing::TestWithParam<STerminateCase> {};

TEST_P(ThreadTerminate, EndsAWaitingThreadWithTheGivenCode) {
    CProbe p(L"KillProbe");
    p.Start();
    ASSERT_TRUE(p.entered.Wait(10000));
    p.Terminate(GetParam().exitCode, GetParam().noRaise);
    EXPECT_FALSE(p.IsRunning());
    EXPECT_EQ(p.GetExitCode(), GetParam().exitCode);
    EXPECT_EQ(p.log->unwound, threads_test::kKillUnwindsTheStack);
    EXPECT_FALSE(p.log->returned);
    EXPECT_EQ(p.log->terminatedWith, GetParam().exitCode);
    EXPECT_EQ(p.GetStatus(), CThread::StatusStopped);
    EXPECT_EQ(CThread::NamedLockUsers(L"KillProbe"), 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, ThreadTerminate,
                         testing::Values(STerminateCase{0, false}, STerminateCase{0, true},
                                         STerminateCase{-7, false}, STerminateCase{1234, true}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(Thread, TerminateWithoutThreadStoresTheCode) {
    CProbe p;
    p.Terminate(9);
    EXPECT_EQ(p.GetExitCode(), 9);
    EXPECT_FALSE(p.IsRunning());
}

TEST(Thread, DestroyingARunningThreadEndsIt) {
    threads_test::WarmUpThreads();
    const std::size_t before = threads_test::ProcessThreadCount();
    auto* p = new CProbe(L"DestroyProbe");
    p->Start();
    ASSERT_TRUE(p->entered.Wait(10000));
    auto log = p->log;
    delete p;
    EXPECT_EQ(log->unwound, threads_test::kKillUnwindsTheStack);
    EXPECT_FALSE(log->returned);
    EXPECT_EQ(log->terminatedWith, 0);
    EXPECT_EQ(CThread::NamedLockUsers(L"DestroyProbe"), 0);
    EXPECT_TRUE(Eventually([&] { return threads_test::ProcessThreadCount() == before; }));
}

}  // namespace

namespace {

TEST(ThreadFailures, CreationFailureRaisesTypeOneWithTheSystemText) {
    CThreadCallsOverride calls;
    calls.FailCreation();
    CProbe p(L"NoThreadProbe");
    try {
        p.Start();
        FAIL() << "Start did not raise";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.GetType(), 1);
        EXPECT_EQ(e.GetMessage(), CThreadCallsOverride::CreationFailureText());
        EXPECT_FALSE(e.GetMessage().empty());
    }
    EXPECT_FALSE(p.IsRunning());
    EXPECT_EQ(p.GetStatus(), CThread::StatusStopped);
    // The failed start gave its name back.
    EXPECT_EQ(CThread::NamedLockUsers(L"NoThreadProbe"), 0);
}

TEST(ThreadFailures, FailedKillRaisesTypeThreeUnlessSuppressed) {
    CThreadCallsOverride calls;
    calls.FailKill();
    CProbe p(L"StubbornProbe");
    p.Start();
    try {
        p.Terminate(3);
        FAIL() << "Terminate did not raise";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.GetType(), 3);
        EXPECT_EQ(e.GetMessage(), CThreadCallsOverride::KillFailureText());
        EXPECT_FALSE(e.GetMessage().empty());
    }
    // The raise leaves the thread as it was, still owned by the object.
    EXPECT_TRUE(p.IsRunning());
    EXPECT_EQ(CThread::NamedLockUsers(L"StubbornProbe"), 1);
    p.PostCommand(CThread::CmdStop);
    ASSERT_TRUE(Eventually([&] { return !p.IsRunning(); }));
    EXPECT_EQ(p.GetExitCode(), 42);
}

#ifdef _WIN32
TEST(ThreadFailures, SystemTextForUnknownAndKnownCodes) {
    const std::wstring known = threads_impl::SystemErrorText(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(known.empty());
    EXPECT_NE(known.back(), L'\n');
    EXPECT_EQ(threads_impl::SystemErrorText(0x3FFFFFFF), L"");
}
#else
TEST(ThreadFailures, SystemTextForUnknownAndKnownCodes) {
    EXPECT_EQ(threads_impl::SystemErrorText(ENOMEM), L"Cannot allocate memory");
    EXPECT_EQ(threads_impl::SystemErrorText(999999), L"Unknown error 999999");
}
#endif

// A body that has done its work but not yet returned, held there by a
// plain flag (no wait at which a kill could take it).
class CFinishingProbe : public CThread {
public:
    CFinishingProbe() { SetCommandsSupported(true); }
    ~CFinishingProbe() override { EndThreadForDestruction(workDone.load()); }

    std::atomic<bool> workDone{false};
    std::atomic<bool> release{false};
    std::shared_ptr<std::atomic<bool>> returned = std::make_shared<std::atomic<bool>>(false);

protected:
    int32_t ThreadBody() override {
        workDone = true;
        while (!release) std::this_thread::yield();
        // A kill asked for meanwhile would take effect in this sleep.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        *returned = true;
        return 0;
    }
};

TEST(ThreadDestruction, WaitsForABodyPastItsWorkInsteadOfKillingIt) {
    auto* p = new CFinishingProbe;
    p->Start();
    ASSERT_TRUE(Eventually([&] { return p->workDone.load(); }));
    auto returned = p->returned;
    std::atomic<bool> deleted{false};
    std::thread deleter([&] {
        delete p;
        deleted = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(deleted) << "deletion did not wait for the thread";
    p->release = true;
    deleter.join();
    EXPECT_TRUE(*returned);
}

TEST(ThreadNamedLocks, ObjectsOfOneNameShareAnEntry) {
    const std::size_t entries = CThread::NamedLockEntries();
    CProbe a(L"Shared"), b(L"Shared");
    a.Start();
    b.Start();
    EXPECT_EQ(CThread::NamedLockUsers(L"Shared"), 2);
    EXPECT_EQ(CThread::NamedLockEntries(), entries + 1);
    a.PostCommand(CThread::CmdStop);
    ASSERT_TRUE(Eventually([&] { return !a.IsRunning(); }));
    EXPECT_EQ(CThread::NamedLockUsers(L"Shared"), 1);
    b.Terminate(0);
    EXPECT_EQ(CThread::NamedLockUsers(L"Shared"), 0);
    EXPECT_EQ(CThread::NamedLockEntries(), entries);
}

TEST(ThreadErrorReport, GoesToTheInstalledReporterElseStandardError) {
    CThreadException e(nullptr, L"Fehler \u00e4 \u4e2d", 1);
    EXPECT_STREQ(e.what(), "Fehler \xc3\xa4 \xe4\xb8\xad");

    std::wstring seen;
    SetThreadErrorReporter([&](const std::wstring& text) {
        seen = text;
        return 6;
    });
    EXPECT_EQ(e.ReportError(0, 0), 6);
    EXPECT_EQ(seen, L"Fehler \u00e4 \u4e2d");

    SetThreadErrorReporter(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(e.ReportError(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Fehler \xc3\xa4 \xe4\xb8\xad\n");
}

}  // namespace
