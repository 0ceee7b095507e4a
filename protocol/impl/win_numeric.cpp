#include <locale.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>

#include "protocol/impl/c_numeric.h"

namespace protocol::impl {

namespace {

// One "C" locale object for the life of the process; never freed, as it may be
// in use by any thread until exit.
_locale_t CLocale() {
    static const _locale_t locale = _create_locale(LC_ALL, "C");
    return locale;
}

}  // namespace

// msvcrt.dll, the run-time mingw-w64 programs use, has no _wcstod_l, but it
// has _strtod_l. A number in the "C" locale is ASCII only, so the text is
// narrowed with every other character turned into one that ends a number:
// the parse stops where wcstod in the "C" locale would.
double WideToDoubleC(const wchar_t* text) {
    const _locale_t locale = CLocale();
    if (locale == nullptr) return wcstod(text, nullptr);
    std::string narrow;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '\x7F');
    }
    return _strtod_l(narrow.c_str(), nullptr, locale);
}

}  // namespace protocol::impl
