#include "lang/langtable.h"

#include <cctype>
#include <string_view>

#include "base/ascii_case.h"

SLanguage g_LangTable[corvexa::lang::kLangTableRows + 1] = {
    {14337, L"", 0, L"ar_AE", 1256, L"windows-1256"},
    {1069, L"", 0, L"ba_BA", 1252, L"windows-1252"},
    {1026, L"hun", 0, L"bg_BG", 1251, L"windows-1251"},
    {1027, L"", 0, L"ca_ES", 1252, L"windows-1252"},
    {1029, L"czech", 0, L"cz_CZ", 1250, L"windows-1250"},
    {1030, L"danish", 0, L"da_DK", 1252, L"windows-1252"},
    {1031, L"german", 0, L"de_DE", 1252, L"windows-1252"},
    {1032, L"greek", 0, L"el_GR", 1253, L"windows-1253"},
    {1033, L"English", 0, L"en_US", 1252, L"windows-1252"},
    {1034, L"spanish", 0, L"es_ES_T", 1252, L"windows-1252"},
    {2305, L"spanish", 0, L"es_AS", 1252, L"windows-1252"},
    {2306, L"", 0, L"va_ES", 1252, L"windows-1252"},
    {2307, L"", 0, L"va_ES_RACV", 1252, L"windows-1252"},
    {1061, L"", 0, L"et_EE", 1257, L"windows-1257"},
    {1065, L"farsi", 0, L"fa_IR", 1256, L"windows-1256"},
    {1035, L"finnish", 0, L"fi_FI", 1252, L"windows-1252"},
    {1036, L"french", 0, L"fr_FR", 1252, L"windows-1252"},
    {1150, L"french", 0, L"fr_BR", 1252, L"windows-1252"},
    {1110, L"", 0, L"gl_ES", 1252, L"windows-1252"},
    {1037, L"", 0, L"he_IL", 1255, L"windows-1255"},
    {1038, L"hungarian", 0, L"hu_HU", 1250, L"windows-1250"},
    {1040, L"italian", 0, L"it_IT", 1252, L"windows-1252"},
    {1041, L"japanese", 0, L"jp_JP", 932, L"shift_jis"},
    {1042, L"korean", 0, L"ko_KR", 949, L"euc-kr"},
    {1063, L"", 0, L"lt_LT", 1257, L"windows-1257"},
    {1062, L"", 0, L"lv_LV", 1257, L"windows-1257"},
    {1082, L"mt", 0, L"mt_MT", 1254, L"windows-1254"},
    {1044, L"nor", 0, L"nb_NO", 1252, L"windows-1252"},
    {2068, L"non", 0, L"nn_NO", 1252, L"windows-1252"},
    {1043, L"dutch", 0, L"nl_NL", 1252, L"windows-1252"},
    {1045, L"polish", 0, L"pl_PL", 1250, L"windows-1250"},
    {1046, L"ptb", 0, L"pt_BR", 1252, L"windows-1252"},
    {2070, L"ptg", 0, L"pt_PT", 1252, L"windows-1252"},
    {1048, L"", 0, L"ro_RO", 1250, L"windows-1250"},
    {1049, L"russian", 0, L"ru_RU", 1251, L"windows-1251"},
    {1060, L"slovak", 0, L"sl_SI", 1250, L"windows-1250"},
    {1052, L"", 0, L"sq_AL", 1252, L"windows-1252"},
    {1053, L"swedish", 0, L"sv_SE", 1252, L"windows-1252"},
    {1055, L"turkish", 0, L"tr_TR", 1254, L"windows-1254"},
    {1058, L"", 0, L"ua_UA", 1251, L"windows-1251"},
    {2052, L"简体中文", 0, L"zh_CN", 936, L"gb2312"},
    {1028, L"繁體中文", 0, L"zh_TW", 950, L"big5"},
    {1066, L"", 0, L"vi_VN", 1258, L"windows-1258"},
    {1152, L"", 0, L"ug_CN", 1256, L"windows-1256"},
    {0, nullptr, 0, nullptr, 0, nullptr},
};

namespace corvexa::lang {
namespace {

// POSIX names whose table code differs (the table keeps some historic
// codes: cz_CZ, jp_JP, ua_UA) or that the table lacks as written.
struct Alias {
    const char* posix;
    uint16_t id;
};
constexpr Alias kAliases[] = {
    {"cs", 1029},    {"ja", 1041},    {"uk", 1058},    {"es", 1034}, {"en", 1033},
    {"zh_TW", 1028}, {"zh_HK", 1028}, {"zh_MO", 1028}, {"zh", 2052}, {"pt", 1046},
    {"nb", 1044},    {"no", 1044},    {"nn", 2068},    {"fr", 1036}, {"sl", 1060},
};

}  // namespace

SLanguage* FindLangRow(uint32_t langId) {
    for (SLanguage* row = g_LangTable; row->wLangID != 0; ++row) {
        if (static_cast<uint32_t>(row->wLangID) == langId) return row;
    }
    return nullptr;
}

uint16_t LangIdFromPosixLocale(const std::string& name) {
    // "ll_CC.codeset@modifier": only ll_CC matters.
    std::string_view full(name);
    full = full.substr(0, full.find_first_of(".@"));
    const std::string_view lang = full.substr(0, full.find('_'));
    if (lang.empty() || full == "C" || full == "POSIX") return 0;

    for (const SLanguage* row = g_LangTable; row->wLangID != 0; ++row) {
        if (base::EqualsAsciiNoCase(full, row->szLocale)) return row->wLangID;
    }
    for (const Alias& a : kAliases) {
        if (full == a.posix) return a.id;
    }
    for (const Alias& a : kAliases) {
        if (lang == a.posix) return a.id;
    }
    // Same language, other country: the first row of that language.
    for (const SLanguage* row = g_LangTable; row->wLangID != 0; ++row) {
        const std::wstring_view code(row->szLocale);
        const size_t sep = code.find(L'_');
        if (sep != lang.size()) continue;
        if (base::EqualsAsciiNoCase(lang, code.substr(0, sep))) return row->wLangID;
    }
    return 0;
}

}  // namespace corvexa::lang
