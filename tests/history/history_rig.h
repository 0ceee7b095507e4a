// A database for one test: a SQLite file in a folder of its own, or a
// fresh database on the throw-away PostgreSQL server scripts/test starts
// (CORVEXA_TEST_POSTGRES: a connection string to its maintenance database).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "history/history_store.h"
#include "protocol/session_journal.h"

namespace history::testing {

enum class Backend { Sqlite, Postgres };

struct TestFolder {
    TestFolder();
    ~TestFolder();
    std::filesystem::path path;
};

class TestDatabase {
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    // Empty when the backend cannot be used here (the test then skips).
    const std::string& Where() const { return m_where; }
    const std::string& Problem() const { return m_problem; }
    std::unique_ptr<HistoryStore> Open() const { return HistoryStore::Open(m_where); }

private:
    Backend m_backend;
    TestFolder m_folder;
    std::string m_where;
    std::string m_admin;
    std::string m_name;
    std::string m_problem;
};

// The test's PostgreSQL database URL with the database replaced.
std::string WithDatabase(const std::string& conninfo, const std::string& database);

inline const protocol::WallClock::time_point kStart{std::chrono::seconds(1'796'000'000)};

// A session as a bench makes it: identity, references, an as-found run,
// a confirmed write, as-left words, a certificate (when `certificate` is not
// empty), its end; journalled into `folder` when it is given.
protocol::CalibrationSession WorkedSession(const protocol::DeviceIdentity& identity,
                                           protocol::WallClock::time_point start,
                                           const std::filesystem::path& folder = {},
                                           const std::string& certificate = "");

SessionRecord RecordOf(protocol::CalibrationSession session, const std::string& journal);

}  // namespace history::testing
