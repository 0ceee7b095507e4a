#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/device_session.h"
#include "protocol/calibration_session.h"

namespace cli {

// Exit status of the program.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,           // bad command line or a refused value; nothing was sent
    kExitPort = 3,            // a port could not be opened
    kExitNoAnswer = 4,        // the device did not answer
    kExitNotConfirmed = 5,    // a write was not confirmed
    kExitRefused = 6,         // the device refused a request (a Modbus exception)
    kExitOutOfTolerance = 7,  // a verification point lay outside the tolerance
    kExitDatabase = 8,        // the history database could not be used
};

struct RunSettings {
    std::vector<std::string> ports;
    bool factory = false;
    bool json = false;
    SessionLine line{};
    // Who works on which unit, for the session's record: with a tag or a
    // serial the session is journalled and goes into the history database.
    protocol::SessionContext context{};
    std::string database;  // a SQLite file or a PostgreSQL connection string
    TraceLog* trace = nullptr;
    Console* console = nullptr;
};

// Runs `job` on every port at once, one thread each, on a session that is
// open and connected (handshake and read-all done). Port and handshake
// failures are reported here. Returns the exit status: 0 when every port
// succeeded, else the code of the first port (in the order given) that failed.
// `showProgress`: the read-all's progress on a terminal.
int RunOnPorts(const RunSettings& settings, bool showProgress,
               const std::function<int(DeviceSession&)>& job);

// Whether the session is to be kept: the unit has a tag or a serial.
bool RecordsSessions(const RunSettings& settings);

// Where journals wait for the history database: <data folder>/journal.
std::string JournalFolder();

// A new journal for a session of `identity` under JournalFolder(); when it
// cannot be opened, why on stderr, and nothing.
std::shared_ptr<protocol::SessionJournal> OpenJournal(const RunSettings& settings,
                                                      const protocol::DeviceIdentity& identity);

// Writes the journals that wait into the history database; a database
// that cannot be reached is said on stderr, and they wait on.
void RecordHistory(const RunSettings& settings);

// Why a write is not known to have landed: "not confirmed after 3
// attempts", or the device's refusal or a busy line in words.
std::string NotWrittenText(const protocol::ExchangeOutcome& outcome);

// The diagnosis of a handshake that got no answer, for --json.
std::string DiagnosisJson(const std::string& port, const protocol::LineDiagnosis& diagnosis);
// The JSON line of a port that could not be opened, with why.
std::string PortErrorJson(const std::string& port, const std::string& problem);

// "registers 12, 13" for a message.
std::string RegisterList(const std::vector<int>& registers);

}  // namespace cli
