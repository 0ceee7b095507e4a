#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/impl/platform.h"
#include "history/journal_flush.h"
#include "protocol/session_journal.h"

namespace cli {

namespace {

using history::SessionSummary;
using Json = nlohmann::ordered_json;

std::string RunText(const std::optional<history::RunSummary>& run) {
    if (!run) return "-";
    if (!run->complete) return "incomplete";
    char worst[32];
    std::snprintf(worst, sizeof worst, "%.3f", run->worstError);
    return std::string(run->passed ? "pass" : "FAIL") + " " + worst + " %";
}

Json RunJson(const std::optional<history::RunSummary>& run) {
    if (!run) return nullptr;
    return {{"complete", run->complete},
            {"passed", run->passed},
            {"worst_error_percent_of_span", run->worstError}};
}

Json SummaryJson(const SessionSummary& s) {
    return {{"format", "corvexa-history-session"},
            {"session", s.id},
            {"started", s.started},
            {"ended", s.ended.empty() ? Json(nullptr) : Json(s.ended)},
            {"tag", s.tag},
            {"serial", s.serial},
            {"model", s.model},
            {"technician", s.technician},
            {"bench", s.bench},
            {"port", s.port},
            {"software", s.software},
            {"as_found", RunJson(s.asFound)},
            {"as_left", RunJson(s.asLeft)},
            {"certificate", s.certificate.empty() ? Json(nullptr) : Json(s.certificate)},
            {"certificate_file", s.certificateFile},
            {"certificate_sha256", s.certificateSha256}};
}

Json DetailJson(const history::SessionDetail& d) {
    Json j = SummaryJson(d.summary);
    j["format"] = "corvexa-history-detail";
    Json parameters = Json::array();
    for (const history::StoredParameter& p : d.parameters)
        parameters.push_back({{"stage", p.stage},
                              {"register", p.reg},
                              {"word", p.word ? Json(*p.word) : Json(nullptr)},
                              {"shown", p.shown}});
    Json writes = Json::array();
    for (const history::StoredWrite& w : d.writes)
        writes.push_back({{"time", w.at},
                          {"register", w.reg},
                          {"old", w.oldValue},
                          {"new", w.newValue},
                          {"outcome", w.outcome}});
    Json runs = Json::array();
    for (const protocol::VerificationRun& r : d.runs) {
        Json points = Json::array();
        for (const protocol::PointResult& p : r.points)
            points.push_back({{"percent", p.percent},
                              {"applied", p.applied},
                              {"expected", p.expected},
                              {"measured", p.measured},
                              {"error_percent_of_span", p.errorPercent},
                              {"pass", p.pass}});
        runs.push_back({{"stage", protocol::StageName(r.stage)},
                        {"output", protocol::SignalName(r.plan.output)},
                        {"lower", r.plan.lower},
                        {"upper", r.plan.upper},
                        {"tolerance_percent_of_span", r.plan.tolerancePercent},
                        {"points", points},
                        {"passed", r.Passed()}});
    }
    Json references = Json::array();
    for (const protocol::ReferenceInstrument& r : d.references)
        references.push_back({{"name", r.name},
                              {"model", r.model},
                              {"serial", r.serial},
                              {"calibrated_until", r.calibratedUntil},
                              {"kind", protocol::ReferenceKindName(r.kind)}});
    j["parameters"] = parameters;
    j["writes"] = writes;
    j["verifications"] = runs;
    j["references"] = references;
    return j;
}

// `none` stands where a session has no verification or certificate.
std::vector<std::string> SummaryRow(const SessionSummary& s, const std::string& none = "-") {
    const auto run = [&](const std::optional<history::RunSummary>& r) {
        return r ? RunText(r) : none;
    };
    return {std::to_string(s.id),
            s.started,
            s.tag,
            s.serial,
            s.model,
            s.technician,
            run(s.asFound),
            run(s.asLeft),
            s.certificate.empty() ? none : s.certificate};
}
const std::vector<std::string> kSummaryHead{"session",  "started (UTC)", "tag",
                                            "serial",   "model",         "technician",
                                            "as found", "as left",       "certificate"};

// One CSV field, quoted; a leading = + - @ would make a spreadsheet
// formula of it, so it is set off with a quote mark.
std::string CsvField(const std::string& text) {
    std::string field = "\"";
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos)
        field += '\'';
    for (const char c : text) field += c == '"' ? std::string("\"\"") : std::string(1, c);
    return field + "\"";
}

int List(history::HistoryStore& store, const RunSettings& settings, const HistoryOptions& o) {
    history::SessionFilter filter;
    filter.tag = settings.context.identity.tag;
    filter.since = o.since;
    const auto sessions = store.Sessions(filter);
    if (settings.json) {
        for (const SessionSummary& s : sessions) settings.console->Print(SummaryJson(s).dump());
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows{kSummaryHead};
    for (const SessionSummary& s : sessions) rows.push_back(SummaryRow(s));
    settings.console->Print(sessions.empty() ? "no sessions" : AlignedTable(rows));
    return kExitOk;
}

int Show(history::HistoryStore& store, const RunSettings& settings, const HistoryOptions& o) {
    const auto detail = store.Session(o.session);
    if (!detail) {
        settings.console->Error("no session " + std::to_string(o.session) +
                                " in the history; see corvexa-cli history list");
        return kExitUsage;
    }
    if (settings.json) {
        settings.console->Print(DetailJson(*detail).dump());
        return kExitOk;
    }
    const SessionSummary& s = detail->summary;
    std::string text = "session " + std::to_string(s.id) + ": " + s.tag + " (serial " + s.serial +
                       ", model " + s.model + "), " + s.started + " to " +
                       (s.ended.empty() ? "(never finished)" : s.ended) + ", " + s.technician +
                       " on " + s.bench + " " + s.port + ", " + s.software + "\ncertificate: " +
                       (s.certificate.empty() ? "none"
                                              : s.certificate + " " + s.certificateFile +
                                                    " sha256 " + s.certificateSha256);
    std::vector<std::vector<std::string>> rows{{"register", "as found", "as left"}};
    for (int reg = protocol::kFirstRegister;
         reg < protocol::kFirstRegister + protocol::kRegisterCount; ++reg) {
        std::string found = "-", left = "-";
        for (const history::StoredParameter& p : detail->parameters)
            if (p.reg == reg)
                (p.stage == "as-left" ? left : found) = p.word ? p.shown : "(not read)";
        rows.push_back({std::to_string(reg), found, left});
    }
    text += "\n" + AlignedTable(rows);
    if (!detail->writes.empty()) {
        std::vector<std::vector<std::string>> w{
            {"time (UTC)", "register", "old", "new", "outcome"}};
        for (const history::StoredWrite& x : detail->writes)
            w.push_back({x.at, std::to_string(x.reg), x.oldValue, x.newValue, x.outcome});
        text += "\nwrites:\n" + AlignedTable(w);
    }
    for (const protocol::VerificationRun& r : detail->runs)
        text += "\n" + protocol::StageName(r.stage) + " verification: " +
                RunText(history::RunSummary{r.Complete(), r.Passed(), r.WorstError()}) +
                " of span, " + std::to_string(r.points.size()) + " points";
    settings.console->Print(text);
    return kExitOk;
}

int Export(history::HistoryStore& store, const RunSettings& settings, const HistoryOptions& o) {
    history::SessionFilter filter;
    filter.tag = settings.context.identity.tag;
    filter.since = o.since;
    filter.limit = 1'000'000;
    const auto sessions = store.Sessions(filter);
    const std::string part = o.file + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (o.csv) {
            std::string line;
            for (const std::string& h : kSummaryHead)
                line += (line.empty() ? "" : ",") + CsvField(h);
            out << line << "\r\n";
            for (const SessionSummary& s : sessions) {
                line.clear();
                for (const std::string& f : SummaryRow(s, ""))
                    line += (line.empty() ? "" : ",") + CsvField(f);
                out << line << "\r\n";
            }
        } else {
            Json all = Json::array();
            for (const SessionSummary& s : sessions)
                if (const auto d = store.Session(s.id)) all.push_back(DetailJson(*d));
            out << all.dump(1) << "\n";
        }
        out.flush();
        if (!out) {
            std::remove(part.c_str());
            settings.console->Error(o.file + " could not be written");
            return kExitUsage;
        }
    }
    if (std::rename(part.c_str(), o.file.c_str()) != 0) {
        std::remove(part.c_str());
        settings.console->Error(o.file + " could not be written");
        return kExitUsage;
    }
    settings.console->Print(std::to_string(sessions.size()) + " sessions written to " + o.file);
    return kExitOk;
}

int Due(history::HistoryStore& store, const RunSettings& settings, const HistoryOptions& o) {
    const std::time_t now = std::time(nullptr);
    const std::tm utc = UtcTime(now);
    char today[16];
    std::strftime(today, sizeof today, "%Y-%m-%d", &utc);
    const auto due = store.Due(today, o.days);
    if (settings.json) {
        for (const history::DueDevice& d : due)
            settings.console->Print(Json{
                {"format", "corvexa-history-due"},
                {"tag", d.device.tag},
                {"serial", d.device.serial},
                {"model", d.device.model},
                {"last_calibrated", d.lastCalibrated},
                {"interval_months", d.months},
                {"due", d.due},
                {"overdue",
                 d.due < today}}.dump());
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows{
        {"due", "tag", "serial", "model", "last calibrated", "interval"}};
    for (const history::DueDevice& d : due)
        rows.push_back({d.due + (d.due < today ? " (overdue)" : ""), d.device.tag, d.device.serial,
                        d.device.model, d.lastCalibrated, std::to_string(d.months) + " months"});
    settings.console->Print(due.empty()
                                ? "no device is due within " + std::to_string(o.days) + " days"
                                : AlignedTable(rows));
    return kExitOk;
}

}  // namespace

std::string DefaultDatabase() {
    const std::string data = DataFolder();
    return data.empty() ? data
                        : protocol::PathText(std::filesystem::u8path(data) / "history.sqlite");
}

void RecordHistory(const RunSettings& settings) {
    const std::string folder = JournalFolder();
    if (folder.empty() || settings.database.empty()) return;
    const history::FlushResult result = history::FlushJournals(
        settings.database, std::filesystem::u8path(folder), history::BenchName());
    if (!result.error.empty())
        settings.console->Error(std::to_string(result.waiting) + " finished session(s) wait in " +
                                folder + " for the history database: " + result.error);
}

int RunHistory(const RunSettings& settings, const HistoryOptions& options) {
    Console& console = *settings.console;
    try {
        const auto store = history::HistoryStore::Open(settings.database);
        // What waits in the journal goes in first, so the answer is whole.
        const std::string folder = JournalFolder();
        if (!folder.empty())
            history::FlushJournals(*store, std::filesystem::u8path(folder), history::BenchName());
        if (options.action == "list") return List(*store, settings, options);
        if (options.action == "show") return Show(*store, settings, options);
        if (options.action == "export") return Export(*store, settings, options);
        if (options.action == "interval") {
            store->SetDueInterval(options.model, options.months);
            console.Print(options.model + ": due " + std::to_string(options.months) +
                          " months after its latest certificate");
            return kExitOk;
        }
        return Due(*store, settings, options);
    } catch (const history::DatabaseError& e) {
        console.Error("the history database could not be used: " + std::string(e.what()));
        if (settings.json)
            console.Print(
                Json{{"format", "corvexa-error"}, {"error", "history database"}, {"text", e.what()}}
                    .dump());
        return kExitDatabase;
    }
}

}  // namespace cli
