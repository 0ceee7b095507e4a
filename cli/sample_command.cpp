#include <cstdio>

#include "cli/commands.h"
#include "protocol/sample_statistics.h"

namespace cli {

int RunSample(const RunSettings& settings, const std::string& which, int count) {
    const bool zero = which == "zero";
    const int index = zero ? protocol::kZeroSampleIndex : protocol::kFullSampleIndex;
    const std::string name = Parameters()[static_cast<std::size_t>(index)].name;
    const int reg = protocol::RegisterOfIndex(index);
    return RunOnPorts(settings, false, [&](DeviceSession& session) {
        int missed = 0;
        // Whether the readings so far have settled, by the window's rule.
        protocol::SampleStatistics statistics;
        std::string refusal;
        session.Sample(
            zero, count,
            [&](std::chrono::milliseconds at, const protocol::ExchangeOutcome& outcome) {
                const bool read = outcome.ok && outcome.value.has_value();
                const std::uint16_t word = read ? *outcome.value : 0;
                if (!read)
                    ++missed;
                else
                    statistics.Add(at, word);
                if (outcome.failure == protocol::ExchangeFailure::Refused)
                    refusal = protocol::RefusalWords(outcome.exception);
                if (settings.json) {
                    settings.console->Print(nlohmann::ordered_json{
                        {"format", "corvexa-sample"},
                        {"port", session.Port()},
                        {"time_ms", at.count()},
                        {"register", reg},
                        {"value",
                         read ? nlohmann::ordered_json(word) : nlohmann::ordered_json(nullptr)},
                        {"error", read
                                      ? nlohmann::ordered_json(nullptr)
                                      : nlohmann::ordered_json(protocol::DescribeFailure(outcome))},
                        {"stable", statistics.Verdict().stable()}}
                                                .dump());
                } else {
                    char line[160];
                    std::snprintf(line, sizeof line, "%s  %7lld ms  %s  %s", session.Port().c_str(),
                                  static_cast<long long>(at.count()), name.c_str(),
                                  read ? std::to_string(word).c_str()
                                       : ("(" + protocol::DescribeFailure(outcome) + ")").c_str());
                    settings.console->Print(line);
                }
            });
        if (missed == 0) return kExitOk;
        if (!refusal.empty()) {
            settings.console->Error(session.Port() + ": the device refused register " +
                                    std::to_string(reg) + " (" + refusal + ")");
            return kExitRefused;
        }
        settings.console->Error(session.Port() + ": " + std::to_string(missed) + " of " +
                                std::to_string(count) + " readings of register " +
                                std::to_string(reg) + " got no answer; check the cable");
        return kExitNoAnswer;
    });
}

}  // namespace cli
