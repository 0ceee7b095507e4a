#pragma once

// Reader and writer of Windows-style private profile files ("ini"), with
// the platform's rules: section and key names compared without case, the
// first matching section and key win, everything else in the file (other
// sections, keys, comments, blank lines, line endings) is kept on a write.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvexa::lang {

// Value of key in section, trimmed and with one pair of enclosing quotes
// removed; nullopt when the section or key is absent.
std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key);

// content with key=value set in section: an existing key line is replaced,
// a missing key is added at the end of the section, a missing section is
// appended to the file.
std::string SetProfileValue(std::string_view content, std::string_view section,
                            std::string_view key, std::string_view value);

// Integer reading as GetPrivateProfileInt does it: default when the key is
// absent or empty, otherwise leading blanks, optional sign and decimal
// digits (hexadecimal after "0x") up to the first other character; no
// digits reads as 0. A negative
// number comes back in two's complement, as the unsigned result there.
uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key, uint32_t defaultValue,
                              const std::wstring& path);

// The value of key in section as GetPrivateProfileString gives it; nullopt
// when the file, the section or the key is absent.
std::optional<std::string> GetPrivateProfileText(std::string_view section, std::string_view key,
                                                 const std::wstring& path);

// Creates the file when missing. Returns false if it could not be written.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::wstring& path);

}  // namespace corvexa::lang
