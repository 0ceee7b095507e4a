#pragma once

#include <string>
#include <vector>

// What the command line asked for. Parsed before Qt is touched, so --help
// and --version work without a display.
struct SOptions {
    bool simulate = false;           // run the simulated transmitter in-process
    std::vector<std::string> ports;  // extra ports the system does not list
    std::string trace;               // non-empty: append the traffic to this file
    bool help = false;
    bool version = false;
    std::string error;  // non-empty: the line to print, exit 2
};

SOptions ParseOptions(const std::vector<std::string>& args);

// Usage text for --help, program name first.
std::string UsageText(const std::string& program);
