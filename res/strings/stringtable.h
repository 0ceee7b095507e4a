#pragma once

// The program's own numbered texts (101-169, 170-228, 230-234, 240-256, 260-282,
// 290-349, 350-368, 370-401). They are the last
// resort of every text lookup, so each id a window asks for must exist here.
namespace corvexa::res {

// Text of the given number, or nullptr when the table has none.
const wchar_t* LoadBuiltinString(int id);

inline constexpr int kFirstBuiltinString = 101;
inline constexpr int kLastBuiltinString = 169;
// The calibration assistant's texts (trend, trim dialog, report).
inline constexpr int kFirstCalibrationString = 170;
inline constexpr int kLastCalibrationString = 228;
// The main window's status, menu and port texts.
inline constexpr int kFirstMoreString = 230;
inline constexpr int kLastMoreString = 234;
// The traffic window's texts.
inline constexpr int kFirstTrafficString = 240;
inline constexpr int kLastTrafficString = 256;
// What the device refused, a line that never fell quiet, the adapter's echo
// and what the line did when the device did not answer.
inline constexpr int kFirstLinkString = 260;
inline constexpr int kLastLinkString = 282;
// The unit's identity, the verification at test points and the certificate.
inline constexpr int kFirstCertificateString = 290;
inline constexpr int kLastCertificateString = 349;
// The History window and the history database's status.
inline constexpr int kFirstHistoryString = 350;
inline constexpr int kLastHistoryString = 368;
// The Configuration menu: files, comparing and applying them.
inline constexpr int kFirstConfigurationString = 370;
inline constexpr int kLastConfigurationString = 401;

}  // namespace corvexa::res
