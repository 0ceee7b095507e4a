#include "cli/simulator_host.h"

namespace cli {

// The simulator plays its part on a pseudo-terminal, which Windows lacks;
// there, run corvexa-sim under Linux or Wine and map a COM port to it.
std::shared_ptr<void> StartSimulator(std::string&, std::string& error) {
    error = "--simulate is not available on Windows; connect to corvexa-sim through a COM port";
    return nullptr;
}

}  // namespace cli
