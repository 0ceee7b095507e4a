#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "protocol/device_parameters.h"

namespace protocol {

// A device's configuration as a file: registers 10..23 as raw words, plus
// what a person reads (time, port, shown values). Only the words are used
// when it is read back. corvexa-cli's backup and the window's Save… write
// the same file.
struct Configuration {
    std::string time;  // UTC, ISO 8601
    std::string port;
    RegisterWords words;
};

// The file's text.
std::string ConfigurationText(const Configuration& configuration);
// Reads a configuration from its text; `name` names it in the reason when
// it is not one (a field of the wrong type, a missing or out-of-range word).
std::string ParseConfiguration(const std::string& text, const std::string& name,
                               Configuration& configuration);

// Writes the file (replacing it); the reason when it cannot.
std::string SaveConfiguration(const std::string& path, const Configuration& configuration);
// Reads the file; the reason when it is missing, over 1 MiB, not JSON, has
// a field of the wrong type or lacks a word of registers 10..23 (0 to 65535).
std::string LoadConfiguration(const std::string& path, Configuration& configuration);

// The words by register number ("10": word), those read only.
nlohmann::ordered_json RegistersJson(const RegisterWords& words, int count);
// The shown values by command-line name, for people and scripts.
nlohmann::ordered_json ParametersJson(const RegisterWords& words, int count);
// One register's value as JSON: a code's name, a number, the exact scaled
// value; null when a register it needs was not read.
nlohmann::ordered_json ShownJson(int index, const RegisterWords& words);

}  // namespace protocol
