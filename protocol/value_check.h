#pragma once

#include <cstdint>
#include <string>

#include "protocol/device_parameters.h"
#include "protocol/registers.h"

namespace protocol {

// A typed value is checked before anything goes on the line: the window and
// the command-line tool refuse the same texts with the same words. A text that
// passes is converted as IntegerTextToWord does, or for the scaled fields
// rounded to the nearest word, so that it reads back as the value typed.
enum class ValueProblem {
    None,
    NotANumber,   // not a number, or not a whole number where one is needed
    OutOfRange,   // does not fit its register after scaling
    NoSelection,  // a box with nothing selected
};

struct CheckedValue {
    ValueProblem problem = ValueProblem::None;
    std::uint16_t word = 0;  // the word to send; meaningful only when ok()
    std::wstring range;      // what the field takes, e.g. L"-32768 to 32767"
    std::wstring low, high;  // its two ends, for texts in other languages; empty for a box

    bool ok() const { return problem == ValueProblem::None; }
};

// Text fields of the write operations 18..20 and 22..26. Zero offset and
// temperature compensation are scaled by 10^decimals and must land in
// 0..65535; the limits are signed words (-32768..32767); samples and outputs
// are unsigned words (0..65535). The integer fields take whole numbers only.
CheckedValue CheckTypedValue(OperationCode code, const std::wstring& text, std::uint16_t decimals);

// The whole text is one decimal number, blanks around it allowed (a sign,
// digits, and unless wholeOnly a point and an exponent). No hex, no "inf" or
// "nan": those parse in C but are no value a technician types.
bool IsDecimalText(const std::wstring& text, bool wholeOnly);

// Signal source and gain: -1 (nothing selected) is refused.
CheckedValue CheckSelection(int selection);

// English words for a refusal, without the field's name:
// "not a number; it takes -32768 to 32767". Empty when ok().
std::wstring DescribeProblem(const CheckedValue& value);

// A lower limit at or above the upper limit (both signed words) asks the
// technician to confirm before it is sent.
bool LimitsInverted(std::uint16_t lowerWord, std::uint16_t upperWord);

}  // namespace protocol
