#include "cli/backup_file.h"
#include "cli/commands.h"
#include "protocol/value_check.h"

#include <variant>

namespace cli {

namespace {

// What became of one register that differs from the file.
enum class Fate {
    WouldWrite,
    NotSent,
    NotConfirmed,
    Confirmed,
    ReadBack,
    ReadBackDiffers,
    ReadBackFailed,
    Kept
};

struct Change {
    int index;
    std::uint16_t from;  // the device's word
    std::uint16_t to;    // the file's word
    Fate fate = Fate::NotSent;
    int attempts = 0;
    std::string why;  // NotConfirmed: the outcome in words; Kept: why it is not written
};

bool Writable(int index) {
    return Parameters()[static_cast<std::size_t>(index)].write.has_value();
}

// Configuration registers 10, 15..19; calibration 20..23 only when asked.
bool Restorable(int index, bool withCalibration) {
    return Writable(index) && (withCalibration || index < protocol::kZeroSampleIndex);
}

std::string Shown(int index, std::uint16_t word, const RegisterWords& context) {
    RegisterWords words = context;
    words[static_cast<std::size_t>(index)] = word;
    return ShownText(index, words) + " (" + std::to_string(word) + ")";
}

std::string FateText(const Change& c) {
    switch (c.fate) {
        case Fate::WouldWrite:
            return "would write";
        case Fate::NotSent:
            return "not sent";
        case Fate::NotConfirmed:
            return c.why;
        case Fate::Confirmed:
            return "written and confirmed, not read back";
        case Fate::ReadBack:
            return "written and read back";
        case Fate::ReadBackDiffers:
            return "written, read back differs";
        case Fate::ReadBackFailed:
            return "written, read back failed";
        case Fate::Kept:
            break;
    }
    return c.why;
}

bool Done(Fate fate) {
    return fate == Fate::ReadBack || fate == Fate::WouldWrite || fate == Fate::Kept;
}

// The checks `write` makes, on the file's words, all of them: the boxes'
// codes through the same parser as code:N, the limits' order unless forced.
std::vector<std::string> Refusals(const RegisterWords& words, bool withCalibration, bool force) {
    std::vector<std::string> refusals;
    for (int i = 0; i < protocol::kRegisterCount; ++i) {
        if (!Restorable(i, withCalibration)) continue;
        const ParameterInfo& p = Parameters()[static_cast<std::size_t>(i)];
        if (p.codes == protocol::CodeTable::None) continue;
        const auto parsed = ParseAssignment(
            std::string(p.name) + "=code:" + std::to_string(*words[static_cast<std::size_t>(i)]));
        if (const auto* refused = std::get_if<std::string>(&parsed)) refusals.push_back(*refused);
    }
    const std::uint16_t lower = *words[protocol::kLowerLimitIndex];
    const std::uint16_t upper = *words[protocol::kUpperLimitIndex];
    if (!force && protocol::LimitsInverted(lower, upper)) {
        refusals.push_back("lower-limit=" + std::to_string(static_cast<std::int16_t>(lower)) +
                           " refused: not below upper-limit " +
                           std::to_string(static_cast<std::int16_t>(upper)) +
                           "; add --force to send it anyway");
    }
    return refusals;
}

}  // namespace

int RunRestore(const RunSettings& settings, const std::string& file, bool withCalibration,
               bool dryRun, bool force) {
    Backup backup;
    if (std::string problem = LoadBackup(file, backup); !problem.empty()) {
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
        std::vector<Change> changes;
        for (int i = 0; i < protocol::kRegisterCount; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (device[at] == backup.words[at]) continue;
            Change c{i, *device[at], *backup.words[at], Fate::NotSent, 0, {}};
            if (!Writable(i)) {
                c.fate = Fate::Kept;
                c.why = "never written by this tool";
            } else if (!Restorable(i, withCalibration)) {
                c.fate = Fate::Kept;
                c.why = "kept: add --with-calibration";
            } else {
                c.fate = dryRun ? Fate::WouldWrite : Fate::NotSent;
            }
            changes.push_back(c);
        }

        bool confirmed = true;
        bool wrote = false;
        for (Change& c : changes) {
            if (c.fate != Fate::NotSent || !confirmed) continue;
            const auto outcome =
                session.Write(*Parameters()[static_cast<std::size_t>(c.index)].write, c.to);
            c.attempts = outcome.attempts;
            if (outcome.ok) {
                c.fate = Fate::Confirmed;
                wrote = true;
            } else {
                c.fate = Fate::NotConfirmed;
                c.why = NotWrittenText(outcome);
                confirmed = false;
            }
        }
        // Read back: the device must now hold the file's word in every
        // register restored, whatever the echoes said.
        std::vector<int> differing;
        if (wrote && confirmed) {
            session.ReadAgain();
            const RegisterWords after = session.Words();
            for (Change& c : changes) {
                if (c.fate != Fate::Confirmed) continue;
                const auto word = after[static_cast<std::size_t>(c.index)];
                c.fate = !word ? Fate::ReadBackFailed
                               : (*word == c.to ? Fate::ReadBack : Fate::ReadBackDiffers);
                if (c.fate != Fate::ReadBack)
                    differing.push_back(protocol::RegisterOfIndex(c.index));
            }
        }

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
        bool allDone = true;
        for (const Change& c : changes) allDone = allDone && Done(c.fate);
        if (allDone) return kExitOk;
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
