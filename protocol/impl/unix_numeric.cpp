#include <locale.h>
#include <wchar.h>

#include "protocol/impl/c_numeric.h"

namespace protocol::impl {

namespace {

// One "C" locale object for the life of the process; never freed, as it may be
// in use by any thread until exit.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

double WideToDoubleC(const wchar_t* text) {
    const locale_t locale = CLocale();
    if (locale == static_cast<locale_t>(0)) return wcstod(text, nullptr);
    return wcstod_l(text, nullptr, locale);
}

}  // namespace protocol::impl
