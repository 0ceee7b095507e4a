#pragma once

#include <string>
#include <vector>

namespace cli::testing {

struct CliRun {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs the built corvexa-cli with `args` and waits for it.
CliRun RunCli(const std::vector<std::string>& args);

// Lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace cli::testing
