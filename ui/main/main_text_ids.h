#pragma once

// Numbers of the main window's texts in group "Main" (caption, labels,
// notes, buttons, menu, notices, traffic window); the built-in table holds
// each.
namespace maintext {

enum : int {
    // Window caption and connection panel.
    kCaptionText = 102,
    kPortLabelText = 105,
    kBaudLabelText = 106,
    kConnectText = 107,
    kDisconnectText = 108,
    kOnlineText = 109,
    kOfflineText = 110,
    // Parameter and calibration panels: labels and notes.
    kSourceLabelText = 111,
    kSourceNoteText = 112,
    kOffsetLabelText = 113,
    kOffsetNoteText = 114,
    kUpperLabelText = 115,
    kLowerLabelText = 116,
    kRangeNoteText = 117,
    kGainLabelText = 118,
    kGainNoteText = 119,
    kTempLabelText = 120,
    kTempNoteText = 121,
    kZeroSampleLabelText = 122,
    kFullSampleLabelText = 123,
    kRtdNoteText = 124,
    kTcNoteText = 125,
    kOtherNoteText = 126,
    kZeroOutLabelText = 127,
    kFullOutLabelText = 128,
    kOutNoteText = 129,
    // Button words and the write result.
    kReadText = 130,
    kModifyText = 131,
    kSetText = 132,
    kWriteSucceededText = 133,
    kWriteFailedText = 134,
    // Menu.
    kLanguageText = 140,
    kChineseText = 141,
    kEnglishText = 142,
    // Refused writes.
    kNotANumberText = 152,
    kOutOfRangeText = 153,
    kNoSelectionText = 154,
    kLimitsInvertedText = 155,
    // Why a port did not open.
    kNoSuchPortText = 156,
    kNoPermissionGroupText = 157,
    kNoPermissionText = 158,
    kBusyHolderText = 159,
    kBusyText = 160,
    kNotSerialText = 161,
    kOtherOpenFailureText = 162,
    // Link status, field marks and refused samples.
    kNoHandshakeText = 163,
    kReadingText = 164,
    kOnlineWithGapsText = 165,
    kNoAnswerMarkText = 166,
    kPortLostText = 167,
    kNoReadingText = 168,
    kNotFreshText = 169,
    // What the device refused, and a line that never fell quiet.
    kRefusedMarkText = 260,
    kRefusedText = 261,
    kLineBusyText = 262,
    // Modbus exception codes 1..6 are 263..268; any other is 269.
    kFirstExceptionText = 263,
    kOtherExceptionText = 269,
    kLineBusyOnPortText = 270,
    // The adapter's echo, the line doctor and the port's latency.
    kAdapterEchoText = 271,
    kAdapterEchoTipText = 272,
    kNoAnswerAtText = 273,
    kHeardNothingText = 274,
    kHeardOwnEchoText = 275,
    kHeardNoReplyText = 276,
    kAnsweredAtText = 277,
    kNotAnsweredAtText = 278,
    kProbingText = 279,
    kDriverText = 280,
    kLatencyText = 281,
    kLatencyStuckText = 282,
    // Calibration assistant.
    kConnectFirstText = 225,
    kReportSavedText = 226,
    kReportFailedText = 227,
    kReadingBackText = 228,
    // Busy rows, about entry, port entries.
    kWaitingText = 230,
    kSendingText = 231,
    kAboutText = 232,
    kUsbIdText = 233,
    kSerialNumberText = 234,
    // Traffic menu entry and window.
    kTrafficText = 240,
    kTrafficPauseText = 241,
    kTrafficResumeText = 242,
    kTrafficClearText = 243,
    kTrafficCopyText = 244,
    kTrafficSaveText = 245,
    kTrafficTimeText = 246,
    kTrafficDirectionText = 247,
    kTrafficBytesText = 248,
    kTrafficMeaningText = 249,
    kTrafficCountersText = 250,
    kTrafficLatencyText = 251,
    kTrafficTextFilesText = 252,
    kTrafficCsvFilesText = 253,
    kTrafficSaveTitleText = 254,
    kTrafficRowsText = 255,
    kTrafficNotWrittenText = 256,
};

// Built-in string whose presence offers the about entry.
inline constexpr int kAboutBoxString = 101;

}  // namespace maintext
