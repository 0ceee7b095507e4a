#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace history {

// SHA-256 (FIPS 180-4) as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);
// Of a file's contents; nothing when it cannot be read.
std::optional<std::string> FileSha256Hex(const std::filesystem::path& file);

}  // namespace history
