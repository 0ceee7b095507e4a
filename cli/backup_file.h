#pragma once

#include <string>

#include "cli/parameters.h"

namespace cli {

// A saved configuration: registers 10..23 as raw words, plus what a person
// reads (time, port, shown values). Only the words are restored.
struct Backup {
    std::string time;  // UTC, ISO 8601
    std::string port;
    RegisterWords words;
};

// Writes the file (replacing it); the reason when it cannot.
std::string SaveBackup(const std::string& path, const Backup& backup);
// Reads the file; the reason when it is missing, not JSON or lacks a word
// of registers 10..23 (0 to 65535).
std::string LoadBackup(const std::string& path, Backup& backup);

std::string UtcNow();

}  // namespace cli
