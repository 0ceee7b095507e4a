#pragma once

#include <memory>
#include <string>

namespace cli {

// The built-in simulated transmitter for --simulate, running in this
// process until the returned owner is released. Null with `error` set where
// it cannot run.
std::shared_ptr<void> StartSimulator(std::string& path, std::string& error);

}  // namespace cli
