#include <cmath>
#include <variant>

#include "cli/commands.h"
#include "cli/text.h"
#include "protocol/output_trim.h"

namespace cli {

namespace {

using protocol::TrimProblem;

// The output word the trim sends, checked as `write` checks a typed value.
std::variant<Assignment, std::string> CheckedOutput(const char* name, std::uint16_t word) {
    return ParseAssignment(std::string(name) + "=" + std::to_string(word));
}

nlohmann::ordered_json WordsJson(std::uint16_t zero, std::uint16_t full) {
    return {{"zero-output", zero}, {"full-output", full}};
}

}  // namespace

int RunTrim(const RunSettings& settings, const TrimOptions& options) {
    const auto signal = protocol::ParseSignalName(options.signal);
    if (!signal) {
        settings.console->Error("--signal " + options.signal +
                                " refused: it takes 4-20mA or 0-10V");
        return kExitUsage;
    }
    const auto zero = protocol::ParseReading(FromUtf8(options.zero));
    const auto full = protocol::ParseReading(FromUtf8(options.full));
    const double nan = std::nan("");
    protocol::TrimRequest request{*signal, 0, 0, zero.value_or(nan), full.value_or(nan)};
    // The readings alone decide every refusal but a word out of range, so
    // those are refused before any port is opened.
    if (const TrimProblem problem = protocol::ComputeTrim(request).problem;
        problem != TrimProblem::None) {
        settings.console->Error("readings " + options.zero + " and " + options.full +
                                " refused: " + ToUtf8(protocol::DescribeTrimProblem(problem)) +
                                "; nothing was written");
        return kExitUsage;
    }

    return RunOnPorts(settings, false, [&](DeviceSession& session) {
        const RegisterWords words = session.Words();
        const auto oldZero = words[protocol::kZeroOutputIndex];
        const auto oldFull = words[protocol::kFullOutputIndex];
        if (!oldZero || !oldFull) {
            settings.console->Error(session.Port() +
                                    ": registers 22 and 23 (output words) did not both answer; "
                                    "nothing was written; try again");
            return kExitNoAnswer;
        }
        protocol::TrimRequest onDevice = request;
        onDevice.zeroWord = *oldZero;
        onDevice.fullWord = *oldFull;
        const protocol::TrimResult result = protocol::ComputeTrim(onDevice);
        if (!result.ok()) {
            const std::string refused =
                ToUtf8(protocol::DescribeTrimProblem(result.problem)) + "; nothing was written";
            session.NoteRefused(refused);
            settings.console->Error(session.Port() + ": " + refused);
            return kExitUsage;
        }

        std::string error;
        bool deviceRefused = false;
        if (!options.dryRun) {
            for (auto [name, word] : {std::pair{"zero-output", result.newZeroWord},
                                      std::pair{"full-output", result.newFullWord}}) {
                const auto checked = CheckedOutput(name, word);
                if (const auto* refused = std::get_if<std::string>(&checked)) {
                    error = *refused;
                    break;
                }
                const Assignment& a = std::get<Assignment>(checked);
                const auto outcome = session.Write(*a.parameter->write, *a.word);
                if (!outcome.ok) {
                    deviceRefused = outcome.failure == protocol::ExchangeFailure::Refused;
                    error = std::string(name) + " " + NotWrittenText(outcome);
                    break;
                }
            }
        }

        if (settings.json) {
            settings.console->Print(
                nlohmann::ordered_json{{"format", "corvexa-trim"},
                                       {"port", session.Port()},
                                       {"signal", protocol::SignalName(*signal)},
                                       {"old", WordsJson(*oldZero, *oldFull)},
                                       {"new", WordsJson(result.newZeroWord, result.newFullWord)},
                                       {"written", !options.dryRun && error.empty()},
                                       {"error", error.empty() ? nlohmann::ordered_json(nullptr)
                                                               : nlohmann::ordered_json(error)}}
                    .dump());
        } else {
            settings.console->Print(session.Port() + "\n" +
                                    AlignedTable({{"output", "old word", "new word"},
                                                  {"zero-output", std::to_string(*oldZero),
                                                   std::to_string(result.newZeroWord)},
                                                  {"full-output", std::to_string(*oldFull),
                                                   std::to_string(result.newFullWord)}}) +
                                    (options.dryRun ? "dry run: nothing was written" : ""));
        }
        if (error.empty()) return kExitOk;
        settings.console->Error(session.Port() + ": " + error +
                                "; read the device to see what it holds, then trim again");
        if (deviceRefused) return kExitRefused;
        return kExitNotConfirmed;
    });
}

}  // namespace cli
