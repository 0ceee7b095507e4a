#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "cli/apply_words.h"
#include "cli/backup_file.h"
#include "cli/commands.h"
#include "cli/impl/platform.h"
#include "cli/stop_signal.h"
#include "cli/text.h"
#include "protocol/session_journal.h"

namespace cli {

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

// The units' identities as they come: a line "PORT TAG SERIAL" each on
// standard input (a barcode scanner types them), or counted up from
// --serial-from. Each station takes the next one for its port.
class Identities {
public:
    Identities(const RunSettings& settings, const CommissionOptions& options)
        : m_settings(settings),
          m_verify(options.verify),
          m_next(options.serialFrom),
          m_left(options.units) {}

    // "PORT TAG SERIAL" is a unit, "PORT READING" a meter's reading for the
    // unit under verification there.
    void ReadInput() {
        std::string line;
        while (ReadInputLine(line)) {
            std::istringstream words(line);
            std::string port, tag, serial;
            words >> port >> tag >> serial;
            if (port.empty()) continue;
            std::lock_guard lock(m_mutex);
            const bool reading = serial.empty() && !tag.empty();
            if (!m_queues.count(port) || (reading ? !m_verify : Counting())) {
                m_settings.console->Error("\"" + line + "\": " +
                                          (!m_queues.count(port)
                                               ? "no station on port " + port + "; give "
                                               : "not expected here; give ") +
                                          (Counting() ? "PORT READING"
                                           : m_verify ? "PORT TAG SERIAL or PORT READING"
                                                      : "PORT TAG SERIAL"));
                continue;
            }
            if (reading)
                m_readings[port].push_back(tag);
            else
                m_queues[port].push_back({tag, serial, ""});
            m_changed.notify_all();
        }
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }

    void AddStation(const std::string& port) {
        m_queues[port];
        m_readings[port];
    }

    // Whether another unit may come to `port`.
    bool MoreFor(const std::string& port) {
        std::lock_guard lock(m_mutex);
        if (Counting()) return m_left != 0;
        return !m_ended || !m_queues[port].empty();
    }

    // The next unit's identity; nothing when there will be none.
    std::optional<protocol::DeviceIdentity> Next(const std::string& port) {
        std::unique_lock lock(m_mutex);
        if (Counting()) {
            if (m_left == 0) return std::nullopt;
            if (m_left > 0) --m_left;
            const std::string serial = std::to_string(m_next++);
            return protocol::DeviceIdentity{serial, serial, ""};
        }
        return Take(lock, m_queues[port]);
    }

    bool Counting() const { return m_next >= 0; }

    // The next reading typed for `port`; nothing once the input ended or a
    // stop was asked for.
    std::optional<std::string> NextReading(const std::string& port) {
        std::unique_lock lock(m_mutex);
        return Take(lock, m_readings[port]);
    }

private:
    // The front of `queue` once there is one; nothing once the input ended
    // or a stop was asked for. The stop signal is polled: a condition
    // variable does not hear it.
    template <typename T>
    std::optional<T> Take(std::unique_lock<std::mutex>& lock, std::deque<T>& queue) {
        while (queue.empty() && !m_ended && !StopRequested()) m_changed.wait_for(lock, 100ms);
        if (queue.empty()) return std::nullopt;
        T front = std::move(queue.front());
        queue.pop_front();
        return front;
    }

    const RunSettings& m_settings;
    const bool m_verify;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, std::deque<protocol::DeviceIdentity>> m_queues;
    std::map<std::string, std::deque<std::string>> m_readings;
    bool m_ended = false;
    long long m_next;
    long long m_left;  // units still to count up; negative: no end
};

struct Unit {
    std::string port;
    protocol::DeviceIdentity identity;
    bool passed = false;
    std::string category;  // why it failed, in short: "not confirmed", "refused", ...
    std::string reason;    // the same with the details
    int exitCode = kExitOk;
    int written = 0;
    std::optional<double> worstError;  // of a complete verification, % of span
    std::chrono::milliseconds took{0};
};

struct Summary {
    std::mutex mutex;
    int passed = 0;
    std::map<std::string, int> failedBy;  // by reason category
    int exitCode = kExitOk;
};

// The as-left verification of a unit just written: each point's reading
// from the station's lines on standard input.
protocol::VerificationRun VerifyUnit(DeviceSession& session, protocol::VerificationPlan plan,
                                     const protocol::DeviceIdentity& identity,
                                     Identities& identities, Console& console,
                                     std::string& problem) {
    const RegisterWords words = session.Words();
    problem = SetRange(plan, words);
    if (!problem.empty()) return {protocol::VerificationStage::AsLeft, plan, {}};
    const std::string unit = RangeUnit(words);
    const bool asking = StandardInputIsTerminal();
    PointSource source;
    source.next = [&](std::size_t i) {
        if (asking)
            console.Error(session.Port() + " " + identity.tag + ": " + PointPrompt(plan, i, unit) +
                          ", then type " + session.Port() + " and the meter's reading");
        return identities.NextReading(session.Port());
    };
    source.refused = [&](const std::string& line) {
        console.Error(session.Port() + ": \"" + line +
                      "\" is not a reading: give a number, or applied,measured");
        return true;  // the rig sends the next line
    };
    const protocol::VerificationRun run =
        ReadPoints(plan, protocol::VerificationStage::AsLeft, source);
    if (!run.Complete())
        problem = std::to_string(run.points.size()) + " of " +
                  std::to_string(plan.percents.size()) + " points read before the input ended";
    return run;
}

// `start`: when the connect request that found the unit went out.
Unit Commission(DeviceSession& session, const protocol::DeviceIdentity& identity,
                const protocol::Configuration& templ, const RunSettings& settings,
                const std::optional<protocol::VerificationPlan>& plan, Identities& identities,
                std::chrono::steady_clock::time_point start) {
    Unit unit;
    unit.port = session.Port();
    unit.identity = identity;
    protocol::SessionContext context = settings.context;
    context.identity = identity;
    session.StartRecord(context, OpenJournal(settings, identity));
    // From here Ctrl-C waits for the unit: applied, read back and recorded.
    session.HoldStop(true);

    const auto fail = [&](std::string category, std::string detail, int code) {
        unit.reason = category + (detail.empty() ? "" : ": " + detail);
        unit.category = category;
        unit.exitCode = code;
    };
    const std::vector<int> unread = FailedRegisters(session.Words(), protocol::kRegisterCount);
    if (!unread.empty()) {
        fail("no answer", RegisterList(unread) + " did not answer; nothing was written",
             kExitNoAnswer);
    } else {
        const ApplyResult applied = ApplyWords(session, templ.words, false, false);
        for (const Change& c : applied.changes)
            unit.written += c.fate == Fate::ReadBack || c.fate == Fate::ReadBackDiffers ||
                            c.fate == Fate::ReadBackFailed || c.fate == Fate::Confirmed;
        if (applied.Done() && plan) {
            std::string problem;
            const protocol::VerificationRun run =
                VerifyUnit(session, *plan, identity, identities, *settings.console, problem);
            session.Record().RecordVerification(run);
            if (!problem.empty()) {
                fail("not verified", problem, kExitUsage);
            } else {
                unit.worstError = run.WorstError();
                unit.passed = run.Passed();
                if (!unit.passed)
                    fail("out of tolerance",
                         "largest error " + Fixed(run.WorstError(), 3) + " % of span",
                         kExitOutOfTolerance);
            }
        } else if (applied.Done()) {
            unit.passed = true;
        } else {
            for (const Change& c : applied.changes) {
                if (c.fate != Fate::NotConfirmed) continue;
                const bool refused = c.why.find("refused") != std::string::npos;
                fail(
                    session.PortLost() ? "port lost"
                    : refused          ? "refused"
                                       : "not confirmed",
                    std::string(Parameters()[static_cast<std::size_t>(c.index)].name) + " " + c.why,
                    refused ? kExitRefused : kExitNotConfirmed);
                break;
            }
            if (unit.passed == false && unit.reason.empty())
                fail("read back differs", RegisterList(applied.differing), kExitNotConfirmed);
        }
    }
    session.Record().Finish(protocol::WallClock::now());
    session.HoldStop(false);
    unit.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return unit;
}

std::string UnitLine(const Unit& u, bool json) {
    if (json)
        return Json{
            {"format", "corvexa-commission-unit"},
            {"port", u.port},
            {"tag", u.identity.tag},
            {"serial", u.identity.serial},
            {"passed", u.passed},
            {"reason", u.passed ? Json(nullptr) : Json(u.category)},
            {"error", u.passed ? Json(nullptr) : Json(u.reason)},
            {"written", u.written},
            {"worst_error_percent_of_span", u.worstError ? Json(*u.worstError) : Json(nullptr)},
            {"seconds", static_cast<double>(u.took.count()) / 1000.0}}
            .dump();
    return u.port + "  " + u.identity.tag + "  " + u.identity.serial + "  " +
           (u.passed ? "pass" : "FAIL: " + u.reason) + "  (" + std::to_string(u.written) +
           " written, " +
           (u.passed && u.worstError ? "largest error " + Fixed(*u.worstError, 3) + " %, " : "") +
           std::to_string(u.took.count()) + " ms)";
}

// One station: a device on its port, commissioned, recorded, then taken
// away before the next one is.
void RunStation(const RunSettings& settings, const std::string& port,
                const protocol::Configuration& templ,
                const std::optional<protocol::VerificationPlan>& plan, Identities& identities,
                Summary& summary, std::mutex& recording) {
    Console& console = *settings.console;
    const auto count = [&](const Unit& u) {
        std::lock_guard lock(summary.mutex);
        if (u.passed) {
            ++summary.passed;
        } else {
            ++summary.failedBy[u.category];
            if (summary.exitCode == kExitOk) summary.exitCode = u.exitCode;
        }
    };
    while (!StopRequested() && identities.MoreFor(port)) {
        // Wait for a device: a ConnectRequest each attempt until one answers.
        DeviceSession session(port, true, settings.trace, settings.line);
        bool portProblem = false;
        if (const auto problem = session.Open(portProblem)) {
            console.Error(*problem);
            if (settings.json) console.Print(PortErrorJson(port, *problem));
            std::lock_guard lock(summary.mutex);
            ++summary.failedBy["port"];
            if (summary.exitCode == kExitOk) summary.exitCode = kExitPort;
            return;
        }
        auto found = std::chrono::steady_clock::now();
        while (!StopRequested() && identities.MoreFor(port) && !session.PortLost() &&
               !session.Connect())
            found = std::chrono::steady_clock::now();
        if (StopRequested() || session.PortLost() || !identities.MoreFor(port)) {
            if (session.PortLost()) console.Error(port + ": the port was lost; the station stops");
            return;
        }
        const auto identity = identities.Next(port);
        if (!identity) return;
        const Unit unit = Commission(session, *identity, templ, settings, plan, identities, found);
        session.End();  // LinkEnd: the unit is done
        console.Print(UnitLine(unit, settings.json));
        count(unit);
        {
            std::lock_guard lock(recording);
            RecordHistory(settings);
        }
        // The same unit must go before the next is taken for a new one.
        if (!identities.MoreFor(port)) return;
        DeviceSession probe(port, true, settings.trace, settings.line);
        if (probe.Open(portProblem)) return;
        while (!StopRequested() && probe.StillAnswers()) std::this_thread::sleep_for(1s);
    }
}

}  // namespace

int RunCommission(const RunSettings& settings, const CommissionOptions& options) {
    Console& console = *settings.console;
    protocol::Configuration templ;
    if (std::string problem = protocol::LoadConfiguration(options.templateFile, templ);
        !problem.empty()) {
        console.Error(problem);
        return kExitUsage;
    }
    if (const auto refusals = Refusals(templ.words, false, false); !refusals.empty()) {
        for (const std::string& refused : refusals)
            console.Error(options.templateFile + ": " + refused);
        console.Error(options.templateFile + ": nothing was written");
        return kExitUsage;
    }
    std::optional<protocol::VerificationPlan> plan;
    if (options.verify) {
        auto planned = PlanOf(options.verification);
        if (const auto* refused = std::get_if<std::string>(&planned)) {
            console.Error(*refused);
            return kExitUsage;
        }
        plan = std::get<protocol::VerificationPlan>(planned);
    }
    Identities identities(settings, options);
    for (const std::string& port : settings.ports) identities.AddStation(port);
    std::thread input;
    if (!identities.Counting() || options.verify)
        input = std::thread([&] { identities.ReadInput(); });

    Summary summary;
    std::mutex recording;
    std::vector<std::thread> stations;
    for (const std::string& port : settings.ports)
        stations.emplace_back(
            [&, port] { RunStation(settings, port, templ, plan, identities, summary, recording); });
    for (std::thread& t : stations) t.join();
    // Standard input ends by itself, or at the stop signal the reader polls.
    if (input.joinable()) input.join();

    int failed = 0;
    std::string reasons;
    for (const auto& [reason, n] : summary.failedBy) {
        failed += n;
        reasons += (reasons.empty() ? "" : ", ") + std::to_string(n) + " " + reason;
    }
    if (settings.json)
        console.Print(Json{{"format", "corvexa-commission-summary"},
                           {"summary", true},
                           {"passed", summary.passed},
                           {"failed", failed},
                           {"failed_by", summary.failedBy}}
                          .dump());
    else
        console.Print(std::to_string(summary.passed) + " passed, " + std::to_string(failed) +
                      " failed" + (reasons.empty() ? "" : " (" + reasons + ")"));
    return summary.exitCode;
}

}  // namespace cli
