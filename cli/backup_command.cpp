#include "cli/backup_file.h"
#include "cli/commands.h"

namespace cli {

namespace {

// "{port}" in the file name becomes the port's last path part, so one
// command can save several devices.
std::string FileFor(const std::string& pattern, const std::string& port) {
    const std::size_t at = pattern.find("{port}");
    if (at == std::string::npos) return pattern;
    std::string name = port.substr(port.find_last_of("/\\") + 1);
    return pattern.substr(0, at) + name + pattern.substr(at + 6);
}

}  // namespace

int RunBackup(const RunSettings& settings, const std::string& file) {
    if (settings.ports.size() > 1 && file.find("{port}") == std::string::npos) {
        settings.console->Error(
            "backup of several ports needs {port} in FILE, e.g. backup-{port}.json");
        return kExitUsage;
    }
    return RunOnPorts(settings, true, [&](DeviceSession& session) {
        const RegisterWords words = session.Words();
        const std::vector<int> failed = FailedRegisters(words, protocol::kRegisterCount);
        const std::string path = FileFor(file, session.Port());
        if (!failed.empty()) {
            settings.console->Error(session.Port() + ": " + RegisterList(failed) +
                                    " did not answer; no backup written; try again");
            return kExitNoAnswer;
        }
        const protocol::Configuration backup{UtcNow(), session.Port(), words};
        if (std::string problem = protocol::SaveConfiguration(path, backup); !problem.empty()) {
            settings.console->Error(problem + "; choose a folder you can write to");
            return kExitUsage;
        }
        if (settings.json) {
            settings.console->Print(nlohmann::ordered_json{
                {"format", "corvexa-backup-saved"},
                {"port", session.Port()},
                {"file", path},
                {"time", backup.time},
                {"registers", RegistersJson(words, protocol::kRegisterCount)}}
                                        .dump());
        } else {
            settings.console->Print(session.Port() + ": registers 10 to 23 saved to " + path);
        }
        return kExitOk;
    });
}

}  // namespace cli
