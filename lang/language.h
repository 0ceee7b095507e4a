#pragma once

// Public entry points of the language library. Every window takes its
// translatable texts from GetResString; the rest is for start-up and for
// tools that want to list or switch languages.

#include <cstdint>
#include <string>
#include <vector>

#include "lang/export.h"
#include "lang/slanguage.h"

// Scans the pack folder, reads the stored language (or the user's locale)
// and loads that language, English when it has no .lang pack. Call once at
// start-up before any window exists.
CORVEXA_LANG_API void InitLanguage();

// Replaces the whole text set with the pack of langId. When the pack cannot
// be read no texts remain and every lookup falls back to the built-in table.
CORVEXA_LANG_API void SetLanguage(uint16_t langId);

CORVEXA_LANG_API uint16_t GetLangIDSetting();
CORVEXA_LANG_API void SetLangIDSetting(uint16_t langId);

// One-line texts stored in the same settings file (McSetting.ini) as the
// language choice; empty when none is stored.
CORVEXA_LANG_API std::wstring GetTextSetting(const std::string& section, const std::string& key);
CORVEXA_LANG_API void SetTextSetting(const std::string& section, const std::string& key,
                                     const std::wstring& value);

// Pack text of (group, id); if missing or empty the built-in text of id
// (any group); if there is none, defaultText. Group names are case-sensitive.
CORVEXA_LANG_API std::wstring GetResString(const std::wstring& group, int id,
                                           const std::wstring& defaultText);

// Appends every language with a .lang pack found at start-up; the list is
// not emptied first. Returns -1 for a null list, else 0.
CORVEXA_LANG_API int GetSupportedLang(std::vector<SLanguage>* list);
