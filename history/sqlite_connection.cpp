#include <sqlite3.h>

#include <string>

#include "history/sql_connection.h"

namespace history {

namespace {

class SqliteConnection final : public SqlConnection {
public:
    SqliteConnection(const std::filesystem::path& file, std::chrono::milliseconds busyWait)
        : m_file(file.string()) {
        std::error_code ignored;
        if (file.has_parent_path())
            std::filesystem::create_directories(file.parent_path(), ignored);
        const int rc = sqlite3_open_v2(m_file.c_str(), &m_db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string words = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
            sqlite3_close(m_db);
            m_db = nullptr;
            throw DatabaseError(m_file + ": " + words, true);
        }
        sqlite3_busy_timeout(m_db, static_cast<int>(busyWait.count()));
        try {
            // WAL lets the History window read while a session is written.
            Script("PRAGMA foreign_keys = ON; PRAGMA journal_mode = WAL");
        } catch (...) {
            sqlite3_close(m_db);
            throw;
        }
    }
    ~SqliteConnection() override { sqlite3_close(m_db); }

    Dialect Kind() const override { return Dialect::Sqlite; }
    std::string Where() const override { return m_file; }

    std::vector<Row> Query(std::string_view sql, const std::vector<Value>& params) override {
        sqlite3_stmt* raw = nullptr;
        const std::string text(sql);
        Check(sqlite3_prepare_v2(m_db, text.c_str(), -1, &raw, nullptr));
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const std::string name = "$" + std::to_string(i + 1);
            const int index = sqlite3_bind_parameter_index(raw, name.c_str());
            if (index == 0) continue;  // a parameter the statement does not use
            Check(params[i]
                      ? sqlite3_bind_text(raw, index, params[i]->data(),
                                          static_cast<int>(params[i]->size()), SQLITE_TRANSIENT)
                      : sqlite3_bind_null(raw, index));
        }
        std::vector<Row> rows;
        for (;;) {
            const int rc = sqlite3_step(raw);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) Check(rc);
            Row row;
            const int columns = sqlite3_column_count(raw);
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(raw, c) == SQLITE_NULL) {
                    row.emplace_back();
                    continue;
                }
                const auto* bytes = sqlite3_column_text(raw, c);
                row.emplace_back(
                    std::string(reinterpret_cast<const char*>(bytes),
                                static_cast<std::size_t>(sqlite3_column_bytes(raw, c))));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    void Script(std::string_view sql) override {
        const std::string text(sql);
        char* message = nullptr;
        const int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            const std::string words = message ? message : sqlite3_errstr(rc);
            sqlite3_free(message);
            throw DatabaseError(m_file + ": " + words, Busy(rc));
        }
    }

    // IMMEDIATE takes the write lock now, so a second writer waits for it
    // (busy timeout) instead of failing at its first write.
    void BeginWrite() override { Script("BEGIN IMMEDIATE"); }

private:
    static bool Busy(int rc) {
        const int primary = rc & 0xff;
        return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_CANTOPEN ||
               primary == SQLITE_IOERR || primary == SQLITE_FULL || primary == SQLITE_READONLY;
    }
    void Check(int rc) {
        if (rc == SQLITE_OK) return;
        throw DatabaseError(m_file + ": " + sqlite3_errmsg(m_db), Busy(rc));
    }

    std::string m_file;
    sqlite3* m_db = nullptr;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenSqlite(const std::filesystem::path& file,
                                          std::chrono::milliseconds busyWait) {
    return std::make_unique<SqliteConnection>(file, busyWait);
}

}  // namespace history
