#include <libpq-fe.h>

#include <memory>
#include <string>

#include "history/sql_connection.h"

namespace history {

namespace {

using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;

// "postgresql://bench@host/db?password=x" without what follows a password.
std::string WithoutPassword(const std::string& conninfo) {
    const auto at = conninfo.find("password");
    return at == std::string::npos ? conninfo : conninfo.substr(0, at) + "…";
}

void IgnoreNotice(void*, const char*) {}

// A server that is down answers at once on a socket, but a host that is
// gone would hold a TCP connect for minutes: 10 s unless the string says
// otherwise (its own connect_timeout, read after ours, wins).
PGconn* Connect(const std::string& conninfo) {
    const char* keys[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {"10", conninfo.c_str(), nullptr};
    return PQconnectdbParams(keys, values, 1);
}

class PostgresConnection final : public SqlConnection {
public:
    explicit PostgresConnection(const std::string& conninfo)
        : m_where(WithoutPassword(conninfo)), m_conn(Connect(conninfo)) {
        if (!m_conn) throw DatabaseError(m_where + ": out of memory", true);
        if (PQstatus(m_conn) != CONNECTION_OK) {
            const std::string words = Words();
            PQfinish(m_conn);
            throw DatabaseError(m_where + ": " + words, true);
        }
        // "relation already exists, skipping" and the like are no news.
        PQsetNoticeProcessor(m_conn, IgnoreNotice, nullptr);
    }
    ~PostgresConnection() override { PQfinish(m_conn); }

    Dialect Kind() const override { return Dialect::Postgres; }
    std::string Where() const override { return m_where; }

    std::vector<Row> Query(std::string_view sql, const std::vector<Value>& params) override {
        Reconnect();
        std::vector<const char*> values;
        for (const Value& v : params) values.push_back(v ? v->c_str() : nullptr);
        const std::string text(sql);
        Result result(PQexecParams(m_conn, text.c_str(), static_cast<int>(values.size()), nullptr,
                                   values.data(), nullptr, nullptr, 0),
                      PQclear);
        Check(result.get());
        std::vector<Row> rows;
        const int columns = PQnfields(result.get());
        for (int r = 0; r < PQntuples(result.get()); ++r) {
            Row row;
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result.get(), r, c))
                    row.emplace_back();
                else
                    row.emplace_back(
                        std::string(PQgetvalue(result.get(), r, c),
                                    static_cast<std::size_t>(PQgetlength(result.get(), r, c))));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    void Script(std::string_view sql) override {
        Reconnect();
        const std::string text(sql);
        Result result(PQexec(m_conn, text.c_str()), PQclear);
        Check(result.get());
    }

    void BeginWrite() override { Script("BEGIN"); }

private:
    std::string Words() const {
        std::string words = PQerrorMessage(m_conn);
        while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
        return words;
    }
    // A server that went away and came back: the next call finds it again.
    void Reconnect() {
        if (PQstatus(m_conn) == CONNECTION_OK) return;
        PQreset(m_conn);
        if (PQstatus(m_conn) != CONNECTION_OK) throw DatabaseError(m_where + ": " + Words(), true);
    }
    void Check(const PGresult* result) {
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
        const bool lost = PQstatus(m_conn) != CONNECTION_OK;
        std::string words = result ? PQresultErrorMessage(result) : "";
        if (words.empty()) words = Words();
        while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
        throw DatabaseError(m_where + ": " + words, lost);
    }

    std::string m_where;
    PGconn* m_conn;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& conninfo) {
    return std::make_unique<PostgresConnection>(conninfo);
}

}  // namespace history
