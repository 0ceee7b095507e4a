#pragma once

// Object names of the History window's parts, for tests and pictures.
namespace historywnd {

inline constexpr int IDC_HISTORY_SEARCH = 1601;
inline constexpr int IDC_HISTORY_DEVICES = 1602;
inline constexpr int IDC_HISTORY_SESSIONS = 1603;
inline constexpr int IDC_HISTORY_CHART = 1604;
inline constexpr int IDC_HISTORY_OPEN = 1605;
inline constexpr int IDC_HISTORY_STATUS = 1606;

}  // namespace historywnd
