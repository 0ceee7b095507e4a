#pragma once

// The language manager: owns the texts of the loaded language, sorted into
// named groups and numbered inside each group. One object, g_Language,
// serves the whole program from the user-interface thread only.

#include <xercesc/util/XercesDefs.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "lang/export.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

class CORVEXA_LANG_API CLanguage {
public:
    using TextMap = std::unordered_map<int, std::wstring>;

    CLanguage();
    ~CLanguage();
    CLanguage(const CLanguage&) = delete;
    CLanguage& operator=(const CLanguage&) = delete;

    // Scans the pack folder once, then loads the stored language when a .lang
    // pack of it exists, else English (1033).
    void InitLanguages();

    // Pack text of (group, id), or the empty text.
    std::wstring GetResString(const std::wstring& group, int id) const;

    // Drops every text, then loads the pack of langId; only a successful load
    // changes the run-time locale and the stored setting. Always returns 0.
    int SetLanguage(uint16_t langId);

    uint16_t GetLangIDSetting() const;
    void SetLangIDSetting(uint16_t langId);
    // Other one-line texts kept in the same settings file, UTF-8 encoded.
    std::wstring GetTextSetting(const std::string& section, const std::string& key) const;
    void SetTextSetting(const std::string& section, const std::string& key,
                        const std::wstring& value);

private:
    friend class CLanguageTestAccess;

    // Forgets the start-up scan and every bSupported flag, so that the
    // start-up choice can run more than once in one process.
    static void ForgetPackScan();

    // 0 when the pack at path (plain XML, or a .lang container when the path
    // has no ".xml") was read into m_mapGroups, -1 otherwise.
    int LoadResStringFromXML(const std::wstring& path);
    // Both return -1 when the texts of the pack outgrow m_textLeft.
    int AddProjNode(const xercesc::DOMElement* element);
    int AddStringNode(const xercesc::DOMElement* element, TextMap* texts);
    static std::wstring GetXMLNodeAttrValue(const xercesc::DOMElement* element,
                                            const std::wstring& name);

    void CleanLangMap();
    std::wstring GetLangXMLNameByID(uint16_t langId) const;
    void SetRtlLocale(uint32_t localeId);
    int IsSupported(uint32_t localeId) const;

    std::wstring PackFolder() const;
    // McSetting.ini beside the program: defaults, only read.
    std::wstring DefaultsPath() const;
    // The user's McSetting.ini (empty when no config folder is known), and
    // the same with its folder made, for writing.
    std::wstring UserSettingsPath() const;
    std::wstring SettingsPathForWriting() const;

    std::wstring m_strModulePath;  // program folder with trailing separator
    std::unordered_map<std::wstring, std::unique_ptr<TextMap>> m_mapGroups;
    size_t m_textLeft = 0;  // characters a load may still gather
};

// The pack scan behind InitLanguages: marks every table row with a
// <locale>.lang file in first, then in second (when it differs from first
// ignoring case; empty means the current directory). Runs once per process
// unless force is set.
void ScanLangFiles(const std::wstring& first, const std::wstring& second, bool force);

// The program's one manager (not exported: other modules use the free
// functions of language.h).
extern CLanguage g_Language;
