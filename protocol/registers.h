#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/frames.h"

namespace protocol {

// The configuration is fourteen holding registers, 10..23. An index is the
// register number minus 10.
constexpr std::uint16_t kFirstRegister = 10;
constexpr int kRegisterCount = 14;
// The user version reads only registers 10..17.
constexpr int kUserRegisterCount = 8;
// Awaited index after the device acknowledged LinkEnd: no field takes a value.
constexpr int kNoReadPending = 29;

enum ParamIndex : int {
    kSignalSourceIndex = 0,
    kUnitIndex = 1,
    kReservedIndex = 2,  // register 12: read and ignored
    kBaudCodeIndex = 3,
    kDecimalsIndex = 4,
    kZeroOffsetIndex = 5,
    kLowerLimitIndex = 6,
    kUpperLimitIndex = 7,
    kGainIndex = 8,
    kTempCompIndex = 9,
    kZeroSampleIndex = 10,
    kFullSampleIndex = 11,
    kZeroOutputIndex = 12,
    kFullOutputIndex = 13,
};

constexpr std::uint16_t RegisterOfIndex(int index) {
    return static_cast<std::uint16_t>(kFirstRegister + index);
}

// Signal source box: code = position. Positions whose string number is not 0
// take the text of that "Main" string once the texts are refreshed.
struct SignalSourceEntry {
    const wchar_t* firstFill;
    int stringNumber;
};
constexpr int kSignalSourceCount = 15;
extern const std::array<SignalSourceEntry, kSignalSourceCount> kSignalSources;
// The same positions in the English window's words, for the command line
// and the traffic record.
extern const std::array<const char*, kSignalSourceCount> kSignalSourceEnglishNames;

// Unit labels are not translated.
constexpr int kUnitCount = 10;
extern const std::array<const wchar_t*, kUnitCount> kUnitLabels;
// Empty for a code the table does not know.
std::wstring UnitLabel(std::uint16_t code);

constexpr int kGainCount = 9;
extern const std::array<const wchar_t*, kGainCount> kGainTexts;

constexpr int kBaudCount = 5;
extern const std::array<const wchar_t*, kBaudCount> kBaudTexts;

// Numbering of background operations; 17..26 also travel in UM_WRITE_RESULT.
enum class OperationCode : int {
    WriteSignalSource = 17,
    WriteZeroOffset = 18,
    WriteLowerLimit = 19,
    WriteUpperLimit = 20,
    WriteGain = 21,
    WriteTempComp = 22,
    WriteZeroSample = 23,
    WriteFullSample = 24,
    WriteZeroOutput = 25,
    WriteFullOutput = 26,
    ConnectRequest = 27,
    LinkStart = 28,
    LinkEnd = 29,
};

bool IsWriteOperation(OperationCode code);
// Register a write operation sets; empty for the vendor commands.
std::optional<std::uint16_t> WriteRegisterOf(OperationCode code);
// Index in the parameter record of the field a write operation sends; -1 for vendor commands.
int ParamIndexOf(OperationCode code);
// "Main" string that names the operation in the result box; 0 for vendor commands.
int ResultStringNumber(OperationCode code);
// Vendor frame of 27..29; empty for writes.
std::optional<VendorCommand> VendorCommandOf(OperationCode code);

}  // namespace protocol
