#pragma once

// The verification window's controls (object names are these numbers).
namespace verifywnd {
inline constexpr int IDC_VERIFY_STAGE = 1501;
inline constexpr int IDC_VERIFY_OUTPUT = 1502;
inline constexpr int IDC_VERIFY_TOLERANCE = 1503;
inline constexpr int IDC_VERIFY_POINTS = 1504;
inline constexpr int IDC_VERIFY_NEW_RUN = 1505;
inline constexpr int IDC_VERIFY_TABLE = 1506;
inline constexpr int IDC_VERIFY_RESULT = 1507;
inline constexpr int IDC_VERIFY_RECORD = 1508;
inline constexpr int IDC_VERIFY_NOTE = 1509;
inline constexpr int IDC_VERIFY_REFERENCES = 1510;
inline constexpr int IDC_VERIFY_ADD_REFERENCE = 1511;
inline constexpr int IDC_VERIFY_REMOVE_REFERENCE = 1512;
// Columns of the points table.
enum PointColumn { kPointCol, kAppliedCol, kExpectedCol, kMeasuredCol, kErrorCol, kResultCol };
// Columns of the references table.
enum ReferenceColumn { kUsedCol, kNameCol, kModelCol, kSerialCol, kUntilCol, kKindCol };
}  // namespace verifywnd
