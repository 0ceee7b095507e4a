#include "lang/language.h"

#include "lang/clanguage.h"
#include "lang/langtable.h"
#include "res/strings/stringtable.h"

// Constructed during static initialisation; touches no file until
// InitLanguage runs.
CLanguage g_Language;

void InitLanguage() {
    g_Language.InitLanguages();
}

void SetLanguage(uint16_t langId) {
    g_Language.SetLanguage(langId);
}

uint16_t GetLangIDSetting() {
    return g_Language.GetLangIDSetting();
}

void SetLangIDSetting(uint16_t langId) {
    g_Language.SetLangIDSetting(langId);
}

std::wstring GetTextSetting(const std::string& section, const std::string& key) {
    return g_Language.GetTextSetting(section, key);
}

void SetTextSetting(const std::string& section, const std::string& key, const std::wstring& value) {
    g_Language.SetTextSetting(section, key, value);
}

std::wstring GetResString(const std::wstring& group, int id, const std::wstring& defaultText) {
    std::wstring s = g_Language.GetResString(group, id);
    // An empty pack text counts as missing; the group plays no part in the
    // built-in table.
    if (s.empty()) {
        if (const wchar_t* builtin = corvexa::res::LoadBuiltinString(id)) s = builtin;
    }
    if (s.empty()) s = defaultText;
    return s;
}

int GetSupportedLang(std::vector<SLanguage>* list) {
    if (list == nullptr) return -1;
    for (const SLanguage* row = g_LangTable; row->wLangID != 0; ++row) {
        if (row->bSupported == 1 && row->szName != nullptr) list->push_back(*row);
    }
    return 0;
}
