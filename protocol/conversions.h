#pragma once

#include <cstdint>
#include <string>

namespace protocol {

// Texts shown for a raw register word. All are independent of the process
// locale: the device's decimal point is always '.'.

// Zero offset and temperature compensation: u / 10^d in double, narrowed to
// float, shown with one decimal place ("%.1f") whatever d is.
std::wstring FormatScaled(std::uint16_t raw, std::uint16_t decimals);
// Range limits: the word as signed 16-bit ("%d").
std::wstring FormatSigned(std::uint16_t raw);
// Samples and outputs: the word unsigned ("%d").
std::wstring FormatUnsigned(std::uint16_t raw);

// Word sent for a typed text.

// Like the C library's wide conversion to double: leading blanks, sign,
// digits, point, exponent; stops at the first other character; 0 if nothing
// parses. Then narrowed to float, times 10^d in double, truncated toward zero
// to 32 bits, low 16 bits sent.
std::uint16_t ScaledTextToWord(const std::wstring& text, std::uint16_t decimals);
// Like the C library's wide conversion to int: "12.7" gives 12, letters 0.
std::uint16_t IntegerTextToWord(const std::wstring& text);
// A box selection; -1 (nothing selected) gives 0xFFFF.
std::uint16_t SelectionToWord(int selection);

// The two parses underneath, exposed for the window's own checks.
double ParseDouble(const std::wstring& text);
std::int32_t ParseInt(const std::wstring& text);
// Truncation toward zero to 32 bits; a value outside the 32-bit range (or NaN)
// gives INT32_MIN, the "integer indefinite" of the x86 conversion.
std::int32_t TruncateToInt32(double value);

}  // namespace protocol
