// What only a shared server shows: benches writing at once, and a server
// that goes away in the middle of a session.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "history/journal_flush.h"
#include "history_rig.h"

namespace history::testing {
namespace {

namespace fs = std::filesystem;

class HistoryPostgres : public ::testing::Test {
protected:
    void SetUp() override {
        if (db.Where().empty()) {
            if (std::getenv("CORVEXA_REQUIRE_POSTGRES")) FAIL() << db.Problem();
            GTEST_SKIP() << db.Problem();
        }
    }
    TestDatabase db{Backend::Postgres};
};

// Two processes, 50 sessions each, each with a certificate number from the
// server's sequence: 100 sessions and 100 different numbers.
TEST_F(HistoryPostgres, TwoBenchesWritingAtOnceLoseNothingAndShareNoNumber) {
    db.Open();  // the schema, before the benches start
    constexpr int kEach = 50;
    std::vector<pid_t> benches;
    for (const std::string bench : {"bench-a", "bench-b"}) {
        const pid_t pid = fork();
        ASSERT_NE(-1, pid);
        if (pid == 0) {
            int status = 0;
            try {
                const auto store = db.Open();
                for (int i = 0; i < kEach; ++i) {
                    const std::string number =
                        std::to_string(store->ReserveCertificateNumber(bench, kStart));
                    const std::string serial = bench + "-" + std::to_string(i);
                    SessionRecord record = RecordOf(
                        WorkedSession({"TT-" + serial, serial, "TX-9"}, kStart, {}, number),
                        serial + ".jsonl");
                    record.bench = bench;
                    store->RecordSession(record);
                }
            } catch (const DatabaseError& e) {
                std::fprintf(stderr, "%s: %s\n", bench.c_str(), e.what());
                status = 1;
            }
            _exit(status);
        }
        benches.push_back(pid);
    }
    for (const pid_t pid : benches) {
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const auto sessions = db.Open()->Sessions({});
    EXPECT_EQ(2u * kEach, sessions.size());
    std::set<std::string> numbers;
    for (const SessionSummary& s : sessions) numbers.insert(s.certificate);
    EXPECT_EQ(2u * kEach, numbers.size());
}

// CORVEXA_TEST_PG_SERVER: the command that stops and starts the test's
// server ("<command> stop", "<command> start").
int Server(const char* what) {
    const char* command = std::getenv("CORVEXA_TEST_PG_SERVER");
    if (!command) return -1;
    return std::system((std::string(command) + " " + what + " >/dev/null 2>&1").c_str());
}

// The server stops while a session is under way: the session's journal
// keeps it, the flush says why it waits, and after the restart the next
// flush writes it.
TEST_F(HistoryPostgres, AServerStoppedMidSessionGetsTheSessionAfterItsRestart) {
    if (!std::getenv("CORVEXA_TEST_PG_SERVER")) GTEST_SKIP() << "CORVEXA_TEST_PG_SERVER not set";
    TestFolder folder;
    const auto store = db.Open();
    ASSERT_EQ(0, Server("stop"));
    WorkedSession({"TT-1", "SN-1", "TX-9"}, kStart, folder.path);

    const FlushResult down = FlushJournals(*store, folder.path, "bench-a");
    EXPECT_EQ(0, down.written);
    EXPECT_EQ(1, down.waiting);
    EXPECT_NE("", down.error);
    EXPECT_EQ(0, FlushJournals(db.Where(), folder.path, "bench-a").written);

    ASSERT_EQ(0, Server("start"));
    EXPECT_EQ(1, FlushJournals(*store, folder.path, "bench-a").written);
    EXPECT_EQ(1u, store->Sessions({}).size());
}

}  // namespace
}  // namespace history::testing
