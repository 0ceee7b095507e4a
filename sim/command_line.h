#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "sim/simulated_transmitter.h"

namespace corvexa::sim {

struct ToolOptions {
    SimulatedTransmitter::Options simulator;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> registers;
    bool trace = false;
    bool help = false;
    bool version = false;
};

// The options of corvexa-sim (without the program name). On a mistake the
// result is the message to show, e.g. "bad value for --delay: soon".
std::variant<ToolOptions, std::string> ParseCommandLine(const std::vector<std::string>& args);

std::string Usage();

}  // namespace corvexa::sim
