#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lang/clanguage.h"
#include "lang/mylzmapack.h"
#include "lang/packxmlfile.h"

// Reaches the manager's private steps; friend of CLanguage.
class CLanguageTestAccess {
public:
    using Groups = std::map<std::wstring, std::map<int, std::wstring>>;

    static void SetProgramFolder(CLanguage& l, const std::string& folder) {
        l.m_strModulePath = std::wstring(folder.begin(), folder.end()) + L"/";
    }
    static int Load(CLanguage& l, const std::string& path) {
        return l.LoadResStringFromXML(std::wstring(path.begin(), path.end()));
    }
    static Groups Dump(const CLanguage& l) {
        Groups out;
        for (const auto& [name, texts] : l.m_mapGroups)
            out[name] = std::map<int, std::wstring>(texts->begin(), texts->end());
        return out;
    }
    static int IsSupported(const CLanguage& l, uint32_t id) { return l.IsSupported(id); }
    static void ForgetPackScan() { CLanguage::ForgetPackScan(); }
    static std::wstring XmlName(const CLanguage& l, uint16_t id) {
        return l.GetLangXMLNameByID(id);
    }
};

namespace langtest {

namespace fs = std::filesystem;

// A fresh program folder with an empty "lang" folder inside, removed again.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "corvexa-lang-XXXXXX");
        m_path = mkdtemp(tmpl.data());
        fs::create_directory(m_path / "lang");
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string str() const { return m_path.string(); }
    std::string lang(const std::string& name) const { return (m_path / "lang" / name).string(); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

inline std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

inline std::optional<std::string> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Bytes of a .lang container made from the given document.
inline std::string Pack(const std::string& xml) {
    uint8_t* out = nullptr;
    uint32_t len = 0;
    const int rc = CMyLzmaPack::Compress(&out, &len, reinterpret_cast<const uint8_t*>(xml.data()),
                                         static_cast<uint32_t>(xml.size()));
    std::unique_ptr<uint8_t[]> owner(out);
    if (rc != 0) return {};
    return std::string(reinterpret_cast<const char*>(out), len);
}

// A pack document with one group "Main" holding the given texts.
inline std::string MainPack(const std::map<int, std::string>& texts) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lang>"
        "<Group name=\"Main\">";
    for (const auto& [id, text] : texts)
        xml += "<IDS id=\"" + std::to_string(id) + "\">" + text + "</IDS>";
    return xml + "</Group></Lang>\n";
}

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace langtest
