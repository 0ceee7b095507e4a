#include "cli/backup_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/impl/platform.h"

namespace cli {

namespace {

constexpr const char* kFormat = "corvexa-backup";
constexpr int kVersion = 1;

}  // namespace

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const std::tm utc = UtcTime(now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string SaveBackup(const std::string& path, const Backup& backup) {
    const nlohmann::ordered_json document{
        {"format", kFormat},
        {"version", kVersion},
        {"time", backup.time},
        {"port", backup.port},
        {"registers", RegistersJson(backup.words, protocol::kRegisterCount)},
        {"parameters", ParametersJson(backup.words, protocol::kRegisterCount)},
    };
    // Written beside the target and renamed over it, so an interrupted
    // backup never leaves half a file under the name.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot write " + path + ": " + std::strerror(errno);
        out << document.dump(2) << "\n";
        out.close();
        if (!out) return "cannot write " + path + ": " + std::strerror(errno);
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
    std::stringstream text;
    text << in.rdbuf();
    const nlohmann::ordered_json document =
        nlohmann::ordered_json::parse(text.str(), nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return path + " is not a backup made by corvexa-cli (not JSON)";
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
