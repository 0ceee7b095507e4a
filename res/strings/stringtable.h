#pragma once

// The program's own numbered texts (101-151, 170-224). They are the last resort of
// every text lookup, so each id a window asks for must exist here.
namespace corvexa::res {

// Text of the given number, or nullptr when the table has none.
const wchar_t* LoadBuiltinString(int id);

inline constexpr int kFirstBuiltinString = 101;
inline constexpr int kLastBuiltinString = 155;
// The calibration assistant's texts (trend, trim dialog, report).
inline constexpr int kFirstCalibrationString = 170;
inline constexpr int kLastCalibrationString = 224;

}  // namespace corvexa::res
