#include "cli/apply_words.h"

#include <variant>

#include "cli/port_runner.h"
#include "protocol/value_check.h"

namespace cli {

namespace {

bool Writable(int index) {
    return Parameters()[static_cast<std::size_t>(index)].write.has_value();
}

// Configuration registers 10, 15..19; calibration 20..23 only when asked.
bool Restorable(int index, bool withCalibration) {
    return Writable(index) && (withCalibration || index < protocol::kZeroSampleIndex);
}

bool Done(Fate fate) {
    return fate == Fate::ReadBack || fate == Fate::WouldWrite || fate == Fate::Kept;
}

}  // namespace

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

bool ApplyResult::Done() const {
    for (const Change& c : changes)
        if (!cli::Done(c.fate)) return false;
    return true;
}

ApplyResult ApplyWords(DeviceSession& session, const RegisterWords& wanted, bool withCalibration,
                       bool dryRun) {
    const RegisterWords device = session.Words();
    ApplyResult result;
    for (int i = 0; i < protocol::kRegisterCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (device[at] == wanted[at]) continue;
        Change c{i, *device[at], *wanted[at], Fate::NotSent, 0, {}};
        if (!Writable(i)) {
            c.fate = Fate::Kept;
            c.why = "never written by this tool";
        } else if (!Restorable(i, withCalibration)) {
            c.fate = Fate::Kept;
            c.why = "kept: add --with-calibration";
        } else {
            c.fate = dryRun ? Fate::WouldWrite : Fate::NotSent;
        }
        result.changes.push_back(c);
    }

    bool wrote = false;
    for (Change& c : result.changes) {
        if (c.fate != Fate::NotSent || !result.confirmed) continue;
        const auto outcome =
            session.Write(*Parameters()[static_cast<std::size_t>(c.index)].write, c.to);
        c.attempts = outcome.attempts;
        if (outcome.ok) {
            c.fate = Fate::Confirmed;
            wrote = true;
        } else {
            c.fate = Fate::NotConfirmed;
            c.why = NotWrittenText(outcome);
            result.confirmed = false;
        }
    }
    // Read back: the device must now hold the wanted word in every
    // register written, whatever the echoes said.
    if (wrote && result.confirmed) {
        session.ReadAgain();
        const RegisterWords after = session.Words();
        for (Change& c : result.changes) {
            if (c.fate != Fate::Confirmed) continue;
            const auto word = after[static_cast<std::size_t>(c.index)];
            c.fate = !word ? Fate::ReadBackFailed
                           : (*word == c.to ? Fate::ReadBack : Fate::ReadBackDiffers);
            if (c.fate != Fate::ReadBack)
                result.differing.push_back(protocol::RegisterOfIndex(c.index));
        }
    }
    return result;
}

}  // namespace cli
