#pragma once

// The History window's texts and the history database's status (Main group).
namespace historytext {

enum : int {
    kTxtHistoryMenu = 350,
    kTxtHistoryTitle = 351,
    kTxtHistorySearch = 352,
    kTxtHistoryTag = 353,
    kTxtHistorySerial = 354,
    kTxtHistoryModel = 355,
    kTxtHistorySessions = 356,
    kTxtHistoryLastSession = 357,
    kTxtHistoryStarted = 358,
    kTxtHistoryTechnician = 359,
    kTxtHistoryAsFound = 360,
    kTxtHistoryAsLeft = 361,
    kTxtHistoryCertificate = 362,
    kTxtHistoryOpenCertificate = 363,
    kTxtHistoryChart = 364,
    kTxtHistoryUnusable = 365,
    kTxtHistoryWaiting = 366,
    kTxtHistoryRemade = 367,
    kTxtHistoryNotDone = 368,
};

}  // namespace historytext
