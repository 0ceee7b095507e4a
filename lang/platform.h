#pragma once

// The few operating-system services the language manager needs, one file
// per platform (impl/unix.cpp). Paths are wide text; failures are reported
// by the return value and never thrown.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lang/slanguage.h"

namespace corvexa::lang::sys {

// Full path of the running executable, empty when it cannot be obtained.
std::wstring ExecutablePath();

// The user's language as a platform language id; 1033 when the
// environment names no language of the table.
uint32_t UserDefaultLangId();

// The platform's per-thread locale, where it has one (Windows).
void SetThreadLocaleId(uint32_t localeId);

// Sets the C run-time character-type locale for the language of row
// (Windows: its code page; elsewhere an installed locale of its locale
// code); false if none took.
bool SetCtypeLocale(const SLanguage& row);

struct DirEntry {
    std::wstring name;  // without folder
    bool isDirectory;
};

// Entries of folder (empty: current directory) whose names end in suffix,
// compared without case, as a wildcard "*<suffix>" would match them.
std::vector<DirEntry> ListFiles(const std::wstring& folder, const std::wstring& suffix);

// What became of looking at or reading a file. Only regular files count:
// a FIFO or a device could block the reader for ever or never end.
enum class FileRead { kOk, kMissing, kNotAFile, kTooLarge, kFailed };

// kOk when path is a regular file that opens for reading.
FileRead ProbeFile(const std::wstring& path);
// Reads the regular file at path whole, when it holds at most maxBytes;
// the size is checked before anything is allocated.
FileRead ReadWholeFile(const std::wstring& path, std::size_t maxBytes, std::vector<uint8_t>* bytes);
bool FileExists(const std::wstring& path);
bool IsWritableDirectory(const std::wstring& path);

// Per-user settings folder with trailing separator, e.g.
// "$XDG_CONFIG_HOME/corvexa/" or "~/.config/corvexa/"; empty if unknown.
std::wstring UserConfigFolder();
bool MakeDirectories(const std::wstring& path);

}  // namespace corvexa::lang::sys

namespace corvexa::lang::sys {

// Writes bytes to a temporary file in the same folder, flushes it to disk
// and renames it over path, so a crash leaves either the old or the new
// file, never half of one. Keeps the permission bits of an existing file.
bool AtomicReplaceFile(const std::wstring& path, const std::string& bytes);

}  // namespace corvexa::lang::sys
