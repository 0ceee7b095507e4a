#include <algorithm>

#include "cli/commands.h"

namespace cli {

std::string AlignedTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    // Display width: UTF-8 continuation bytes take no column ("°C").
    auto width = [](const std::string& s) {
        return static_cast<std::size_t>(
            std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    };
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], width(row[i]));
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line.append(widths[i] - width(row[i]) + 2, ' ');
        }
        text += line + "\n";
    }
    return text;
}

std::vector<int> FailedRegisters(const RegisterWords& words, int count) {
    std::vector<int> failed;
    for (int i = 0; i < count; ++i) {
        if (!words[static_cast<std::size_t>(i)]) failed.push_back(protocol::RegisterOfIndex(i));
    }
    return failed;
}

std::string RegistersTable(const std::string& port, const RegisterWords& words, int count,
                           const ReadFailures& failures) {
    std::vector<std::vector<std::string>> rows{{"register", "parameter", "value", "raw"}};
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const auto word = words[at];
        const bool refused =
            failures[at] && failures[at]->failure == protocol::ExchangeFailure::Refused;
        rows.push_back({std::to_string(protocol::RegisterOfIndex(i)), Parameters()[at].name,
                        word ? ShownText(i, words)
                        : refused
                            ? "(refused: " + protocol::RefusalWords(failures[at]->exception) + ")"
                            : "(no answer)",
                        word ? std::to_string(*word) : "-"});
    }
    return port + "\n" + AlignedTable(rows);
}

std::vector<int> RefusedRegisters(const ReadFailures& failures, int count,
                                  nlohmann::ordered_json& words) {
    std::vector<int> refused;
    words = nlohmann::ordered_json::object();
    for (int i = 0; i < count; ++i) {
        const auto& failure = failures[static_cast<std::size_t>(i)];
        if (!failure || failure->failure != protocol::ExchangeFailure::Refused) continue;
        refused.push_back(protocol::RegisterOfIndex(i));
        words[std::to_string(protocol::RegisterOfIndex(i))] =
            protocol::RefusalWords(failure->exception);
    }
    return refused;
}

int RunRead(const RunSettings& settings) {
    return RunOnPorts(settings, true, [&](DeviceSession& session) {
        const RegisterWords words = session.Words();
        const ReadFailures failures = session.FailedReads();
        const int count = session.RegistersRead();
        const std::vector<int> failed = FailedRegisters(words, count);
        nlohmann::ordered_json refusals;
        const std::vector<int> refused = RefusedRegisters(failures, count, refusals);
        if (settings.json) {
            nlohmann::ordered_json out{{"format", "corvexa-read"},
                                       {"port", session.Port()},
                                       {"registers", RegistersJson(words, count)},
                                       {"parameters", ParametersJson(words, count)},
                                       {"failed", failed},
                                       {"refused", refusals}};
            settings.console->Print(out.dump());
        } else {
            settings.console->Print(RegistersTable(session.Port(), words, count, failures));
        }
        if (failed.empty()) return kExitOk;
        if (!refused.empty()) {
            std::string text = session.Port() + ": the device refused";
            for (int reg : refused)
                text += (reg == refused.front() ? " register " : ", register ") +
                        std::to_string(reg) + " (" +
                        refusals[std::to_string(reg)].get<std::string>() + ")";
            settings.console->Error(text);
            return kExitRefused;
        }
        settings.console->Error(session.Port() + ": " + RegisterList(failed) +
                                " did not answer; read again, and check the cable if it repeats");
        return kExitNoAnswer;
    });
}

}  // namespace cli
