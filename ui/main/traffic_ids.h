#pragma once

// The traffic window's controls (object names are these numbers) and the
// menu command that opens it.
namespace trafficwnd {
inline constexpr int ID_VIEW_TRAFFIC = 32790;
inline constexpr int IDC_TRAFFIC_COUNTERS = 1401;
inline constexpr int IDC_TRAFFIC_LATENCY = 1402;
inline constexpr int IDC_TRAFFIC_PAUSE = 1403;
inline constexpr int IDC_TRAFFIC_CLEAR = 1404;
inline constexpr int IDC_TRAFFIC_COPY = 1405;
inline constexpr int IDC_TRAFFIC_SAVE = 1406;
inline constexpr int IDC_TRAFFIC_TABLE = 1407;
inline constexpr int IDC_TRAFFIC_ROWS = 1408;
inline constexpr int IDC_TRAFFIC_PORT = 1409;
}  // namespace trafficwnd
