#include "ui/main/main_text.h"

#include "lang/language.h"
#include "ui/framework/textconv.h"

QString MainText(int id) {
    return ToQString(GetResString(L"Main", id, L""));
}
