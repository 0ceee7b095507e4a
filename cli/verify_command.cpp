#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <variant>

#include "cli/commands.h"
#include "cli/impl/platform.h"
#include "cli/stop_signal.h"
#include "cli/text.h"
#include "protocol/register_table.h"
#include "protocol/verification.h"

namespace cli {

namespace {

using protocol::VerificationPlan;
using protocol::VerificationRun;

// Six decimals are more than any meter gives; the rest is binary noise.
double Rounded(double value) {
    return std::round(value * 1e6) / 1e6;
}

nlohmann::ordered_json RunJson(const std::string& port, const VerificationRun& run,
                               const std::string& unit, const protocol::DeviceIdentity& identity) {
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (const protocol::PointResult& p : run.points)
        points.push_back({{"percent", p.percent},
                          {"applied", p.applied},
                          {"expected", Rounded(p.expected)},
                          {"measured", p.measured},
                          {"error_percent_of_span", Rounded(p.errorPercent)},
                          {"pass", p.pass}});
    return {{"format", "corvexa-verify"},
            {"port", port},
            {"tag", identity.tag},
            {"serial", identity.serial},
            {"model", identity.model},
            {"stage", protocol::StageName(run.stage)},
            {"output", protocol::SignalName(run.plan.output)},
            {"lower", run.plan.lower},
            {"upper", run.plan.upper},
            {"unit", unit},
            {"tolerance_percent_of_span", run.plan.tolerancePercent},
            {"points", points},
            {"complete", run.Complete()},
            {"passed", run.Passed()}};
}

std::string RunTable(const std::string& port, const VerificationRun& run, const std::string& unit) {
    const std::string outputUnit =
        run.plan.output == protocol::OutputSignal::Voltage0To10V ? "V" : "mA";
    std::vector<std::vector<std::string>> rows{
        {"point", "applied", "expected " + outputUnit, "measured", "error % of span", "result"}};
    for (const protocol::PointResult& p : run.points)
        rows.push_back({Shortest(p.percent) + " %", Shortest(p.applied) + unit,
                        Fixed(p.expected, 3), Shortest(p.measured), Fixed(p.errorPercent, 3),
                        p.pass ? "pass" : "FAIL"});
    return port + "  " + protocol::StageName(run.stage) + " verification, " +
           protocol::SignalName(run.plan.output) + ", range " + Shortest(run.plan.lower) + " to " +
           Shortest(run.plan.upper) + unit + ", tolerance " + Shortest(run.plan.tolerancePercent) +
           " % of span\n" + AlignedTable(rows) + "\n" + protocol::StageName(run.stage) + ": " +
           (run.Passed() ? "PASS" : "FAIL") + " (largest error " + Fixed(run.WorstError(), 3) +
           " % of span)";
}

// "applied,measured" or only the measured value (applied at the nominal input).
std::optional<std::pair<double, double>> ParsePointLine(const std::string& line, double nominal) {
    const auto comma = line.find(',');
    const auto number = [](const std::string& text) {
        return protocol::ParseReading(FromUtf8(text));
    };
    if (comma == std::string::npos) {
        const auto measured = number(line);
        if (!measured) return std::nullopt;
        return std::pair{nominal, *measured};
    }
    const auto applied = number(line.substr(0, comma));
    const auto measured = number(line.substr(comma + 1));
    if (!applied || !measured) return std::nullopt;
    return std::pair{*applied, *measured};
}

}  // namespace

std::variant<VerificationPlan, std::string> PlanOf(const VerifyOptions& options) {
    VerificationPlan plan;
    const auto signal = protocol::ParseSignalName(options.output);
    const auto percents = protocol::ParsePercents(options.points);
    const auto tolerance = protocol::ParseReading(FromUtf8(options.tolerance));
    const auto stage = protocol::ParseStageName(options.stage);
    if (!signal || !percents || !tolerance || !stage) {
        return !signal     ? "--output " + options.output + " refused: it takes 4-20mA or 0-10V"
               : !percents ? "--points " + options.points +
                                 " refused: give percentages of the range separated by commas, "
                                 "e.g. 0,25,50,75,100"
               : !tolerance ? "--tolerance " + options.tolerance + " refused: not a number"
                            : "--stage " + options.stage + " refused: it takes as-found or as-left";
    }
    plan.output = *signal;
    plan.percents = *percents;
    plan.tolerancePercent = *tolerance;
    // Everything but the span can be judged before a port is opened.
    plan.upper = plan.lower + 1;
    if (const auto problem = protocol::CheckPlan(plan); problem != protocol::PlanProblem::None)
        return "verification refused: " + ToUtf8(protocol::DescribePlanProblem(problem));
    return plan;
}

std::string SetRange(VerificationPlan& plan, const RegisterWords& words) {
    const auto lower = words[protocol::kLowerLimitIndex];
    const auto upper = words[protocol::kUpperLimitIndex];
    if (!lower || !upper)
        return "registers 16 and 17 (range limits) did not both answer; nothing was measured";
    plan.lower = protocol::ExactNumber(protocol::kLowerLimitIndex, *lower, 0);
    plan.upper = protocol::ExactNumber(protocol::kUpperLimitIndex, *upper, 0);
    if (const auto problem = protocol::CheckPlan(plan); problem != protocol::PlanProblem::None)
        return "verification refused: " + ToUtf8(protocol::DescribePlanProblem(problem));
    return {};
}

std::string RangeUnit(const RegisterWords& words) {
    if (const auto code = words[protocol::kUnitIndex])
        if (const std::string name = protocol::CodeName(protocol::CodeTable::Unit, *code);
            !name.empty())
            return " " + name;
    return {};
}

std::string PointPrompt(const VerificationPlan& plan, std::size_t index, const std::string& unit) {
    const double percent = plan.percents[index];
    return "point " + std::to_string(index + 1) + " of " + std::to_string(plan.percents.size()) +
           ": apply " + Shortest(percent) +
           " % = " + Shortest(protocol::NominalInput(plan, percent)) + unit;
}

VerificationRun ReadPoints(const VerificationPlan& plan, protocol::VerificationStage stage,
                           const PointSource& source) {
    VerificationRun run;
    run.stage = stage;
    run.plan = plan;
    for (std::size_t i = 0; i < plan.percents.size();) {
        const double percent = plan.percents[i];
        const double nominal = protocol::NominalInput(plan, percent);
        const std::optional<std::string> line = source.next(i);
        if (!line) break;
        const auto point = ParsePointLine(*line, nominal);
        if (!point) {
            if (source.refused(*line)) continue;
            break;
        }
        run.points.push_back(protocol::EvaluatePoint(plan, percent, point->first, point->second));
        ++i;
    }
    return run;
}

int RunVerify(const RunSettings& settings, const VerifyOptions& options) {
    Console& console = *settings.console;
    auto planned = PlanOf(options);
    if (const auto* refused = std::get_if<std::string>(&planned)) {
        console.Error(*refused);
        return kExitUsage;
    }
    VerificationPlan plan = std::get<VerificationPlan>(planned);
    const protocol::VerificationStage stage = *protocol::ParseStageName(options.stage);
    if (settings.ports.size() != 1) {
        console.Error("verify works on one port at a time: the readings come from one input");
        return kExitUsage;
    }

    return RunOnPorts(settings, false, [&](DeviceSession& session) {
        const RegisterWords words = session.Words();
        if (const std::string problem = SetRange(plan, words); !problem.empty()) {
            const bool unread =
                !words[protocol::kLowerLimitIndex] || !words[protocol::kUpperLimitIndex];
            console.Error(session.Port() + ": " + problem + (unread ? "; try again" : ""));
            return unread ? kExitNoAnswer : kExitUsage;
        }
        const std::string unit = RangeUnit(words);

        const bool asking = StandardInputIsTerminal();
        PointSource source;
        source.next = [&](std::size_t i) -> std::optional<std::string> {
            if (asking)
                console.Prompt(PointPrompt(plan, i, unit) +
                               ", then type the meter's reading (or applied,measured): ");
            std::string line;
            if (ReadInputLine(line)) return line;
            if (!StopRequested())
                console.Error(session.Port() + ": standard input ended after " + std::to_string(i) +
                              " of " + std::to_string(plan.percents.size()) +
                              " points; the verification is incomplete");
            return std::nullopt;
        };
        source.refused = [&](const std::string& line) {
            console.Error("\"" + line + "\" is not a reading: type a number, or applied,measured");
            return asking;  // typed by hand: ask again; from a file: stop
        };
        const VerificationRun run = ReadPoints(plan, stage, source);
        session.Record().RecordVerification(run);

        if (settings.json)
            console.Print(RunJson(session.Port(), run, unit.empty() ? "" : unit.substr(1),
                                  settings.context.identity)
                              .dump());
        else
            console.Print(RunTable(session.Port(), run, unit));
        if (!run.Complete()) return kExitUsage;
        return run.Passed() ? kExitOk : kExitOutOfTolerance;
    });
}

}  // namespace cli
