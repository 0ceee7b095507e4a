#pragma once

#include <string>

namespace CLI {
class App;
}

namespace cli {

// A bash completion script for the program `app` describes: its commands
// (and theirs), the options of each, ports after --port and file names
// after the options that take a value.
std::string BashCompletion(const CLI::App& app);

}  // namespace cli
