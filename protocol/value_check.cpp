#include "protocol/value_check.h"

#include <charconv>
#include <cmath>

#include "protocol/conversions.h"

namespace protocol {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Digits from pos; returns how many.
std::size_t SkipDigits(const std::wstring& text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    return pos - start;
}

// The whole text is one decimal number, blanks around it allowed. No hex,
// no "inf" or "nan": those parse in C but are no value a technician types.
bool IsDecimalNumber(const std::wstring& text, bool wholeOnly) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) ++pos;
    std::size_t digits = SkipDigits(text, pos);
    if (!wholeOnly && pos < text.size() && text[pos] == L'.') {
        ++pos;
        digits += SkipDigits(text, pos);
    }
    if (digits == 0) return false;
    if (!wholeOnly && pos < text.size() && (text[pos] == L'e' || text[pos] == L'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) ++pos;
        if (SkipDigits(text, pos) == 0) return false;
    }
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos == text.size();
}

std::wstring FixedText(double value, int precision) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision)
            .ptr;
    return std::wstring(buffer, end);
}

std::wstring RangeText(const std::wstring& low, const std::wstring& high) {
    return low + L" to " + high;
}

CheckedValue Refused(ValueProblem problem, std::wstring range) {
    return CheckedValue{problem, 0, std::move(range), L"", L""};
}

// A value of a field that takes low..high: refused (word 0) unless problem is None.
CheckedValue InRange(ValueProblem problem, std::uint16_t word, std::wstring low,
                     std::wstring high) {
    std::wstring range = RangeText(low, high);
    return CheckedValue{problem, problem == ValueProblem::None ? word : std::uint16_t{0},
                        std::move(range), std::move(low), std::move(high)};
}

CheckedValue CheckScaled(const std::wstring& text, std::uint16_t decimals) {
    const int precision = decimals > 9 ? 9 : decimals;
    std::wstring low = FixedText(0.0, precision);
    std::wstring high = FixedText(65535.0 / std::pow(10.0, decimals), precision);
    if (!IsDecimalNumber(text, false)) return InRange(ValueProblem::NotANumber, 0, low, high);
    // Rounded to the nearest word, in double: narrowed to float and cut, as
    // the old conversion did, "2.3" became 22 and read back as 2.2.
    const double scaled = std::round(ParseDouble(text) * std::pow(10.0, decimals));
    if (!(scaled >= 0.0 && scaled <= 65535.0))
        return InRange(ValueProblem::OutOfRange, 0, low, high);
    return InRange(ValueProblem::None, static_cast<std::uint16_t>(scaled), low, high);
}

CheckedValue CheckInteger(const std::wstring& text, long low, long high) {
    std::wstring lowText = std::to_wstring(low);
    std::wstring highText = std::to_wstring(high);
    if (!IsDecimalNumber(text, true))
        return InRange(ValueProblem::NotANumber, 0, lowText, highText);
    const std::int32_t value = ParseInt(text);
    if (value < low || value > high) return InRange(ValueProblem::OutOfRange, 0, lowText, highText);
    return InRange(ValueProblem::None, IntegerTextToWord(text), lowText, highText);
}

}  // namespace

bool IsDecimalText(const std::wstring& text, bool wholeOnly) {
    return IsDecimalNumber(text, wholeOnly);
}

CheckedValue CheckTypedValue(OperationCode code, const std::wstring& text, std::uint16_t decimals) {
    switch (code) {
        case OperationCode::WriteZeroOffset:
        case OperationCode::WriteTempComp:
            return CheckScaled(text, decimals);
        case OperationCode::WriteLowerLimit:
        case OperationCode::WriteUpperLimit:
            return CheckInteger(text, -32768, 32767);
        case OperationCode::WriteZeroSample:
        case OperationCode::WriteFullSample:
        case OperationCode::WriteZeroOutput:
        case OperationCode::WriteFullOutput:
            return CheckInteger(text, 0, 65535);
        default:
            break;
    }
    return Refused(ValueProblem::NotANumber, L"");
}

CheckedValue CheckSelection(int selection) {
    if (selection < 0 || selection > 0xFFFE)
        return Refused(ValueProblem::NoSelection, L"a choice from the list");
    return CheckedValue{ValueProblem::None, SelectionToWord(selection), L"a choice from the list",
                        L"", L""};
}

std::wstring DescribeProblem(const CheckedValue& value) {
    switch (value.problem) {
        case ValueProblem::None:
            return L"";
        case ValueProblem::NotANumber:
            return L"not a number; it takes " + value.range;
        case ValueProblem::OutOfRange:
            return L"out of range; it takes " + value.range;
        case ValueProblem::NoSelection:
            return L"nothing selected; it takes " + value.range;
    }
    return L"";
}

bool LimitsInverted(std::uint16_t lowerWord, std::uint16_t upperWord) {
    return static_cast<std::int16_t>(lowerWord) >= static_cast<std::int16_t>(upperWord);
}

}  // namespace protocol
