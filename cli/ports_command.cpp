#include "cli/commands.h"
#include "cli/text.h"
#include "serial/list_ports.h"
#include "serial/port_access.h"

namespace cli {

namespace {

const char* StateText(serial::PortState state) {
    switch (state) {
        case serial::PortState::Free:
            return "free";
        case serial::PortState::Busy:
            return "busy";
        case serial::PortState::NoPermission:
            return "no permission";
        case serial::PortState::Missing:
            return "missing";
        case serial::PortState::Unusable:
            break;
    }
    return "unusable";
}

struct Entry {
    std::string path;
    std::string name;
    bool usb = false;
};

}  // namespace

int RunPorts(const RunSettings& settings, const std::string& simulated) {
    std::vector<Entry> entries;
    try {
        std::vector<SSerInfo> found;
        ListSerialPorts(found, false);
        for (const SSerInfo& info : found) {
            entries.push_back({ToUtf8(info.devicePath), ToUtf8(info.friendlyName), info.isUsb});
        }
    } catch (const CSerialListException& e) {
        settings.console->Error(std::string("cannot list the serial ports: ") + e.what());
        return kExitPort;
    }
    // Ports given on the command line (the simulator, a virtual port) too.
    for (const std::string& port : settings.ports) {
        entries.push_back(
            {port, port == simulated ? "Simulated transmitter (" + port + ")" : port, false});
    }

    std::vector<std::vector<std::string>> rows{{"path", "name", "stable path", "usb", "state"}};
    for (const Entry& e : entries) {
        const std::string stable = serial::StableName(e.path);
        const char* state = StateText(serial::ProbePort(e.path));
        if (settings.json) {
            settings.console->Print(nlohmann::ordered_json{
                {"format", "corvexa-port"},
                {"path", e.path},
                {"name", e.name},
                {"stable_path",
                 stable.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(stable)},
                {"usb", e.usb},
                {"state", state}}.dump());
        } else {
            rows.push_back(
                {e.path, e.name, stable.empty() ? "-" : stable, e.usb ? "yes" : "no", state});
        }
    }
    if (!settings.json) {
        settings.console->Print(entries.empty() ? std::string("no serial ports found")
                                                : AlignedTable(rows));
    }
    return kExitOk;
}

}  // namespace cli
