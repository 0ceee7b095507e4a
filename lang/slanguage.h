#pragma once

#include <cstdint>

// One row of the language table. The texts point at constant storage that
// lives as long as the program, so copies of a row may be kept freely.
struct SLanguage {
    uint16_t wLangID;          // platform language id; 0 ends the table
    const wchar_t* szName;     // display name, possibly empty
    int32_t bSupported;        // 1 once the start-up scan found a .lang pack
    const wchar_t* szLocale;   // locale code, also the pack's base name
    uint32_t nCodePage;        // code page of the run-time character-type locale
    const wchar_t* szCharset;  // informative only
};
