// The settings file's reader and writer on arbitrary content: a name set to
// a value reads back as that value, and setting it never changes the
// language choice kept in the same file. Input: content, then NUL, name,
// NUL, value.

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lang/profile.h"

namespace {

constexpr char kSection[] = "AdapterEcho";

// What a settings writer may hand in: one line, no blanks or quotes at the
// ends (the reader trims them), a name without the file's own marks.
bool Plain(const std::string& text, bool name) {
    if (name && text.empty()) return false;
    for (char c : text)
        if (c == '\n' || c == '\r' || c == '\0' ||
            (name && (c == '=' || c == '[' || c == ']' || c == ';' || c == '#')))
            return false;
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const auto quote = [](char c) { return c == '"' || c == '\''; };
    if (!text.empty() &&
        (blank(text.front()) || blank(text.back()) || quote(text.front()) || quote(text.back())))
        return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t first = input.find('\0');
    if (first == std::string::npos) return 0;
    const std::size_t second = input.find('\0', first + 1);
    if (second == std::string::npos) return 0;
    const std::string content = input.substr(0, first);
    // Lines end in LF or CR LF; a lone CR (old Mac files) is not a line end
    // here, so what such a file holds is out of this check.
    for (std::size_t i = 0; i < content.size(); ++i)
        if (content[i] == '\r' && (i + 1 == content.size() || content[i + 1] != '\n')) return 0;
    const std::string name = input.substr(first + 1, second - first - 1);
    const std::string value = input.substr(second + 1);
    using corvexa::lang::FindProfileValue;
    const auto language = FindProfileValue(content, "Localize", "Language");
    const std::string written = corvexa::lang::SetProfileValue(content, kSection, name, value);
    if (!Plain(name, true) || !Plain(value, false)) return 0;
    const auto read = FindProfileValue(written, kSection, name);
    if (!read || *read != value) std::abort();
    if (FindProfileValue(written, "Localize", "Language") != language) std::abort();
    return 0;
}
