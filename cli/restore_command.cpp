#include "cli/backup_file.h"
#include "cli/commands.h"
#include "protocol/value_check.h"

namespace cli {

namespace {

struct Change {
    int index;
    std::uint16_t from;  // the device's word
    std::uint16_t to;    // the file's word
    bool ok = false;
    int attempts = 0;
    std::string error;
};

// Configuration registers 10, 15..19; calibration 20..23 only when asked.
bool Restorable(int index, bool withCalibration) {
    const auto& p = Parameters()[static_cast<std::size_t>(index)];
    if (!p.write) return false;
    return withCalibration || index < protocol::kZeroSampleIndex;
}

std::string Shown(int index, std::uint16_t word, const RegisterWords& context) {
    RegisterWords words = context;
    words[static_cast<std::size_t>(index)] = word;
    return ShownText(index, words) + " (" + std::to_string(word) + ")";
}

}  // namespace

int RunRestore(const RunSettings& settings, const std::string& file, bool withCalibration,
               bool dryRun) {
    Backup backup;
    if (std::string problem = LoadBackup(file, backup); !problem.empty()) {
        settings.console->Error(problem);
        return kExitUsage;
    }
    for (const int index : {protocol::kSignalSourceIndex, protocol::kGainIndex}) {
        if (!protocol::CheckSelection(*backup.words[static_cast<std::size_t>(index)]).ok()) {
            settings.console->Error(file + ": " +
                                    Parameters()[static_cast<std::size_t>(index)].name +
                                    " holds no choice (65535); nothing was written");
            return kExitUsage;
        }
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
        std::vector<Change> changes;
        for (int i = 0; i < protocol::kRegisterCount; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (Restorable(i, withCalibration) && device[at] != backup.words[at]) {
                changes.push_back({i, *device[at], *backup.words[at], false, 0, ""});
            }
        }

        bool confirmed = true;
        if (!dryRun) {
            for (Change& c : changes) {
                if (!confirmed) {
                    c.error = "not sent: an earlier write was not confirmed";
                    continue;
                }
                const auto outcome =
                    session.Write(*Parameters()[static_cast<std::size_t>(c.index)].write, c.to);
                c.ok = outcome.ok;
                c.attempts = outcome.attempts;
                if (!c.ok) {
                    c.error = "not confirmed after " + std::to_string(c.attempts) + " attempts";
                    confirmed = false;
                }
            }
        }
        // Read back: the device must now hold the file's word in every
        // register restored, whatever the echoes said.
        std::vector<int> differing;
        if (!dryRun && !changes.empty() && confirmed) {
            session.ReadAgain();
            const RegisterWords after = session.Words();
            for (Change& c : changes) {
                if (after[static_cast<std::size_t>(c.index)] != c.to) {
                    differing.push_back(protocol::RegisterOfIndex(c.index));
                    c.ok = false;
                    c.error = after[static_cast<std::size_t>(c.index)] ? "read back differs"
                                                                       : "read back failed";
                }
            }
        }

        if (settings.json) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (const Change& c : changes) {
                list.push_back({{"register", protocol::RegisterOfIndex(c.index)},
                                {"parameter", Parameters()[static_cast<std::size_t>(c.index)].name},
                                {"device", c.from},
                                {"file", c.to},
                                {"ok", c.ok},
                                {"attempts", c.attempts},
                                {"error", c.error.empty() ? nlohmann::ordered_json(nullptr)
                                                          : nlohmann::ordered_json(c.error)}});
            }
            settings.console->Print(nlohmann::ordered_json{
                {"port", session.Port()},
                {"dry_run", dryRun},
                {"changes", list},
                {"differing",
                 differing}}.dump());
        } else if (changes.empty()) {
            settings.console->Print(session.Port() + ": the device already holds " + file);
        } else {
            std::vector<std::vector<std::string>> rows{
                {"register", "parameter", "device", "file", dryRun ? "would write" : "result"}};
            for (const Change& c : changes) {
                rows.push_back({std::to_string(protocol::RegisterOfIndex(c.index)),
                                Parameters()[static_cast<std::size_t>(c.index)].name,
                                Shown(c.index, c.from, device), Shown(c.index, c.to, backup.words),
                                dryRun ? "yes" : (c.ok ? "written, read back" : c.error)});
            }
            settings.console->Print(session.Port() + "\n" + AlignedTable(rows));
        }
        if (confirmed && differing.empty()) return kExitOk;
        settings.console->Error(
            session.Port() +
            (confirmed ? ": " + RegisterList(differing) + " did not take the file's value"
                       : std::string(": a write was not confirmed")) +
            "; run restore again, and check the device if it repeats");
        return kExitNotConfirmed;
    });
}

}  // namespace cli
