#pragma once

#include <cstdint>
#include <string>

#include "lang/slanguage.h"

namespace corvexa::lang {

// 44 languages and the terminating row (wLangID 0).
inline constexpr int kLangTableRows = 44;

// First row whose id equals langId (compared as 32-bit numbers, so the
// terminating row can never match a real id), or nullptr.
SLanguage* FindLangRow(uint32_t langId);

// Language id for a POSIX locale name such as "zh_CN.UTF-8" or "de";
// 0 when the name names no language of the table ("C", "POSIX", empty).
uint16_t LangIdFromPosixLocale(const std::string& name);

}  // namespace corvexa::lang

// Process-wide; bSupported is set by the start-up scan and never reset.
extern SLanguage g_LangTable[corvexa::lang::kLangTableRows + 1];
