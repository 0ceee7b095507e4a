#include "cli/backup_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>

#include "cli/commands.h"
#include "cli/impl/platform.h"

namespace cli {

namespace {

constexpr const char* kFormat = "corvexa-backup";
constexpr int kVersion = 1;

// A backup is about 1 KB; anything near this is no backup, and is not read
// whole (a device file like /dev/zero never ends).
constexpr std::size_t kMaxBackupBytes = 1 << 20;

// Reads at most `limit` + 1 bytes, so a longer file is known without
// holding it.
bool ReadCapped(std::ifstream& in, std::size_t limit, std::string& text) {
    text.clear();
    char chunk[8192];
    while (in && text.size() <= limit) {
        in.read(chunk, sizeof chunk);
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    return text.size() <= limit;
}

// The reason when a present field is not of its kind.
std::string WrongType(const std::string& path, const nlohmann::ordered_json& document,
                      const char* field, bool (nlohmann::ordered_json::*is)() const noexcept,
                      const char* should) {
    const auto it = document.find(field);
    if (it == document.end() || ((*it).*is)()) return {};
    return path + ": \"" + field + "\" should be " + should + ", not " + it->type_name();
}

}  // namespace

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const std::tm utc = UtcTime(now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string BackupText(const Backup& backup) {
    const nlohmann::ordered_json document{
        {"format", kFormat},
        {"version", kVersion},
        {"time", backup.time},
        {"port", backup.port},
        {"registers", RegistersJson(backup.words, protocol::kRegisterCount)},
        {"parameters", ParametersJson(backup.words, protocol::kRegisterCount)},
    };
    return document.dump(2) + "\n";
}

std::string SaveBackup(const std::string& path, const Backup& backup) {
    // Written beside the target and renamed over it, so an interrupted
    // backup never leaves half a file under the name.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot write " + path + ": " + std::strerror(errno);
        out << BackupText(backup);
        out.close();
        if (!out) {
            // A full disk: no empty part file is left behind.
            const std::string reason = errno != 0 ? std::strerror(errno) : "write failed";
            std::remove(temporary.c_str());
            return "cannot write " + path + ": " + reason;
        }
    }
    std::remove(path.c_str());  // Windows renames only onto a free name
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return "cannot write " + path + ": " + reason;
    }
    return {};
}

std::string LoadBackup(const std::string& path, Backup& backup) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read " + path + ": " + std::strerror(errno);
    std::string text;
    if (!ReadCapped(in, kMaxBackupBytes, text)) {
        return path + " is over " + std::to_string(kMaxBackupBytes >> 20) +
               " MiB, no backup made by corvexa-cli; nothing was read";
    }
    if (in.bad()) return "cannot read " + path + ": " + std::strerror(errno);
    return ParseBackup(text, path, backup);
}

std::string ParseBackup(const std::string& text, const std::string& path, Backup& backup) {
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return path + " is not a backup made by corvexa-cli (not JSON)";
    }
    using J = nlohmann::ordered_json;
    for (const std::string& problem :
         {WrongType(path, document, "format", &J::is_string, "a text"),
          WrongType(path, document, "version", &J::is_number_integer, "a whole number"),
          WrongType(path, document, "time", &J::is_string, "a text"),
          WrongType(path, document, "port", &J::is_string, "a text"),
          WrongType(path, document, "registers", &J::is_object, "an object")}) {
        if (!problem.empty()) return problem;
    }
    if (document.value("format", "") != kFormat) {
        return path + " is not a backup made by corvexa-cli (no \"format\": \"" + kFormat + "\")";
    }
    const auto registers = document.find("registers");
    if (registers == document.end() || !registers->is_object()) {
        return path + " holds no \"registers\"";
    }
    for (int i = 0; i < protocol::kRegisterCount; ++i) {
        const std::string key = std::to_string(protocol::RegisterOfIndex(i));
        const auto word = registers->find(key);
        if (word == registers->end() || !word->is_number_unsigned() ||
            word->get<unsigned long>() > 0xFFFF) {
            return path + ": register " + key + " is missing or not a word (0 to 65535)";
        }
        backup.words[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(word->get<unsigned long>());
    }
    backup.time = document.value("time", "");
    backup.port = document.value("port", "");
    return {};
}

}  // namespace cli
