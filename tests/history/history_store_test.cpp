// The history on each database it runs on: history_tests runs these on
// SQLite, history_postgres_tests on the throw-away PostgreSQL server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "history/journal_flush.h"
#include "history/schema.h"
#include "history/sha256.h"
#include "history_rig.h"

namespace history::testing {
namespace {

namespace fs = std::filesystem;
using protocol::DeviceIdentity;

SessionFilter ByDevice(std::int64_t id) {
    SessionFilter f;
    f.deviceId = id;
    return f;
}
SessionFilter ByTag(std::string tag) {
    SessionFilter f;
    f.tag = std::move(tag);
    return f;
}
SessionFilter Since(std::string date) {
    SessionFilter f;
    f.since = std::move(date);
    return f;
}

class History : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (db.Where().empty()) {
            if (std::getenv("CORVEXA_REQUIRE_POSTGRES")) FAIL() << db.Problem();
            GTEST_SKIP() << db.Problem();
        }
    }
    TestDatabase db{GetParam()};
    TestFolder folder;
};

// A bench's session goes from its journal into the database, whole, and
// comes back as it was; the journal moves aside so it is written once.
TEST_P(History, ASessionIsWrittenFromItsJournalAndReadBack) {
    const DeviceIdentity unit{"TT-101", "SN-7", "TX-9"};
    WorkedSession(unit, kStart, folder.path, "20261209-0001");
    std::ofstream(folder.path / "certificate.pdf") << "%PDF-1.4 the certificate";
    WorkedSession({"TT-102", "SN-8", "TX-9"}, kStart + std::chrono::hours(1));
    // Still under way: it stays for the unfinished-session offer.
    protocol::CalibrationSession open;
    open.Start(kStart, L"/dev/ttyUSB1", {}, {unit, "", ""},
               protocol::SessionJournal::Open(folder.path / "open.jsonl", nullptr));

    const FlushResult flushed = FlushJournals(db.Where(), folder.path, "bench-a");
    EXPECT_EQ(1, flushed.written);
    EXPECT_EQ(0, flushed.waiting);
    EXPECT_EQ("", flushed.error);
    EXPECT_TRUE(fs::exists(folder.path / "open.jsonl"));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(folder.path / "recorded"),
                               fs::directory_iterator()));
    EXPECT_EQ(0, FlushJournals(db.Where(), folder.path, "bench-a").written);

    const auto store = db.Open();
    const auto devices = store->FindDevices("tt-1");
    ASSERT_EQ(1u, devices.size());
    EXPECT_EQ("SN-7", devices[0].serial);
    const auto sessions = store->Sessions(ByDevice(devices[0].id));
    ASSERT_EQ(1u, sessions.size());
    const SessionSummary& s = sessions[0];
    EXPECT_EQ("TT-101", s.tag);
    EXPECT_EQ("Lena Fischer", s.technician);
    EXPECT_EQ("bench-a", s.bench);
    EXPECT_EQ("/dev/ttyUSB0", s.port);
    EXPECT_EQ(UtcText(kStart), s.started);
    EXPECT_EQ(UtcText(kStart + std::chrono::seconds(600)), s.ended);
    ASSERT_TRUE(s.asFound);
    EXPECT_FALSE(s.asFound->passed);  // 0.5 % of span off at every point
    EXPECT_DOUBLE_EQ(0.5, s.asFound->worstError);
    EXPECT_FALSE(s.asLeft);
    EXPECT_EQ("20261209-0001", s.certificate);
    EXPECT_EQ(Sha256Hex("%PDF-1.4 the certificate"), s.certificateSha256);

    const auto detail = store->Session(s.id);
    ASSERT_TRUE(detail);
    ASSERT_EQ(28u, detail->parameters.size());
    const auto shown = [&](const std::string& stage, int reg) {
        for (const StoredParameter& p : detail->parameters)
            if (p.stage == stage && p.reg == reg) return p.shown + (p.word ? "" : " (no word)");
        return std::string("missing");
    };
    EXPECT_EQ("12.5 °C", shown("as-found", 15));
    EXPECT_EQ("-50 °C", shown("as-found", 16));
    EXPECT_EQ(" (no word)", shown("as-found", 10 + protocol::kGainIndex));
    EXPECT_EQ("5847", shown("as-left", 22));
    ASSERT_EQ(1u, detail->writes.size());
    EXPECT_EQ(
        (std::vector<std::string>{"22", "6000", "5847", "written"}),
        (std::vector<std::string>{std::to_string(detail->writes[0].reg), detail->writes[0].oldValue,
                                  detail->writes[0].newValue, detail->writes[0].outcome}));
    ASSERT_EQ(1u, detail->runs.size());
    ASSERT_EQ(3u, detail->runs[0].points.size());
    EXPECT_DOUBLE_EQ(50.0, detail->runs[0].points[1].applied);
    EXPECT_DOUBLE_EQ(12.08, detail->runs[0].points[1].measured);
    ASSERT_EQ(2u, detail->references.size());
    EXPECT_EQ("Calibrator", detail->references[0].name);
    EXPECT_EQ(protocol::ReferenceKind::InputSource, detail->references[0].kind);
    // The journal itself is kept, and rebuilds the same session.
    std::istringstream events(detail->events);
    const auto rebuilt = protocol::ReadJournal(events);
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(unit, rebuilt->session.Context().identity);
}

// A unit keeps its history when it moves to another tag; the old tag
// still finds it. Due dates follow the latest certificate and the model's
// interval.
TEST_P(History, AUnitMovedToAnotherTagIsOneDeviceAndFallsDueByItsModel) {
    const auto store = db.Open();
    const auto day = std::chrono::hours(24);
    store->RecordSession(
        RecordOf(WorkedSession({"TT-1", "SN-1", "TX-9"}, kStart, {}, "c1"), "a.jsonl"));
    store->RecordSession(
        RecordOf(WorkedSession({"TT-9", "SN-1", "TX-9"}, kStart + 30 * day, {}, "c2"), "b.jsonl"));
    store->RecordSession(
        RecordOf(WorkedSession({"PT-5", "SN-2", "LV-1"}, kStart + 10 * day, {}, "c3"), "c.jsonl"));
    store->RecordSession(RecordOf(WorkedSession({"PT-6", "SN-3", "LV-1"}, kStart), "d.jsonl"));
    // The same journal again changes nothing.
    store->RecordSession(
        RecordOf(WorkedSession({"TT-1", "SN-1", "TX-9"}, kStart, {}, "c1"), "a.jsonl"));

    const auto moved = store->FindDevices("TT-1");
    ASSERT_EQ(1u, moved.size());
    EXPECT_EQ("TT-9", moved[0].tag);
    EXPECT_EQ(2, moved[0].sessions);
    EXPECT_EQ(3u, store->FindDevices("").size());
    EXPECT_EQ(1u, store->Sessions(ByTag("TT-1")).size());
    EXPECT_EQ(2u, store->Sessions(Since(UtcText(kStart + 5 * day).substr(0, 10))).size());

    store->SetDueInterval("LV-1", 6);
    EXPECT_EQ(6, store->DueInterval("LV-1"));
    EXPECT_EQ(kDefaultDueMonths, store->DueInterval("TX-9"));
    const std::string sessionDay = UtcText(kStart).substr(0, 10);  // 2026-11-30
    const std::string today = AddMonths(sessionDay, 6);
    const auto due = store->Due(today, 31);
    ASSERT_EQ(1u, due.size());  // PT-6 has no certificate, TT-9 is due in 7 months
    EXPECT_EQ("PT-5", due[0].device.tag);
    EXPECT_EQ(AddMonths(UtcText(kStart + 10 * day).substr(0, 10), 6), due[0].due);
    EXPECT_EQ(2u, store->Due(AddMonths(sessionDay, 12), 31).size());
}

// A database made by the first schema is upgraded at start and keeps its
// rows; one of a newer program is refused in words.
TEST_P(History, AnOlderDatabaseIsUpgradedAndANewerOneRefused) {
    {
        const auto old = db.Open();  // reaches the latest; take it back to 1 by hand
    }
    std::unique_ptr<SqlConnection> raw = IsPostgresAddress(db.Where())
                                             ? OpenPostgres(db.Where())
                                             : OpenSqlite(db.Where(), std::chrono::seconds(1));
    raw->Script(
        "DROP TABLE due_intervals; DROP INDEX devices_tag; DROP INDEX devices_serial; "
        "DROP INDEX sessions_device; DROP INDEX verifications_session; "
        "DELETE FROM schema_version WHERE version > 1");
    raw->Query(
        "INSERT INTO devices (device_key, serial, model, tag) VALUES ('SN-1', 'SN-1', "
        "'TX-9', 'TT-1')");
    EXPECT_EQ(1, SchemaVersion(*raw));

    const auto store = db.Open();
    EXPECT_EQ(LatestSchemaVersion(), SchemaVersion(store->Connection()));
    EXPECT_EQ(1u, store->FindDevices("TT").size());
    store->SetDueInterval("TX-9", 24);
    EXPECT_EQ(24, store->DueInterval("TX-9"));

    raw->Query("INSERT INTO schema_version (version) VALUES (99)");
    try {
        db.Open();
        ADD_FAILURE() << "a database of version 99 was opened";
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("version 99, newer than"));
    }
}

}  // namespace

#ifdef CORVEXA_HISTORY_POSTGRES
INSTANTIATE_TEST_SUITE_P(Postgres, History, ::testing::Values(Backend::Postgres));
#else
INSTANTIATE_TEST_SUITE_P(Sqlite, History, ::testing::Values(Backend::Sqlite));
#endif

}  // namespace history::testing
