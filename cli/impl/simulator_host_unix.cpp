#include <exception>

#include "cli/simulator_host.h"
#include "sim/simulated_transmitter.h"

namespace cli {

std::shared_ptr<void> StartSimulator(std::string& path, std::string& error) {
    try {
        // Nobody reads its record here: `sample` may poll it for hours.
        corvexa::sim::SimulatedTransmitter::Options options;
        options.recorded = 0;
        auto simulator = std::make_shared<corvexa::sim::SimulatedTransmitter>(options);
        path = simulator->SlavePath();
        return simulator;
    } catch (const std::exception& e) {
        error = std::string("cannot start the simulated transmitter: ") + e.what();
    }
    return nullptr;
}

}  // namespace cli
