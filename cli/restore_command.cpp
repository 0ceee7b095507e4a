#include "cli/apply_words.h"
#include "cli/backup_file.h"
#include "cli/commands.h"
#include "protocol/value_check.h"

#include <variant>

namespace cli {

namespace {

std::string Shown(int index, std::uint16_t word, const RegisterWords& context) {
    RegisterWords words = context;
    words[static_cast<std::size_t>(index)] = word;
    return ShownText(index, words) + " (" + std::to_string(word) + ")";
}

}  // namespace

int RunRestore(const RunSettings& settings, const std::string& file, bool withCalibration,
               bool dryRun, bool force) {
    protocol::Configuration backup;
    if (std::string problem = protocol::LoadConfiguration(file, backup); !problem.empty()) {
        settings.console->Error(problem);
        return kExitUsage;
    }
    if (const auto refusals = Refusals(backup.words, withCalibration, force); !refusals.empty()) {
        for (const std::string& refused : refusals) settings.console->Error(file + ": " + refused);
        settings.console->Error(file + ": nothing was written");
        return kExitUsage;
    }

    return RunOnPorts(settings, true, [&](DeviceSession& session) {
        const RegisterWords device = session.Words();
        const std::vector<int> failed = FailedRegisters(device, protocol::kRegisterCount);
        if (!failed.empty()) {
            settings.console->Error(session.Port() + ": " + RegisterList(failed) +
                                    " did not answer; nothing was written; try again");
            return kExitNoAnswer;
        }
        if (device[protocol::kDecimalsIndex] != backup.words[protocol::kDecimalsIndex]) {
            settings.console->Error(session.Port() + ": note: the device has " +
                                    std::to_string(*device[protocol::kDecimalsIndex]) +
                                    " decimal places, the file " +
                                    std::to_string(*backup.words[protocol::kDecimalsIndex]) +
                                    "; the raw words are restored");
        }
        const ApplyResult applied = ApplyWords(session, backup.words, withCalibration, dryRun);
        const std::vector<Change>& changes = applied.changes;
        const bool confirmed = applied.confirmed;
        const std::vector<int>& differing = applied.differing;

        if (settings.json) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            nlohmann::ordered_json kept = nlohmann::ordered_json::array();
            for (const Change& c : changes) {
                nlohmann::ordered_json row{
                    {"register", protocol::RegisterOfIndex(c.index)},
                    {"parameter", Parameters()[static_cast<std::size_t>(c.index)].name},
                    {"device", c.from},
                    {"file", c.to}};
                if (c.fate == Fate::Kept) {
                    row["reason"] = c.why;
                    kept.push_back(row);
                    continue;
                }
                const bool ok = c.fate == Fate::ReadBack;
                row["ok"] = ok;
                row["attempts"] = c.attempts;
                row["result"] = FateText(c);
                row["error"] = ok || dryRun ? nlohmann::ordered_json(nullptr)
                                            : nlohmann::ordered_json(FateText(c));
                list.push_back(row);
            }
            settings.console->Print(nlohmann::ordered_json{
                {"format", "corvexa-restore"},
                {"port", session.Port()},
                {"dry_run", dryRun},
                {"changes", list},
                {"kept", kept},
                {"differing", differing},
                {"port_lost",
                 session.PortLost()}}.dump());
        } else if (changes.empty()) {
            settings.console->Print(session.Port() + ": the device already holds " + file);
        } else {
            std::vector<std::vector<std::string>> rows{
                {"register", "parameter", "device", "file", "result"}};
            for (const Change& c : changes) {
                rows.push_back({std::to_string(protocol::RegisterOfIndex(c.index)),
                                Parameters()[static_cast<std::size_t>(c.index)].name,
                                Shown(c.index, c.from, device), Shown(c.index, c.to, backup.words),
                                FateText(c)});
            }
            settings.console->Print(session.Port() + "\n" + AlignedTable(rows));
        }
        if (applied.Done()) return kExitOk;
        std::string why = !confirmed
                              ? ": a write was not confirmed"
                              : ": " + RegisterList(differing) + " did not take the file's value";
        if (session.PortLost()) why = ": the port was lost; a write was not confirmed";
        settings.console->Error(session.Port() + why +
                                "; run restore again, and check the device if it repeats");
        return kExitNotConfirmed;
    });
}

}  // namespace cli
