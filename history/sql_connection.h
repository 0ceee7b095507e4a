#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace history {

// A database that could not be used, in words. `unreachable`: the server is
// down or the file is locked; what waits is written later, nothing is lost.
class DatabaseError : public std::runtime_error {
public:
    DatabaseError(const std::string& what, bool unreachable)
        : std::runtime_error(what), m_unreachable(unreachable) {}
    bool Unreachable() const { return m_unreachable; }

private:
    bool m_unreachable;
};

// Every value goes in and comes out as text (NULL as nothing): both
// databases convert to the column's type, and the history keeps no value
// a text cannot carry exactly.
using Value = std::optional<std::string>;
using Row = std::vector<Value>;

enum class Dialect { Sqlite, Postgres };

// The little the history needs of a SQL database, over its own C library.
// Statements use $1, $2, ... for parameters in both. Errors throw
// DatabaseError.
class SqlConnection {
public:
    virtual ~SqlConnection() = default;
    virtual Dialect Kind() const = 0;
    // One statement; the rows it returns.
    virtual std::vector<Row> Query(std::string_view sql, const std::vector<Value>& params = {}) = 0;
    // Statements without parameters, separated by semicolons.
    virtual void Script(std::string_view sql) = 0;
    // A transaction that writes: taken at once, so two benches queue up
    // instead of failing half-way.
    virtual void BeginWrite() = 0;
    void Commit() { Script("COMMIT"); }
    void Rollback() { Script("ROLLBACK"); }
    // Where it is, for messages (a connection string without its password).
    virtual std::string Where() const = 0;
};

// A SQLite file, created when missing; a lock held by another process is
// waited for up to `busyWait`.
std::unique_ptr<SqlConnection> OpenSqlite(const std::filesystem::path& file,
                                          std::chrono::milliseconds busyWait);
// A PostgreSQL server by libpq connection string (postgresql://... or
// key=value pairs).
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& conninfo);

// True for a PostgreSQL connection string rather than a file name.
bool IsPostgresAddress(std::string_view where);

// Rolls back unless committed: a failure half-way through leaves nothing.
class WriteTransaction {
public:
    explicit WriteTransaction(SqlConnection& db) : m_db(db) { m_db.BeginWrite(); }
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void Commit() {
        m_db.Commit();
        m_done = true;
    }

private:
    SqlConnection& m_db;
    bool m_done = false;
};

}  // namespace history
