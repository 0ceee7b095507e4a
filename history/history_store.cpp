#include "history/history_store.h"

#include <charconv>
#include <ctime>

#include <algorithm>
#include <tuple>

#include "base/wide_text.h"
#include "history/schema.h"
#include "protocol/register_table.h"

namespace history {

namespace {

using corvexa::base::ToUtf8;
using protocol::VerificationRun;
using protocol::VerificationStage;

constexpr std::chrono::milliseconds kLockWait{3000};

std::string Text(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}
std::string Text(std::int64_t value) {
    return std::to_string(value);
}
std::string Flag(bool value) {
    return value ? "1" : "0";
}

const std::string& Get(const Row& row, std::size_t column) {
    static const std::string kEmpty;
    return column < row.size() && row[column] ? *row[column] : kEmpty;
}
std::int64_t Integer(const Row& row, std::size_t column) {
    const std::string& text = Get(row, column);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}
double Real(const Row& row, std::size_t column) {
    const std::string& text = Get(row, column);
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}
bool True(const Row& row, std::size_t column) {
    return Integer(row, column) != 0;
}

std::string DeviceKey(const protocol::DeviceIdentity& identity) {
    return identity.serial.empty() ? "tag:" + identity.tag : identity.serial;
}

// "abc" as a LIKE pattern for what begins with it, matched in lower case.
std::string PrefixPattern(const std::string& text) {
    std::string pattern;
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return pattern + '%';
}

std::string OutcomeName(protocol::WriteOutcome outcome) {
    switch (outcome) {
        case protocol::WriteOutcome::Succeeded:
            return "written";
        case protocol::WriteOutcome::Failed:
            return "not-confirmed";
        case protocol::WriteOutcome::Pending:
            break;
    }
    return "pending";
}

std::string Shown(const protocol::RegisterWords& words, int index) {
    if (!words[index]) return "";
    return protocol::ExactText(index, *words[index],
                               {words[protocol::kDecimalsIndex], words[protocol::kUnitIndex]});
}

constexpr const char* kSummaryColumns =
    "SELECT s.id, s.device_id, s.tag, d.serial, s.model, s.technician, s.bench, s.port, "
    "s.software, s.started_at, s.ended_at, fa.complete, fa.passed, fa.worst_error, la.complete, "
    "la.passed, la.worst_error, c.number, c.file, c.sha256 "
    "FROM sessions s JOIN devices d ON d.id = s.device_id "
    "LEFT JOIN verifications fa ON fa.session_id = s.id AND fa.stage = 'as-found' "
    "LEFT JOIN verifications la ON la.session_id = s.id AND la.stage = 'as-left' "
    "LEFT JOIN certificates c ON c.session_id = s.id ";

std::optional<RunSummary> RunOf(const Row& row, std::size_t column) {
    if (!row[column]) return std::nullopt;
    return RunSummary{True(row, column), True(row, column + 1), Real(row, column + 2)};
}

SessionSummary SummaryOf(const Row& row) {
    SessionSummary s;
    s.id = Integer(row, 0);
    s.deviceId = Integer(row, 1);
    s.tag = Get(row, 2);
    s.serial = Get(row, 3);
    s.model = Get(row, 4);
    s.technician = Get(row, 5);
    s.bench = Get(row, 6);
    s.port = Get(row, 7);
    s.software = Get(row, 8);
    s.started = Get(row, 9);
    s.ended = Get(row, 10);
    s.asFound = RunOf(row, 11);
    s.asLeft = RunOf(row, 14);
    s.certificate = Get(row, 17);
    s.certificateFile = Get(row, 18);
    s.certificateSha256 = Get(row, 19);
    return s;
}

bool ParseDate(const std::string& date, int& y, int& m, int& d) {
    if (!protocol::ValidDate(date)) return false;
    y = std::stoi(date.substr(0, 4));
    m = std::stoi(date.substr(5, 2));
    d = std::stoi(date.substr(8, 2));
    return true;
}

std::string DateText(int y, int m, int d) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

std::string UtcText(protocol::WallClock::time_point time) {
    const std::time_t t = protocol::WallClock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string AddMonths(const std::string& date, int months) {
    int y, m, d;
    if (!ParseDate(date, y, m, d)) return "";
    const int total = y * 12 + (m - 1) + months;
    y = total / 12;
    m = total % 12 + 1;
    return DateText(y, m, std::min(d, DaysInMonth(y, m)));
}

std::string AddDays(const std::string& date, int days) {
    int y, m, d;
    if (!ParseDate(date, y, m, d)) return "";
    // Days from the civil date (H. Hinnant's algorithm), and back.
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long z = era * 146097L + doe - 719468 + days + 719468;
    const long era2 = (z >= 0 ? z : z - 146096) / 146097;
    const long doe2 = z - era2 * 146097;
    const long yoe2 = (doe2 - doe2 / 1460 + doe2 / 36524 - doe2 / 146096) / 365;
    const long doy2 = doe2 - (365 * yoe2 + yoe2 / 4 - yoe2 / 100);
    const long mp = (5 * doy2 + 2) / 153;
    const int day = static_cast<int>(doy2 - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe2 + era2 * 400 + (month <= 2));
    return DateText(year, month, day);
}

std::unique_ptr<HistoryStore> HistoryStore::Open(const std::string& where) {
    std::unique_ptr<SqlConnection> db = IsPostgresAddress(where)
                                            ? OpenPostgres(where)
                                            : OpenSqlite(std::filesystem::u8path(where), kLockWait);
    Migrate(*db);
    return std::make_unique<HistoryStore>(std::move(db));
}

HistoryStore::HistoryStore(std::unique_ptr<SqlConnection> db) : m_db(std::move(db)) {}

std::int64_t HistoryStore::ReserveCertificateNumber(const std::string& bench,
                                                    protocol::WallClock::time_point time) {
    WriteTransaction transaction(*m_db);
    const auto rows = m_db->Query(
        "INSERT INTO certificate_numbers (reserved_at, bench) VALUES ($1, $2) RETURNING number",
        {UtcText(time), bench});
    transaction.Commit();
    return Integer(rows.at(0), 0);
}

std::int64_t HistoryStore::DeviceId(const protocol::DeviceIdentity& identity) {
    const auto rows = m_db->Query(
        "INSERT INTO devices (device_key, serial, model, tag) VALUES ($1, $2, $3, $4) "
        "ON CONFLICT (device_key) DO UPDATE SET tag = excluded.tag, "
        "model = CASE WHEN excluded.model <> '' THEN excluded.model ELSE devices.model END "
        "RETURNING id",
        {DeviceKey(identity), identity.serial, identity.model, identity.tag});
    return Integer(rows.at(0), 0);
}

std::int64_t HistoryStore::RecordSession(const SessionRecord& record) {
    const protocol::CalibrationSession& s = record.session;
    WriteTransaction transaction(*m_db);
    if (const auto found = m_db->Query("SELECT id FROM sessions WHERE bench = $1 AND journal = $2",
                                       {record.bench, record.journal});
        !found.empty())
        return Integer(found[0], 0);

    const protocol::SessionContext& context = s.Context();
    const std::int64_t device = DeviceId(context.identity);
    const Value ended = s.Finished() ? Value(UtcText(s.EndTime())) : std::nullopt;
    const std::int64_t id =
        Integer(m_db->Query("INSERT INTO sessions (device_id, tag, model, technician, bench, port, "
                            "software, started_at, ended_at, journal, events) "
                            "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) RETURNING id",
                            {Text(device), context.identity.tag, context.identity.model,
                             context.technician, record.bench, ToUtf8(s.Port()), context.software,
                             UtcText(s.StartTime()), ended, record.journal, record.events})
                    .at(0),
                0);

    const auto parameters = [&](const char* stage, const protocol::RegisterWords& words) {
        for (int i = 0; i < protocol::kRegisterCount; ++i)
            m_db->Query(
                "INSERT INTO parameters (session_id, stage, register, word, shown) "
                "VALUES ($1, $2, $3, $4, $5)",
                {Text(id), stage, std::to_string(protocol::RegisterOfIndex(i)),
                 words[i] ? Value(std::to_string(*words[i])) : std::nullopt, Shown(words, i)});
    };
    parameters("as-found", s.AsFound());
    if (s.AsLeft()) parameters("as-left", *s.AsLeft());

    int seq = 0;
    for (const protocol::SessionWrite& w : s.Writes()) {
        const auto reg = protocol::WriteRegisterOf(w.code);
        m_db->Query(
            "INSERT INTO writes (session_id, seq, written_at, register, old_value, "
            "new_value, outcome) VALUES ($1, $2, $3, $4, $5, $6, $7)",
            {Text(id), std::to_string(++seq), UtcText(w.time), std::to_string(reg ? *reg : 0),
             ToUtf8(w.oldText), ToUtf8(w.newText), OutcomeName(w.outcome)});
    }

    for (const VerificationStage stage : {VerificationStage::AsFound, VerificationStage::AsLeft}) {
        const std::optional<VerificationRun>& run = s.Verification(stage);
        if (!run) continue;
        const std::int64_t vid = Integer(
            m_db->Query(
                    "INSERT INTO verifications (session_id, stage, output, lower_limit, "
                    "upper_limit, tolerance, complete, passed, worst_error) "
                    "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9) RETURNING id",
                    {Text(id), protocol::StageName(stage), protocol::SignalName(run->plan.output),
                     Text(run->plan.lower), Text(run->plan.upper), Text(run->plan.tolerancePercent),
                     Flag(run->Complete()), Flag(run->Passed()), Text(run->WorstError())})
                .at(0),
            0);
        int point = 0;
        for (const protocol::PointResult& p : run->points)
            m_db->Query(
                "INSERT INTO points (verification_id, seq, percent, applied, expected, "
                "measured, error, pass) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
                {Text(vid), std::to_string(++point), Text(p.percent), Text(p.applied),
                 Text(p.expected), Text(p.measured), Text(p.errorPercent), Flag(p.pass)});
    }

    for (const protocol::ReferenceInstrument& r : s.References()) {
        const std::vector<Value> key{r.name, r.model, r.serial, r.calibratedUntil};
        m_db->Query(
            "INSERT INTO instruments (name, model, serial, calibrated_until) "
            "VALUES ($1, $2, $3, $4) ON CONFLICT DO NOTHING",
            key);
        const auto instrument = m_db->Query(
            "SELECT id FROM instruments WHERE name = $1 AND model = $2 AND "
            "serial = $3 AND calibrated_until = $4",
            key);
        m_db->Query(
            "INSERT INTO session_instruments (session_id, instrument_id, kind) "
            "VALUES ($1, $2, $3) ON CONFLICT DO NOTHING",
            {Text(id), Get(instrument.at(0), 0), protocol::ReferenceKindName(r.kind)});
    }

    if (const auto& certificate = s.Certificate())
        m_db->Query(
            "INSERT INTO certificates (session_id, number, file, sha256) "
            "VALUES ($1, $2, $3, $4)",
            {Text(id), certificate->number, certificate->file, record.certificateSha256});
    transaction.Commit();
    return id;
}

std::vector<DeviceSummary> HistoryStore::FindDevices(const std::string& text, int limit) {
    const std::string pattern = PrefixPattern(text);
    // A unit keeps the tags it had: its old tag finds it too.
    const auto rows = m_db->Query(
        "SELECT d.id, d.tag, d.serial, d.model, COUNT(s.id), MAX(s.started_at) "
        "FROM devices d LEFT JOIN sessions s ON s.device_id = d.id "
        "WHERE lower(d.tag) LIKE $1 ESCAPE '\\' OR lower(d.serial) LIKE $1 ESCAPE '\\' "
        "OR d.id IN (SELECT device_id FROM sessions WHERE lower(tag) LIKE $1 ESCAPE '\\') "
        "GROUP BY d.id, d.tag, d.serial, d.model ORDER BY d.tag, d.serial LIMIT $2",
        {pattern, std::to_string(limit)});
    std::vector<DeviceSummary> devices;
    for (const Row& row : rows)
        devices.push_back({Integer(row, 0), Get(row, 1), Get(row, 2), Get(row, 3),
                           static_cast<int>(Integer(row, 4)), Get(row, 5)});
    return devices;
}

std::vector<SessionSummary> HistoryStore::Summaries(const std::string& where,
                                                    const std::vector<Value>& params, int limit) {
    std::vector<Value> all = params;
    all.push_back(std::to_string(limit));
    const auto rows =
        m_db->Query(kSummaryColumns + where + " ORDER BY s.started_at DESC, s.id DESC LIMIT $" +
                        std::to_string(all.size()),
                    all);
    std::vector<SessionSummary> sessions;
    for (const Row& row : rows) sessions.push_back(SummaryOf(row));
    return sessions;
}

std::vector<SessionSummary> HistoryStore::Sessions(const SessionFilter& filter) {
    std::string where = "WHERE 1 = 1";
    std::vector<Value> params;
    if (filter.deviceId) {
        params.push_back(Text(*filter.deviceId));
        where += " AND s.device_id = $" + std::to_string(params.size());
    }
    if (!filter.tag.empty()) {
        params.push_back(filter.tag);
        where += " AND s.tag = $" + std::to_string(params.size());
    }
    if (!filter.since.empty()) {
        params.push_back(filter.since);
        where += " AND s.started_at >= $" + std::to_string(params.size());
    }
    return Summaries(where, params, filter.limit);
}

std::optional<SessionDetail> HistoryStore::Session(std::int64_t id) {
    const auto found = Summaries("WHERE s.id = $1", {Text(id)}, 1);
    if (found.empty()) return std::nullopt;
    SessionDetail detail;
    detail.summary = found[0];
    const std::vector<Value> key{Text(id)};
    for (const Row& row : m_db->Query("SELECT stage, register, word, shown FROM parameters "
                                      "WHERE session_id = $1 ORDER BY stage DESC, register",
                                      key))
        detail.parameters.push_back(
            {Get(row, 0), static_cast<int>(Integer(row, 1)),
             row[2] ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(Integer(row, 2)))
                    : std::nullopt,
             Get(row, 3)});
    for (const Row& row : m_db->Query("SELECT written_at, register, old_value, new_value, "
                                      "outcome FROM writes WHERE session_id = $1 ORDER BY seq",
                                      key))
        detail.writes.push_back({Get(row, 0), static_cast<int>(Integer(row, 1)), Get(row, 2),
                                 Get(row, 3), Get(row, 4)});
    for (const Row& v : m_db->Query("SELECT id, stage, output, lower_limit, upper_limit, "
                                    "tolerance FROM verifications WHERE session_id = $1 "
                                    "ORDER BY stage DESC",
                                    key)) {
        VerificationRun run;
        run.stage = protocol::ParseStageName(Get(v, 1)).value_or(VerificationStage::AsFound);
        run.plan.output =
            protocol::ParseSignalName(Get(v, 2)).value_or(protocol::OutputSignal::Current4To20mA);
        run.plan.lower = Real(v, 3);
        run.plan.upper = Real(v, 4);
        run.plan.tolerancePercent = Real(v, 5);
        run.plan.percents.clear();
        for (const Row& p : m_db->Query("SELECT percent, applied, expected, measured, error, "
                                        "pass FROM points WHERE verification_id = $1 ORDER BY seq",
                                        {Get(v, 0)})) {
            run.plan.percents.push_back(Real(p, 0));
            run.points.push_back(
                {Real(p, 0), Real(p, 1), Real(p, 2), Real(p, 3), Real(p, 4), True(p, 5)});
        }
        detail.runs.push_back(std::move(run));
    }
    for (const Row& row :
         m_db->Query("SELECT i.name, i.model, i.serial, i.calibrated_until, si.kind "
                     "FROM session_instruments si JOIN instruments i ON i.id = si.instrument_id "
                     "WHERE si.session_id = $1 ORDER BY i.name",
                     key))
        detail.references.push_back({Get(row, 0), Get(row, 1), Get(row, 2), Get(row, 3),
                                     protocol::ParseReferenceKind(Get(row, 4))
                                         .value_or(protocol::ReferenceKind::OutputMeter)});
    const auto events = m_db->Query("SELECT events FROM sessions WHERE id = $1", key);
    detail.events = Get(events.at(0), 0);
    return detail;
}

void HistoryStore::SetDueInterval(const std::string& model, int months) {
    WriteTransaction transaction(*m_db);
    m_db->Query(
        "INSERT INTO due_intervals (model, months) VALUES ($1, $2) "
        "ON CONFLICT (model) DO UPDATE SET months = excluded.months",
        {model, std::to_string(months)});
    transaction.Commit();
}

int HistoryStore::DueInterval(const std::string& model) {
    const auto rows = m_db->Query("SELECT months FROM due_intervals WHERE model = $1", {model});
    return rows.empty() ? kDefaultDueMonths : static_cast<int>(Integer(rows[0], 0));
}

std::vector<DueDevice> HistoryStore::Due(const std::string& today, int days) {
    const std::string horizon = AddDays(today, days);
    const auto rows = m_db->Query(
        "SELECT d.id, d.tag, d.serial, d.model, COUNT(s.id), MAX(s.started_at), "
        "COALESCE(MAX(i.months), $1) "
        "FROM devices d JOIN sessions s ON s.device_id = d.id "
        "JOIN certificates c ON c.session_id = s.id "
        "LEFT JOIN due_intervals i ON i.model = d.model "
        "GROUP BY d.id, d.tag, d.serial, d.model",
        {std::to_string(kDefaultDueMonths)});
    std::vector<DueDevice> due;
    for (const Row& row : rows) {
        DueDevice d;
        d.device = {Integer(row, 0),
                    Get(row, 1),
                    Get(row, 2),
                    Get(row, 3),
                    static_cast<int>(Integer(row, 4)),
                    Get(row, 5)};
        d.lastCalibrated = d.device.lastSession.substr(0, 10);
        d.months = static_cast<int>(Integer(row, 6));
        d.due = AddMonths(d.lastCalibrated, d.months);
        if (!d.due.empty() && d.due <= horizon) due.push_back(std::move(d));
    }
    std::sort(due.begin(), due.end(), [](const DueDevice& a, const DueDevice& b) {
        return std::tie(a.due, a.device.tag) < std::tie(b.due, b.device.tag);
    });
    return due;
}

}  // namespace history
