#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cli/port_runner.h"
#include "protocol/verification.h"

namespace cli {

// `simulated`: the path of the --simulate transmitter, if any.
int RunPorts(const RunSettings& settings, const std::string& simulated);
int RunRead(const RunSettings& settings);
int RunWrite(const RunSettings& settings, const std::vector<std::string>& assignments, bool force);
int RunSample(const RunSettings& settings, const std::string& which, int count);
struct TrimOptions {
    std::string zero;  // meter reading at the zero input, as typed
    std::string full;  // at the full input
    std::string signal = "4-20mA";
    bool dryRun = false;
};
int RunTrim(const RunSettings& settings, const TrimOptions& options);
struct VerifyOptions {
    std::string points = "0,25,50,75,100";  // % of the range
    std::string output = "4-20mA";
    std::string tolerance = "0.25";  // % of the output's span
    std::string stage = "as-found";
};
int RunVerify(const RunSettings& settings, const VerifyOptions& options);
// The options' plan, checked as far as it can be without the device; the
// refusal in words otherwise.
std::variant<protocol::VerificationPlan, std::string> PlanOf(const VerifyOptions& options);
// The plan's range from the device's limits (registers 16 and 17); the
// refusal when they were not read or make no range.
std::string SetRange(protocol::VerificationPlan& plan, const RegisterWords& words);
// " °C": the unit of the range as the device names it; empty when unknown.
std::string RangeUnit(const RegisterWords& words);
// Where a verification's readings come from, one line per point:
// "applied,measured", or the measured value alone at the nominal input.
struct PointSource {
    // The line for point `index` (0-based); nothing when no more come.
    std::function<std::optional<std::string>(std::size_t index)> next;
    // A line that is no reading was given: true to ask for the point again.
    std::function<bool(const std::string& line)> refused;
};
// The run of `plan` from the readings `source` gives, as far as it gives them.
protocol::VerificationRun ReadPoints(const protocol::VerificationPlan& plan,
                                     protocol::VerificationStage stage, const PointSource& source);
// "point 2 of 5: apply 25 % = 12.5 °C": what the technician does for a point.
std::string PointPrompt(const protocol::VerificationPlan& plan, std::size_t index,
                        const std::string& unit);
struct HistoryOptions {
    std::string action;  // list, show, export, due
    std::string since;   // YYYY-MM-DD
    std::int64_t session = 0;
    bool csv = false;  // export: CSV, else JSON
    std::string file;
    int days = 30;
    std::string model;  // interval
    int months = 12;
};
// The history database's commands; the tag filter is --tag.
int RunHistory(const RunSettings& settings, const HistoryOptions& options);
// <data folder>/history.sqlite; empty where there is no history database.
std::string DefaultDatabase();

struct CommissionOptions {
    std::string templateFile;   // a file made by backup
    long long serialFrom = -1;  // count serials up from here; -1: read identities from stdin
    long long units = -1;       // with serialFrom: how many units, -1 until stopped
    // As left, after the template is applied; the readings come as lines
    // "PORT READING" on standard input.
    bool verify = false;
    VerifyOptions verification;
};
// Unit after unit on every port at once: wait for a device, take its
// identity, apply the template, read back, record, wait until it is gone.
int RunCommission(const RunSettings& settings, const CommissionOptions& options);

int RunBackup(const RunSettings& settings, const std::string& file);
// Every word of the file passes the checks `write` makes, or nothing is sent.
int RunRestore(const RunSettings& settings, const std::string& file, bool withCalibration,
               bool dryRun, bool force);

// The read-all of a session as JSON ("registers", "parameters", "failed")
// and as an aligned table; shared by read and backup.
using protocol::ParametersJson;
using protocol::RegistersJson;
std::vector<int> FailedRegisters(const RegisterWords& words, int count);
using ReadFailures = DeviceSession::ReadFailures;
// A failed read shows as "(no answer)" or, refused, with the device's words.
std::string RegistersTable(const std::string& port, const RegisterWords& words, int count,
                           const ReadFailures& failures = {});
// The registers the device refused to read, and their words by register.
std::vector<int> RefusedRegisters(const ReadFailures& failures, int count,
                                  nlohmann::ordered_json& words);

// Left-aligned columns separated by two blanks.
std::string AlignedTable(const std::vector<std::vector<std::string>>& rows);

}  // namespace cli
