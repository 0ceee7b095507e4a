#include <gtest/gtest.h>

#include "history/journal_flush.h"
#include "history/sha256.h"
#include "history_rig.h"

namespace history::testing {
namespace {

namespace fs = std::filesystem;

TEST(Sha256, KnownDigests) {
    const struct {
        std::string in, hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.hex, Sha256Hex(c.in)) << c.in.size() << " bytes";
    EXPECT_FALSE(FileSha256Hex("/nonexistent/certificate.pdf"));
}

TEST(DueDates, MonthsKeepTheDayOrTakeTheMonthsLast) {
    const struct {
        const char* date;
        int months, days;
        const char* byMonths;
        const char* byDays;
    } cases[] = {
        {"2026-01-31", 1, 1, "2026-02-28", "2026-02-01"},
        {"2024-01-31", 1, 29, "2024-02-29", "2024-02-29"},
        {"2026-12-09", 12, 30, "2027-12-09", "2027-01-08"},
        {"2026-03-01", -1, -1, "2026-02-01", "2026-02-28"},
        {"2026-02-30", 1, 1, "", ""},  // not a date
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.byMonths, AddMonths(c.date, c.months)) << c.date;
        EXPECT_EQ(c.byDays, AddDays(c.date, c.days)) << c.date;
    }
}

// A file another process holds locked: the flush gives up after its wait
// and the journal stays, to be written by the next one.
TEST(HistorySqlite, ALockedFileLeavesTheJournalWaiting) {
    TestDatabase db(Backend::Sqlite);
    TestFolder folder;
    db.Open();
    WorkedSession({"TT-1", "SN-1", "TX-9"}, kStart, folder.path);
    auto holder = OpenSqlite(db.Where(), std::chrono::milliseconds(0));
    holder->Script("BEGIN EXCLUSIVE");

    const FlushResult blocked = FlushJournals(db.Where(), folder.path, "bench-a");
    EXPECT_EQ(0, blocked.written);
    EXPECT_EQ(1, blocked.waiting);
    EXPECT_NE(std::string::npos, blocked.error.find("locked")) << blocked.error;
    EXPECT_FALSE(fs::exists(folder.path / "recorded"));

    holder->Rollback();
    EXPECT_EQ(1, FlushJournals(db.Where(), folder.path, "bench-a").written);
    EXPECT_EQ(1u, db.Open()->Sessions({}).size());
}

}  // namespace
}  // namespace history::testing
