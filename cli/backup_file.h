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

// The file's text.
std::string BackupText(const Backup& backup);
// Reads a backup from its text; `name` names it in the reason when it is
// not one (a field of the wrong type, a missing or out-of-range word).
std::string ParseBackup(const std::string& text, const std::string& name, Backup& backup);

// Writes the file (replacing it); the reason when it cannot.
std::string SaveBackup(const std::string& path, const Backup& backup);
// Reads the file; the reason when it is missing, over 1 MiB, not JSON, has
// a field of the wrong type or lacks a word of registers 10..23 (0 to 65535).
std::string LoadBackup(const std::string& path, Backup& backup);

std::string UtcNow();

}  // namespace cli
