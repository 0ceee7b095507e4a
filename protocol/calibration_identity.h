#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// The unit under calibration as the technician names it: the device holds
// no identity register, so this is typed (or scanned) at connect. UTF-8.
struct DeviceIdentity {
    std::string tag;
    std::string serial;
    std::string model;

    bool Empty() const { return tag.empty() && serial.empty() && model.empty(); }
    bool operator==(const DeviceIdentity&) const = default;
    bool SameDevice(const DeviceIdentity& other) const {
        return tag == other.tag && serial == other.serial;
    }
};

enum class ReferenceKind { OutputMeter, InputSource };
std::string ReferenceKindName(ReferenceKind kind);  // "meter", "source"
std::optional<ReferenceKind> ParseReferenceKind(std::string_view name);

// A reference instrument the bench keeps: what read the output or drove the
// input, and until when its own calibration holds.
struct ReferenceInstrument {
    std::string name;
    std::string model;
    std::string serial;
    std::string calibratedUntil;  // YYYY-MM-DD
    ReferenceKind kind = ReferenceKind::OutputMeter;

    bool operator==(const ReferenceInstrument&) const = default;
};

// A real calendar date written YYYY-MM-DD.
bool ValidDate(std::string_view date);
// Past its date on `today` (YYYY-MM-DD): the day after calibratedUntil or
// later. A date that is not valid counts as expired: nobody can show it holds.
bool ReferenceExpired(const ReferenceInstrument& reference, std::string_view today);

// One settings value per instrument: the five fields separated by '|' (a
// '|' typed into a field becomes '/'). Nothing for a value that is
// not five fields with a known kind.
std::string EncodeReference(const ReferenceInstrument& reference);
std::optional<ReferenceInstrument> DecodeReference(std::string_view text);

}  // namespace protocol
