#include <memory>
#include <optional>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/simulator_host.h"
#include "cli/stop_signal.h"
#include "cli/trace_log.h"

namespace {

int RunCommand(const cli::CommandLine& line, cli::RunSettings& settings, cli::Console& console,
               const std::vector<std::string>& ports, const std::string& simulated) {
    using namespace cli;
    if (line.command == "ports") return RunPorts(settings, simulated);
    if (line.command == "history")
        return RunHistory(settings,
                          {line.historyAction, line.since, line.session, !line.csvFile.empty(),
                           line.csvFile.empty() ? line.jsonFile : line.csvFile, line.days,
                           line.intervalModel, line.intervalMonths});
    for (std::size_t i = 0; i < ports.size(); ++i) {
        for (std::size_t j = i + 1; j < ports.size(); ++j) {
            if (ports[i] == ports[j]) {
                console.Error("port " + ports[i] + " is given twice; give each port once");
                return kExitUsage;
            }
        }
    }
    if (ports.empty()) {
        console.Error("no port given; add --port PATH (see corvexa-cli ports) or --simulate");
        return kExitUsage;
    }
    if (line.command == "read") return RunRead(settings);
    if (line.command == "write") return RunWrite(settings, line.assignments, line.force);
    if (line.command == "sample") return RunSample(settings, line.which, line.count);
    if (line.command == "commission")
        return RunCommission(settings, {line.templateFile,
                                        line.serialFrom,
                                        line.units,
                                        line.verify,
                                        {line.points, line.output, line.tolerance, "as-left"}});
    if (line.command == "verify")
        return RunVerify(settings, {line.points, line.output, line.tolerance, line.stage});
    // Backups hold and restores compare all of registers 10..23; the output
    // words the trim starts from are registers 22 and 23.
    settings.factory = true;
    if (line.command == "trim")
        return RunTrim(settings, {line.zeroMeasured, line.fullMeasured, line.signal, line.dryRun});
    if (line.command == "backup") return RunBackup(settings, line.file);
    return RunRestore(settings, line.file, line.withCalibration, line.dryRun, line.force);
}
}  // namespace

int main(int argc, char** argv) {
    using namespace cli;
    CommandLine line;
    if (const std::optional<int> done = ParseCommandLine(argc, argv, line)) return *done;
    InstallStopSignals();

    Console console;
    std::vector<std::string> ports = line.ports;
    std::shared_ptr<void> simulator;
    std::string simulated;
    if (line.simulate) {
        std::string error;
        simulator = StartSimulator(simulated, error);
        if (!simulator) {
            console.Error(error);
            return kExitPort;
        }
        ports.push_back(simulated);
    }

    std::unique_ptr<TraceLog> trace;
    if (!line.trace.empty()) {
        trace = std::make_unique<TraceLog>(line.trace);
        if (!trace->error().empty()) {
            console.Error(trace->error());
            return kExitUsage;
        }
        trace->SetNamePorts(ports.size() > 1);
    }

    RunSettings settings;
    settings.ports = ports;
    settings.factory = line.factory;
    settings.json = line.json;
    settings.line.baud = line.baud;
    settings.line.echo = line.echo == "on"    ? protocol::EchoMode::On
                         : line.echo == "off" ? protocol::EchoMode::Off
                                              : protocol::EchoMode::Auto;
    settings.trace = trace.get();
    settings.console = &console;
    settings.database = line.database.empty() ? DefaultDatabase() : line.database;
    settings.context = {
        {line.tag, line.serial, line.model}, line.technician, "Corvexa " CORVEXA_VERSION};

    const int status = RunCommand(line, settings, console, ports, simulated);
    if (trace) {
        trace->Drain();
        // Said once; the exchanges' outcome, and so the status, stand.
        if (const std::string problem = trace->WriteError(); !problem.empty())
            console.Error(problem);
    }
    return StopRequested() ? StopStatus() : status;
}
