#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/sql_connection.h"
#include "protocol/calibration_session.h"

namespace history {

// One session as it goes into the history: what its journal rebuilt, and
// where that journal came from.
struct SessionRecord {
    protocol::CalibrationSession session;
    std::string bench;              // the host it ran on
    std::string journal;            // the journal's file name: with the bench, the session's key
    std::string events;             // the journal's lines
    std::string certificateSha256;  // of the PDF; empty when it was not found
};

struct DeviceSummary {
    std::int64_t id = 0;
    std::string tag, serial, model;
    int sessions = 0;
    std::string lastSession;  // UTC, "2026-12-09T13:01:42Z"
};

struct RunSummary {
    bool complete = false;
    bool passed = false;
    double worstError = 0.0;  // % of span
};

struct SessionSummary {
    std::int64_t id = 0;
    std::int64_t deviceId = 0;
    std::string tag, serial, model, technician, bench, port, software;
    std::string started, ended;  // UTC text; ended empty when never finished
    std::optional<RunSummary> asFound, asLeft;
    std::string certificate;  // its number, empty when none was made
    std::string certificateFile;
    std::string certificateSha256;
};

struct SessionFilter {
    std::optional<std::int64_t> deviceId;
    std::string tag;    // exact
    std::string since;  // YYYY-MM-DD: sessions started on that day or later
    int limit = 1000;
};

struct StoredParameter {
    std::string stage;  // as-found, as-left
    int reg = 0;
    std::optional<std::uint16_t> word;
    std::string shown;
};
struct StoredWrite {
    std::string at;
    int reg = 0;
    std::string oldValue, newValue, outcome;
};
struct SessionDetail {
    SessionSummary summary;
    std::vector<StoredParameter> parameters;
    std::vector<StoredWrite> writes;
    std::vector<protocol::VerificationRun> runs;
    std::vector<protocol::ReferenceInstrument> references;
    std::string events;  // the journal, from which the certificate can be made again
};

struct DueDevice {
    DeviceSummary device;
    std::string lastCalibrated;  // YYYY-MM-DD of its latest certificate
    std::string due;             // YYYY-MM-DD
    int months = 12;
};

inline constexpr int kDefaultDueMonths = 12;

// The history of every unit, over SQLite or PostgreSQL. Every method may
// throw DatabaseError; a write is one transaction, all or nothing.
class HistoryStore {
public:
    // A file name (created when missing) or a PostgreSQL connection
    // string; the schema is upgraded before anything else.
    static std::unique_ptr<HistoryStore> Open(const std::string& where);
    explicit HistoryStore(std::unique_ptr<SqlConnection> db);

    std::string Where() const { return m_db->Where(); }
    SqlConnection& Connection() { return *m_db; }

    // The next certificate number; a sequence of the database, so two
    // benches on one server never get the same one.
    std::int64_t ReserveCertificateNumber(const std::string& bench,
                                          protocol::WallClock::time_point time);

    // Writes the session with everything in it; a session already there
    // (same bench and journal) is left as it is. Returns its id.
    std::int64_t RecordSession(const SessionRecord& record);

    // Devices whose tag or serial begins with `text` (all for an empty
    // text), by tag.
    std::vector<DeviceSummary> FindDevices(const std::string& text, int limit = 200);
    // Newest first.
    std::vector<SessionSummary> Sessions(const SessionFilter& filter);
    std::optional<SessionDetail> Session(std::int64_t id);

    void SetDueInterval(const std::string& model, int months);
    int DueInterval(const std::string& model);
    // Devices whose latest certificate falls due on or before `today` +
    // `days` (YYYY-MM-DD), soonest first.
    std::vector<DueDevice> Due(const std::string& today, int days);

private:
    std::int64_t DeviceId(const protocol::DeviceIdentity& identity);
    std::vector<SessionSummary> Summaries(const std::string& where,
                                          const std::vector<Value>& params, int limit);

    std::unique_ptr<SqlConnection> m_db;
};

// "2026-12-09T13:01:42Z".
std::string UtcText(protocol::WallClock::time_point time);
// A date YYYY-MM-DD moved by whole months; the day kept, or the month's
// last day where it has fewer.
std::string AddMonths(const std::string& date, int months);
std::string AddDays(const std::string& date, int days);

}  // namespace history
