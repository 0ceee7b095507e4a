#include <variant>

#include "cli/commands.h"
#include "protocol/value_check.h"

namespace cli {

namespace {

using protocol::OperationCode;

struct Result {
    std::string parameter;
    std::string value;             // as typed
    nlohmann::ordered_json shown;  // as a number, or a code's name
    std::uint16_t word = 0;
    bool ok = false;
    int attempts = 0;
    std::string error;
};

// Refusals that need the device's values: the scaled fields' range and the
// order of the two limits after the writes. Empty when all may be sent.
std::string CheckAgainstDevice(std::vector<Assignment>& assignments, const RegisterWords& words,
                               bool force) {
    std::optional<std::uint16_t> lower = words[protocol::kLowerLimitIndex];
    std::optional<std::uint16_t> upper = words[protocol::kUpperLimitIndex];
    for (Assignment& a : assignments) {
        if (!a.word) {
            const auto decimals = words[protocol::kDecimalsIndex];
            if (!decimals) return "";  // reported by the caller as no answer
            if (std::string refused = Resolve(a, *decimals, words[protocol::kUnitIndex]);
                !refused.empty())
                return refused;
        }
        if (a.parameter->index == protocol::kLowerLimitIndex) lower = a.word;
        if (a.parameter->index == protocol::kUpperLimitIndex) upper = a.word;
    }
    if (!force && lower && upper && protocol::LimitsInverted(*lower, *upper)) {
        return "lower-limit=" + std::to_string(static_cast<std::int16_t>(*lower)) +
               " refused: not below upper-limit " +
               std::to_string(static_cast<std::int16_t>(*upper)) +
               "; add --force to send it anyway";
    }
    return "";
}

bool NeedsDecimals(const std::vector<Assignment>& assignments) {
    for (const Assignment& a : assignments) {
        if (!a.word) return true;
    }
    return false;
}

}  // namespace

int RunWrite(const RunSettings& settings, const std::vector<std::string>& arguments, bool force) {
    // Everything that can be refused without the device is refused before
    // any port is opened.
    std::vector<Assignment> parsed;
    for (const std::string& argument : arguments) {
        auto result = ParseAssignment(argument);
        if (const auto* refused = std::get_if<std::string>(&result)) {
            settings.console->Error(*refused);
            return kExitUsage;
        }
        parsed.push_back(std::get<Assignment>(result));
    }

    return RunOnPorts(settings, false, [&](DeviceSession& session) {
        std::vector<Assignment> assignments = parsed;
        const RegisterWords words = session.Words();
        if (NeedsDecimals(assignments) && !words[protocol::kDecimalsIndex]) {
            settings.console->Error(session.Port() +
                                    ": register 14 (decimal places) did not answer, so the value "
                                    "cannot be scaled; nothing was written; try again");
            return kExitNoAnswer;
        }
        if (std::string refused = CheckAgainstDevice(assignments, words, force); !refused.empty()) {
            session.NoteRefused(refused + "; nothing was written");
            settings.console->Error(session.Port() + ": " + refused + "; nothing was written");
            return kExitUsage;
        }

        std::vector<Result> results;
        bool failed = false;
        std::string refusal;  // the device's words, when it refused a write
        for (const Assignment& a : assignments) {
            Result r{a.parameter->name, a.text, nullptr, *a.word, false, 0, ""};
            RegisterWords after = words;
            after[static_cast<std::size_t>(a.parameter->index)] = *a.word;
            r.shown = ShownJson(a.parameter->index, after);
            if (failed) {
                r.error = "not sent: an earlier write was not confirmed";
            } else {
                const auto outcome = session.Write(*a.parameter->write, *a.word);
                r.ok = outcome.ok;
                r.attempts = outcome.attempts;
                if (!outcome.ok) {
                    r.error = NotWrittenText(outcome);
                    if (outcome.failure == protocol::ExchangeFailure::Refused)
                        refusal = "the device refused " + std::string(a.parameter->name) + ": " +
                                  protocol::RefusalWords(outcome.exception);
                    failed = true;
                }
            }
            results.push_back(std::move(r));
        }

        if (settings.json) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (const Result& r : results) {
                list.push_back({{"parameter", r.parameter},
                                {"value", r.shown},
                                {"word", r.word},
                                {"ok", r.ok},
                                {"attempts", r.attempts},
                                {"error", r.ok ? nlohmann::ordered_json(nullptr)
                                               : nlohmann::ordered_json(r.error)}});
            }
            settings.console->Print(nlohmann::ordered_json{
                {"format", "corvexa-write"},
                {"port", session.Port()},
                {"results", list}}.dump());
        } else {
            std::vector<std::vector<std::string>> rows{
                {"parameter", "value", "result", "attempts"}};
            for (const Result& r : results) {
                rows.push_back(
                    {r.parameter, r.value, r.ok ? "written" : r.error, std::to_string(r.attempts)});
            }
            settings.console->Print(session.Port() + "\n" + AlignedTable(rows));
        }
        if (!failed) return kExitOk;
        if (!refusal.empty()) {
            settings.console->Error(session.Port() + ": " + refusal +
                                    "; nothing after it was sent");
            return kExitRefused;
        }
        settings.console->Error(session.Port() +
                                ": a write was not confirmed by the device; read the device to see "
                                "what it holds, then write again");
        return kExitNotConfirmed;
    });
}

}  // namespace cli
