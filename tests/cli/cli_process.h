#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace cli::testing {

struct CliRun {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs the built corvexa-cli with `args` and waits for it; `whileRunning`
// gets its process id first (to signal it).
CliRun RunCli(const std::vector<std::string>& args,
              const std::function<void(pid_t)>& whileRunning = {});
// Runs `script` with bash -c, the built corvexa-cli as $0.
CliRun RunShell(const std::string& script);

// Lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace cli::testing
