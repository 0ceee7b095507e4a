#pragma once

#include <QString>

#include "lang/language.h"
#include "ui/framework/textconv.h"

// Text (group, id) of the loaded language, with the built-in text as
// fallback and an empty default.
inline QString ResText(const wchar_t* group, int id) {
    return ToQString(GetResString(group, id, L""));
}
