#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/registers.h"

namespace protocol {

// The device's configuration as the window shows it. Codes are raw words
// (0xFFFF: no selection); the eight texts are bound to their edits.
struct DeviceParameters {
    std::uint16_t signalSource = 0xFFFF;
    std::uint16_t unit = 0;      // "°C"
    std::uint16_t baudCode = 3;  // "9600"
    std::uint16_t decimals = 0;
    std::uint16_t gain = 0xFFFF;

    std::wstring zeroOffset;  // edit 1004, register 15
    std::wstring lowerLimit;  // edit 1006, register 16
    std::wstring upperLimit;  // edit 1008, register 17
    std::wstring tempComp;    // edit 1020, register 19
    std::wstring zeroSample;  // edit 1022, register 20
    std::wstring fullSample;  // edit 1024, register 21
    std::wstring zeroOutput;  // edit 1026, register 22
    std::wstring fullOutput;  // edit 1028, register 23

    bool operator==(const DeviceParameters&) const = default;
};

// The raw words of registers 10..23 by index; empty where no word was read.
using RegisterWords = std::array<std::optional<std::uint16_t>, kRegisterCount>;

// Puts a read reply's word into the field of register 10 + index. Index 2
// (register 12) and any index outside 0..13 (29 after LinkEnd) change nothing.
// Registers 15 and 19 are scaled with the decimals in the record at that moment.
void StoreRegisterValue(DeviceParameters& params, int index, std::uint16_t word);

// The record's word of a coded register (signal source, unit, baud code,
// decimals, gain) and the text of an edit's register; null for the others.
std::uint16_t* CodeField(DeviceParameters& params, int index);
std::wstring* TextField(DeviceParameters& params, int index);
const std::wstring* TextField(const DeviceParameters& params, int index);

}  // namespace protocol
