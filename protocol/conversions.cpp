#include "protocol/conversions.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cwchar>

#include "protocol/impl/c_numeric.h"

namespace protocol {

namespace {

std::wstring Widen(const char* begin, const char* end) {
    return std::wstring(begin, end);
}

// Narrowing a double beyond the float range is undefined in C++; IEEE gives infinity.
float NarrowToFloat(double value) {
    if (value > FLT_MAX) return INFINITY;
    if (value < -FLT_MAX) return -INFINITY;
    return static_cast<float>(value);
}

}  // namespace

std::wstring FormatScaled(std::uint16_t raw, std::uint16_t decimals) {
    const float value = static_cast<float>(raw / std::pow(10.0, decimals));
    // to_chars with a precision prints what printf("%.1f") prints in the "C" locale.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, 1);
    return Widen(buffer, result.ptr);
}

std::wstring FormatSigned(std::uint16_t raw) {
    return std::to_wstring(static_cast<std::int16_t>(raw));
}

std::wstring FormatUnsigned(std::uint16_t raw) {
    return std::to_wstring(raw);
}

double ParseDouble(const std::wstring& text) {
    return impl::WideToDoubleC(text.c_str());
}

std::int32_t ParseInt(const std::wstring& text) {
    // long is 64 bits here but 32 on the device tool's home platform; clamp as a
    // 32-bit conversion would.
    const long value = std::wcstol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

std::int32_t TruncateToInt32(double value) {
    // Casting an out-of-range double is undefined in C++; keep the x86 result.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

std::uint16_t ScaledTextToWord(const std::wstring& text, std::uint16_t decimals) {
    const float typed = NarrowToFloat(ParseDouble(text));
    const double scaled = static_cast<double>(typed) * std::pow(10.0, decimals);
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(TruncateToInt32(scaled)) & 0xFFFF);
}

std::uint16_t IntegerTextToWord(const std::wstring& text) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(ParseInt(text)) & 0xFFFF);
}

std::uint16_t SelectionToWord(int selection) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(selection) & 0xFFFF);
}

}  // namespace protocol
