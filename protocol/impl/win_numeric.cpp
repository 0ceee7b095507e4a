#include <locale.h>
#include <stdlib.h>
#include <wchar.h>

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

double WideToDoubleC(const wchar_t* text) {
    const _locale_t locale = CLocale();
    if (locale == nullptr) return wcstod(text, nullptr);
    return _wcstod_l(text, nullptr, locale);
}

}  // namespace protocol::impl
