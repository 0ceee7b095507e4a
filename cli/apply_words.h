#pragma once

#include <string>
#include <vector>

#include "cli/device_session.h"

namespace cli {

// What became of one register that differs from the words wanted.
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
    std::uint16_t to;    // the word wanted
    Fate fate = Fate::NotSent;
    int attempts = 0;
    std::string why;  // NotConfirmed: the outcome in words; Kept: why it is not written
};

struct ApplyResult {
    std::vector<Change> changes;
    bool confirmed = true;       // no write went unconfirmed
    std::vector<int> differing;  // registers read back with another word
    // Every register that differed now holds the word wanted (or was kept).
    bool Done() const;
};

// The checks `write` makes, on the words wanted, all of them: the boxes'
// codes through the same parser as code:N, the limits' order unless forced.
std::vector<std::string> Refusals(const RegisterWords& words, bool withCalibration, bool force);

// Writes the registers (10, 15..19; 20..23 too `withCalibration`) where the
// device differs from `wanted`, in order, each confirmed by its echo and
// stopping at the first that is not; then reads back and compares. The
// device's words must all be known. `dryRun` sends nothing.
ApplyResult ApplyWords(DeviceSession& session, const RegisterWords& wanted, bool withCalibration,
                       bool dryRun);

std::string FateText(const Change& c);

}  // namespace cli
