#include "lang/profile.h"

#include <cctype>
#include <vector>

#include "base/ascii_case.h"
#include "lang/platform.h"

namespace corvexa::lang {
namespace {

// The file holds one setting; a huge one is damaged, and is neither read
// whole nor rewritten.
constexpr size_t kMaxSettingsBytes = size_t{1} << 20;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// One physical line without its terminator; begin/end are byte offsets
// into the content so a write can splice the original bytes.
struct Line {
    size_t begin;
    size_t end;   // end of the text, before "\r\n" or "\n"
    size_t next;  // start of the following line
    std::string_view text;
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        const size_t next = nl == std::string_view::npos ? content.size() : nl + 1;
        size_t end = nl == std::string_view::npos ? content.size() : nl;
        if (end > pos && content[end - 1] == '\r') --end;
        lines.push_back({pos, end, next, content.substr(pos, end - pos)});
        pos = next;
    }
    return lines;
}

// Section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    const std::string_view name =
        close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1);
    return Trim(name);
}

// Key of a "key=value" line; comments and lines without '=' have none.
std::optional<std::string_view> KeyName(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') return std::nullopt;
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(0, eq));
}

struct Found {
    bool section = false;
    size_t keyLine = 0;  // valid when hasKey
    bool hasKey = false;
    size_t lastContentLine = 0;  // last non-blank line of the section
};

Found Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found f;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i].text)) {
            if (inside) break;  // only the first matching section counts
            if (base::EqualsAsciiNoCase(*name, section)) {
                inside = f.section = true;
                f.lastContentLine = i;
            }
            continue;
        }
        if (!inside) continue;
        if (!Trim(lines[i].text).empty()) f.lastContentLine = i;
        if (auto k = KeyName(lines[i].text); k && base::EqualsAsciiNoCase(*k, key)) {
            f.hasKey = true;
            f.keyLine = i;
            break;
        }
    }
    return f;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
    const std::vector<Line> lines = SplitLines(content);
    const Found f = Locate(lines, section, key);
    if (!f.hasKey) return std::nullopt;
    const std::string_view line = lines[f.keyLine].text;
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string SetProfileValue(std::string_view content, std::string_view section,
                            std::string_view key, std::string_view value) {
    const std::string eol = content.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const std::string entry = std::string(key) + "=" + std::string(value);
    const std::vector<Line> lines = SplitLines(content);
    const Found f = Locate(lines, section, key);
    std::string out;
    if (f.hasKey) {
        const Line& l = lines[f.keyLine];
        out.append(content.substr(0, l.begin));
        out.append(entry);
        out.append(content.substr(l.end));
        return out;
    }
    if (f.section) {
        const Line& l = lines[f.lastContentLine];
        out.append(content.substr(0, l.next));
        if (l.next == l.end) out.append(eol);  // last line had no terminator
        out.append(entry + eol);
        out.append(content.substr(l.next));
        return out;
    }
    out.assign(content);
    if (!out.empty() && out.back() != '\n') out.append(eol);
    out.append("[" + std::string(section) + "]" + eol + entry + eol);
    return out;
}

uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key, uint32_t defaultValue,
                              const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (sys::ReadWholeFile(path, kMaxSettingsBytes, &bytes) != sys::FileRead::kOk)
        return defaultValue;
    const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::optional<std::string> value = FindProfileValue(content, section, key);
    if (!value || value->empty()) return defaultValue;
    std::string_view v = Trim(*value);
    bool negative = false;
    if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    // Like the platform's reader: "0x" starts a hexadecimal number.
    uint32_t base = 10;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    uint32_t result = 0;
    for (char c : v) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            break;
        result = result * base + digit;
    }
    return negative ? 0u - result : result;
}

std::optional<std::string> GetPrivateProfileText(std::string_view section, std::string_view key,
                                                 const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (sys::ReadWholeFile(path, kMaxSettingsBytes, &bytes) != sys::FileRead::kOk)
        return std::nullopt;
    const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return FindProfileValue(content, section, key);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::wstring& path) {
    std::vector<uint8_t> bytes;
    std::string content;
    if (sys::ReadWholeFile(path, kMaxSettingsBytes, &bytes) == sys::FileRead::kOk)
        content.assign(bytes.begin(), bytes.end());
    else if (sys::FileExists(path))
        return false;  // unreadable: do not clobber
    return sys::AtomicReplaceFile(path, SetProfileValue(content, section, key, value));
}

}  // namespace corvexa::lang
