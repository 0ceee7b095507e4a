#include "res/strings/stringtable.h"

#include <iterator>

namespace corvexa::res {
namespace {

// Index = id - 101. Kept as one dense array: the ids are contiguous.
constexpr const wchar_t* kStrings[] = {
    L"关于 Corvexa(&A)...",  // 101, about-box entry of the system menu
    L"Corvexa Utility",
    L"User Version",
    L"Factory Version",
    L"COM",  // 105
    L"Baud Rate",
    L"Connect Device",
    L"Disconnect Device",
    L"Device is online",
    L"Device is offline",  // 110
    L"Signal Source",
    L"This parameter is used for the temperature transmitter",
    L"Null Offset",
    L"Zero offset is used for physical quantity correction: output value = "
    L"measured value + zero offset value",
    L"Upper Limit",  // 115
    L"Lower Limit",
    L"The upper and lower ranges are the transmission ranges and are only "
    L"used for thermal resistors/thermocouples",
    L"Gain",
    L"This parameter is also used for float liquid level",
    L"Temp.Comp",  // 120
    L"Temperature compensation is only used for thermocouple transmitters "
    L"and is set to the current ambient temperature",
    L"Zero Sample",
    L"Full Sample",
    L"Thermal resistance: zero sampling should give 100Ω signal; 300Ω "
    L"signal should be given when full sampling",
    L"Thermocouple: zero sampling should give 0mV signal; 80mV signal should "
    L"be given when full sampling",  // 125
    L"Other classes: Set according to sensor requirements",
    L"Zero Output",
    L"Full Output",
    L"Zero output value adjustment to 4mA current or voltage signal (0-10V)",
    L"Read",  // 130
    L"Modify",
    L"Set",
    L"Parameter modification succeeded",
    L"Parameter modification failed",
    L"OK",  // 135
    L"Cancel",
    L"Password",
    L"Password is incorrect, please re-enter",
    L"Enter Password",
    L"Language",  // 140
    L"Simplified Chinese",
    L"English",
    L"K Type",
    L"S Type",
    L"R Type",  // 145
    L"B Type",
    L"N Type",
    L"E Type",
    L"J Type",
    L"T Type",  // 150
    L"Float Level",
    L"Not sent: not a number. It takes %1 to %2",
    L"Not sent: out of range. It takes %1 to %2",
    L"Not sent: nothing selected",
    L"The lower limit is at or above the upper limit. Send it anyway?",  // 155
    L"Cannot open %1: there is no such port. Check that the adapter is plugged in and choose the "
    L"port again.",  // 156
    L"Cannot open %1: permission denied. The port belongs to the group %2; add your user to it "
    L"with: sudo usermod -aG %2 $USER, then log out and in again.",
    L"Cannot open %1: permission denied. Ask for read and write access to the port.",
    L"Cannot open %1: it is in use by %2. Close that program and try again.",
    L"Cannot open %1: it is in use by another program. Close that program and try again.",  // 160
    L"Cannot open %1: it is not a serial port.",
    L"Cannot open %1: %2",
    L"The transmitter did not answer on %1 at 9600 baud, 8N1. Check the wiring, the transmitter's "
    L"power supply and that this is the port it is connected to.",
    L"Reading parameters %1 of %2",
    L"Online; %1 of %2 parameters did not answer",  // 165
    L"no answer",
    L"The port %1 was lost (adapter pulled or line hung up). The device is offline.",
    L"no reading",
    L"Not stored: no fresh reading came from the device",
};

// Index = id - 230: the main window's status and menu texts.
constexpr const wchar_t* kMoreStrings[] = {
    L"Waiting for the transmitter to answer…",  // 230
    L"Sending…",
    L"About Corvexa…",
    L"USB %1:%2",
    L"Serial number %1",
};

static_assert(std::size(kStrings) == kLastBuiltinString - kFirstBuiltinString + 1);
static_assert(std::size(kMoreStrings) == kLastMoreString - kFirstMoreString + 1);

// The calibration assistant's texts, from 170 on.
constexpr const wchar_t* kCalibrationStrings[] = {
    L"Stable",                       // 170
    L"Not stable",                   // 171
    L"Mean",                         // 172
    L"Std. dev.",                    // 173
    L"Drift/min",                    // 174
    L"Waiting for 5 s of readings",  // 175
    L"The reading was not stable",   // 176
    L"Last 60 s",                    // 177
    L"Trim with a meter…",           // 178
    L"Output",                       // 179
    (L"Apply the zero input, read the meter and type its reading; then apply the full input "
     L"and type that reading."),                                       // 180
    L"Target",                                                         // 181
    L"Meter reading",                                                  // 182
    L"Word now",                                                       // 183
    L"New word",                                                       // 184
    L"Send new words",                                                 // 185
    L"Another round",                                                  // 186
    L"Close",                                                          // 187
    L"Type both readings",                                             // 188
    L"A reading is not a number",                                      // 189
    L"The two readings are equal",                                     // 190
    L"The full reading is below the zero reading",                     // 191
    L"A new word would fall outside 0 to 65535",                       // 192
    L"New words sent. For another round apply the zero input again.",  // 193
    L"Report…",                                                        // 194
    L"Calibration report",                                             // 195
    L"Technician's name",                                              // 196
    L"Port",                                                           // 197
    L"Date and time",                                                  // 198
    L"Technician",                                                     // 199
    L"Parameter",                                                      // 200
    L"Register",                                                       // 201
    L"As found",                                                       // 202
    L"As left",                                                        // 203
    L"Changed",                                                        // 204
    L"changed",                                                        // 205
    L"not read",                                                       // 206
    L"Changes",                                                        // 207
    L"Time",                                                           // 208
    L"Old value",                                                      // 209
    L"New value",                                                      // 210
    L"Result",                                                         // 211
    L"Succeeded",                                                      // 212
    L"Failed",                                                         // 213
    L"No answer yet",                                                  // 214
    L"Stored samples",                                                 // 215
    L"Stability",                                                      // 216
    L"Output trims",                                                   // 217
    L"Old words",                                                      // 218
    L"New words",                                                      // 219
    L"Unit",                                                           // 220
    L"Baud rate",                                                      // 221
    L"Decimal places",                                                 // 222
    L"Reserved",                                                       // 223
    L"None",                                                           // 224
    L"Connect to the transmitter first.",                              // 225
    L"Report saved: %1 and %2",                                        // 226
    L"The report could not be saved: %1",                              // 227
    L"Reading the transmitter back for the report…",                   // 228
};

static_assert(std::size(kCalibrationStrings) ==
              kLastCalibrationString - kFirstCalibrationString + 1);

// Index = id - 240: the traffic window.
constexpr const wchar_t* kTrafficStrings[] = {
    L"Traffic",  // 240
    L"Pause",
    L"Resume",
    L"Clear",
    L"Copy",
    L"Save…",  // 245
    L"Time",
    L"Dir.",
    L"Bytes",
    L"Meaning",
    (L"Requests %1   Replies %2   Time-outs %3   Retries %4   Late replies discarded %5   "
     L"Unexpected bytes %6   CRC errors %7"),  // 250
    L"Reply time min / median / max: %1 / %2 / %3 ms",
    L"Text files (*.txt)",
    L"CSV files (*.csv)",
    L"Save traffic",
    L"%1 entries (the last %2 are kept)",  // 255
    L"The file could not be written: %1",
};

static_assert(std::size(kTrafficStrings) == kLastTrafficString - kFirstTrafficString + 1);

// Index = id - 260: refusals by the device, a busy line, the adapter's echo and the line
// doctor.
constexpr const wchar_t* kLinkStrings[] = {
    L"refused: %1",  // 260
    L"The transmitter refused %1: %2",
    L"The line never fell quiet, so nothing was sent: another device is talking on it, or it "
    L"runs at another baud rate.",
    L"illegal function",
    L"illegal data address",
    L"illegal data value",  // 265
    L"device failure",
    L"acknowledge",
    L"device busy",
    L"unknown exception",
    L"The line on %1 never fell quiet, so nothing was sent: another device is talking on it, or "
    L"it runs at another baud rate.",  // 270
    L"Adapter echo",
    L"Tick for a two-wire RS-485 adapter that gives back everything it sends. Unticked, an echo is "
    L"found on the connect request.",
    L"The device on %1 did not answer at %2 baud.",
    L"Nothing came back: check the device's power, the wiring and that this is its port.",
    L"Only our own requests came back: the adapter echoes what it sends and the device is silent. "
    L"Check the device's power and its A/B wiring.",  // 275
    L"Bytes came back that form no reply (%1): the wrong baud rate or parity, A and B swapped, or "
    L"another device on the line.",
    L"It answered at %1 baud: choose %1 in Baud Rate.",
    L"It did not answer at %1 baud either.",
    L"Looking for the device at %1 baud\u2026",
    L"Driver: %1",  // 280
    L"Latency timer: %1 ms",
    L"The latency timer stays at %1 ms: it could not be lowered (see \u201CWhen the device does "
    L"not answer\u201D in the README).",
};

static_assert(std::size(kLinkStrings) == kLastLinkString - kFirstLinkString + 1);

// Index = id - 290: identity, verification and the certificate.
constexpr const wchar_t* kCertificateStrings[] = {
    L"Tag",  // 290
    L"Serial No.",
    L"Model",
    L"Technician",
    L"The transmitter holds no identity: type or scan its tag, serial number and model. Enter "
    L"moves to the next field.",
    L"Verify\u2026",  // 295
    L"Verification",
    L"Stage",
    L"As found (before any change)",
    L"As left (after the adjustment)",
    L"Output",  // 300
    L"Tolerance (% of span)",
    L"Test points (% of range)",
    L"New run",
    L"Record",
    L"Point",  // 305
    L"Applied",
    L"Expected",
    L"Measured",
    L"Error (% of span)",
    L"PASS",  // 310
    L"FAIL",
    L"Reference instruments",
    L"Used",
    L"Name",
    L"Calibrated until",  // 315
    L"Kind",
    L"Output meter",
    L"Input source",
    L"Add",
    L"Remove",  // 320
    L"past its calibration date",
    L"These reference instruments are past their calibration date: %1. The certificate will mark "
    L"them.",
    L"The lower and upper limit are equal, so the range has no span.",
    L"Give 3 to 11 test points between 0 and 100, separated by commas.",
    L"The tolerance is a number above 0 and at most 100.",  // 325
    L"Recorded: %1, %2.",
    L"In progress",
    L"Calibration Certificate",
    L"Certificate No.",
    L"Software",  // 330
    L"Device",
    L"Range",
    L"As-found verification",
    L"As-left verification",
    L"Not done",  // 335
    L"Tolerance \u00B1%1 % of span, %2 output; result: %3",
    L"Signatures",
    L"Reviewer",
    L"Signature and date",
    L"Appendix: register words",  // 340
    L"An unfinished session of %1 from %2 was found in the journal. Make its certificate now?",
    L"This session changed the transmitter and has no certificate yet. Close anyway?",
    L"The session journal cannot be written: %1",
    L"Type the applied value and what the meter reads for each point.",
    L"Measure every point before recording.",  // 345
    L"Output",
    L"Write the date as YYYY-MM-DD.",
    L"Changes made in this session",
    L"(from the journal of an unfinished session)",
};

static_assert(std::size(kCertificateStrings) ==
              kLastCertificateString - kFirstCertificateString + 1);

const wchar_t* const kHistoryStrings[] = {
    L"History…",  // 350
    L"History",
    L"Tag or serial number",
    L"Tag",
    L"Serial No.",
    L"Model",  // 355
    L"Sessions",
    L"Last session",
    L"Started",
    L"Technician",
    L"As found",  // 360
    L"As left",
    L"Certificate",
    L"Open certificate",
    L"As-found error at each calibration (% of span)",
    L"The history database cannot be used: %1",  // 365
    L"History database unreachable: %1 finished session(s) wait in the journal.",
    L"Made again from the history: %1",
    L"Not done",
};

static_assert(std::size(kHistoryStrings) == kLastHistoryString - kFirstHistoryString + 1);

const wchar_t* const kConfigurationStrings[] = {
    L"Configuration",  // 370
    L"Save…",
    L"Open…",
    L"Compare with device",
    L"Apply to device",
    L"Configuration file",  // 375
    L"Showing the file %1, not a device",
    L"Nothing to save: connect to a device or open a file first.",
    L"Open a configuration file first.",
    L"Connect to the device first.",
    L"Parameter",  // 380
    L"Device",
    L"File",
    L"Result",
    L"differs",
    L"same",  // 385
    L"Nothing was sent: %1",
    L"written and read back",
    L"not written: %1",
    L"written, read back differs",
    L"not sent",  // 390
    L"not read by this version",
    L"The device already holds the file's values; nothing was sent.",
    L"Saved to %1",
    L"written, read back failed",
    L"%1: code %2 is not one of its choices",  // 395
    L"Lower Limit %1 is not below Upper Limit %2",
    L"kept: calibration of this unit",
    L"The file cannot be used: %1",
    L"Not every register was read (%1); a configuration file holds all of them.",
    L"File: %1",  // 400
    L"The file has %1 decimal places, the device %2: its scaled values read differently here",
};

static_assert(std::size(kConfigurationStrings) ==
              kLastConfigurationString - kFirstConfigurationString + 1);

}  // namespace

const wchar_t* LoadBuiltinString(int id) {
    if (id >= kFirstConfigurationString && id <= kLastConfigurationString)
        return kConfigurationStrings[id - kFirstConfigurationString];
    if (id >= kFirstHistoryString && id <= kLastHistoryString)
        return kHistoryStrings[id - kFirstHistoryString];
    if (id >= kFirstCertificateString && id <= kLastCertificateString)
        return kCertificateStrings[id - kFirstCertificateString];
    if (id >= kFirstLinkString && id <= kLastLinkString) return kLinkStrings[id - kFirstLinkString];
    if (id >= kFirstTrafficString && id <= kLastTrafficString)
        return kTrafficStrings[id - kFirstTrafficString];
    if (id >= kFirstCalibrationString && id <= kLastCalibrationString)
        return kCalibrationStrings[id - kFirstCalibrationString];
    if (id >= kFirstMoreString && id <= kLastMoreString) return kMoreStrings[id - kFirstMoreString];
    if (id < kFirstBuiltinString || id > kLastBuiltinString) return nullptr;
    return kStrings[id - kFirstBuiltinString];
}

}  // namespace corvexa::res
