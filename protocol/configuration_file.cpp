#include "protocol/configuration_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "protocol/register_table.h"

namespace protocol {

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

std::string ConfigurationText(const Configuration& backup) {
    const nlohmann::ordered_json document{
        {"format", kFormat},
        {"version", kVersion},
        {"time", backup.time},
        {"port", backup.port},
        {"registers", RegistersJson(backup.words, kRegisterCount)},
        {"parameters", ParametersJson(backup.words, kRegisterCount)},
    };
    return document.dump(2) + "\n";
}

std::string SaveConfiguration(const std::string& path, const Configuration& backup) {
    // Written beside the target and renamed over it, so an interrupted
    // backup never leaves half a file under the name.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot write " + path + ": " + std::strerror(errno);
        out << ConfigurationText(backup);
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

std::string LoadConfiguration(const std::string& path, Configuration& backup) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read " + path + ": " + std::strerror(errno);
    std::string text;
    if (!ReadCapped(in, kMaxBackupBytes, text)) {
        return path + " is over " + std::to_string(kMaxBackupBytes >> 20) +
               " MiB, no Corvexa configuration file; nothing was read";
    }
    if (in.bad()) return "cannot read " + path + ": " + std::strerror(errno);
    return ParseConfiguration(text, path, backup);
}

std::string ParseConfiguration(const std::string& text, const std::string& path,
                               Configuration& backup) {
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return path + " is not a Corvexa configuration file (not JSON)";
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
        return path + " is not a Corvexa configuration file (no \"format\": \"" + kFormat + "\")";
    }
    const auto registers = document.find("registers");
    if (registers == document.end() || !registers->is_object()) {
        return path + " holds no \"registers\"";
    }
    for (int i = 0; i < kRegisterCount; ++i) {
        const std::string key = std::to_string(RegisterOfIndex(i));
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

nlohmann::ordered_json RegistersJson(const RegisterWords& words, int count) {
    nlohmann::ordered_json registers = nlohmann::ordered_json::object();
    for (int i = 0; i < count; ++i) {
        if (words[static_cast<std::size_t>(i)]) {
            registers[std::to_string(RegisterOfIndex(i))] = *words[static_cast<std::size_t>(i)];
        }
    }
    return registers;
}

nlohmann::ordered_json ParametersJson(const RegisterWords& words, int count) {
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    for (int i = 0; i < count; ++i) {
        if (i == kReservedIndex) continue;
        parameters[kRegisterTable[static_cast<std::size_t>(i)].name] = ShownJson(i, words);
    }
    return parameters;
}

nlohmann::ordered_json ShownJson(int index, const RegisterWords& words) {
    const auto word = words[static_cast<std::size_t>(index)];
    if (!word) return nullptr;
    const RegisterRow& row = kRegisterTable[static_cast<std::size_t>(index)];
    switch (row.kind) {
        case RegisterKind::Code: {
            const std::string name = CodeName(row.codes, *word);
            if (name.empty()) {
                // An unknown signal source or gain still says which code it was.
                if (row.codes == CodeTable::SignalSource || row.codes == CodeTable::Gain)
                    return "code:" + std::to_string(*word);
                return nullptr;
            }
            if (row.codes == CodeTable::Baud) return std::stoi(name);
            if (row.codes == CodeTable::Gain) return std::stod(name);
            return name;
        }
        case RegisterKind::Scaled: {
            // The exact value: the text with the device's decimal places.
            const auto decimals = words[kDecimalsIndex];
            if (!decimals) return nullptr;
            return std::stod(ExactText(index, *word, {decimals, std::nullopt}));
        }
        case RegisterKind::Signed:
            return static_cast<std::int16_t>(*word);
        default:
            return *word;
    }
}

}  // namespace protocol
