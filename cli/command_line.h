#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct CommandLine {
    std::vector<std::string> ports;
    bool factory = false;
    bool json = false;
    std::string trace;
    bool simulate = false;
    int baud = 9600;
    std::string echo = "auto";  // auto, on, off

    std::string command;                    // ports, read, write, sample, trim, backup, restore
    std::vector<std::string> assignments;   // write
    bool force = false;                     // write
    std::string which;                      // sample: zero or full
    int count = 10;                         // sample
    std::string file;                       // backup, restore
    bool withCalibration = false;           // restore
    bool dryRun = false;                    // restore, trim
    std::string zeroMeasured;               // trim
    std::string fullMeasured;               // trim
    std::string signal = "4-20mA";          // trim
    std::string points = "0,25,50,75,100";  // verify
    std::string output = "4-20mA";          // verify
    std::string tolerance = "0.25";         // verify
    std::string stage = "as-found";         // verify
    std::string tag, serial, model, technician;
    std::string database;           // empty: the default file under the data folder
    std::string historyAction;      // history: list, show, export, due
    std::string since;              // history list, export
    long long session = 0;          // history show
    std::string csvFile, jsonFile;  // history export
    int days = 30;                  // history due
    std::string intervalModel;      // history interval
    int intervalMonths = 12;
    std::string templateFile;   // commission
    long long serialFrom = -1;  // commission
    long long units = -1;       // commission
    bool verify = false;        // commission
};

// Fills `line` from the arguments. Returns the exit status when the
// program is done already: 0 after --help, 2 after a mistake (reported on
// stderr in one line).
std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& line);

}  // namespace cli
