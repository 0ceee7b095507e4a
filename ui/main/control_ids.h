#pragma once

#include <array>

// Control ids of the main window (template 102) and the lists the panels
// walk in a fixed order.
namespace mainwnd {

inline constexpr int kTemplateId = 102;

// Connection panel.
inline constexpr int IDC_PORT_LABEL = 1041;
inline constexpr int IDC_PORT = 1040;
inline constexpr int IDC_ADAPTER_ECHO = 1067;
inline constexpr int IDC_BAUD_LABEL = 1066;
inline constexpr int IDC_BAUD = 1000;
inline constexpr int IDC_CONNECT = 1001;
inline constexpr int IDC_LAMP = 1013;
inline constexpr int IDC_STATUS = 1053;

// The unit's identity and the technician.
inline constexpr int IDC_TAG_LABEL = 1068;
inline constexpr int IDC_TAG = 1069;
inline constexpr int IDC_SERIAL_LABEL = 1070;
inline constexpr int IDC_SERIAL = 1071;
inline constexpr int IDC_MODEL_LABEL = 1072;
inline constexpr int IDC_MODEL = 1073;
inline constexpr int IDC_TECHNICIAN_LABEL = 1074;
inline constexpr int IDC_TECHNICIAN = 1075;

// Parameter panel.
inline constexpr int IDC_SOURCE_LABEL = 1014;
inline constexpr int IDC_SOURCE = 1002;
inline constexpr int IDC_SOURCE_SET = 1003;
inline constexpr int IDC_SOURCE_NOTE = 1015;
inline constexpr int IDC_OFFSET_LABEL = 1016;
inline constexpr int IDC_OFFSET = 1004;
inline constexpr int IDC_OFFSET_UNIT = 1054;
inline constexpr int IDC_OFFSET_SET = 1005;
inline constexpr int IDC_OFFSET_NOTE = 1064;
inline constexpr int IDC_LOWER_LABEL = 1017;
inline constexpr int IDC_LOWER = 1006;
inline constexpr int IDC_LOWER_UNIT = 1055;
inline constexpr int IDC_LOWER_SET = 1007;
inline constexpr int IDC_UPPER_LABEL = 1018;
inline constexpr int IDC_UPPER = 1008;
inline constexpr int IDC_UPPER_UNIT = 1056;
inline constexpr int IDC_UPPER_SET = 1009;
inline constexpr int IDC_RANGE_NOTE = 1065;
inline constexpr int IDC_GAIN_LABEL = 1019;
inline constexpr int IDC_GAIN = 1039;
inline constexpr int IDC_GAIN_SET = 1011;
inline constexpr int IDC_GAIN_NOTE = 1046;
inline constexpr int IDC_TEMP_LABEL = 1027;
inline constexpr int IDC_TEMP = 1020;
inline constexpr int IDC_TEMP_UNIT = 1052;
inline constexpr int IDC_TEMP_SET = 1021;
inline constexpr int IDC_TEMP_NOTE = 1047;

// Calibration panel.
inline constexpr int IDC_ZERO_SAMPLE_LABEL = 1032;
inline constexpr int IDC_ZERO_SAMPLE = 1022;
inline constexpr int IDC_ZERO_SAMPLE_BTN = 1023;
inline constexpr int IDC_FULL_SAMPLE_LABEL = 1036;
inline constexpr int IDC_FULL_SAMPLE = 1024;
inline constexpr int IDC_FULL_SAMPLE_BTN = 1025;
inline constexpr int IDC_NOTE_RTD = 1048;
inline constexpr int IDC_NOTE_TC = 1049;
inline constexpr int IDC_NOTE_OTHER = 1050;
inline constexpr int IDC_ZERO_OUT_LABEL = 1037;
inline constexpr int IDC_ZERO_OUT = 1026;
inline constexpr int IDC_ZERO_OUT_SPIN = 1059;
inline constexpr int IDC_ZERO_OUT_SET = 1033;
inline constexpr int IDC_OUT_NOTE = 1051;
inline constexpr int IDC_FULL_OUT_LABEL = 1038;
inline constexpr int IDC_FULL_OUT = 1028;
inline constexpr int IDC_FULL_OUT_SPIN = 1060;
inline constexpr int IDC_FULL_OUT_SET = 1029;

// Calibration assistant (factory version).
inline constexpr int IDC_TRIM_METER = 1095;
inline constexpr int IDC_ZERO_STABILITY = 1096;
inline constexpr int IDC_FULL_STABILITY = 1097;
inline constexpr int IDC_TREND = 1098;

// Menu commands.
inline constexpr int ID_LANG_CHINESE = 32774;
inline constexpr int ID_LANG_ENGLISH = 32775;
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr int ID_CALIBRATION_REPORT = 32780;
inline constexpr int ID_VERIFY = 32781;
inline constexpr int ID_HISTORY = 32782;
inline constexpr int ID_CONFIG_SAVE = 32783;
inline constexpr int ID_CONFIG_OPEN = 32784;
inline constexpr int ID_CONFIG_COMPARE = 32785;
inline constexpr int ID_CONFIG_APPLY = 32786;

// Bitmaps of the online lamp.
inline constexpr int IDB_OFFLINE = 131;
inline constexpr int IDB_ONLINE = 132;
inline constexpr int IDI_MAIN = 128;

}  // namespace mainwnd
