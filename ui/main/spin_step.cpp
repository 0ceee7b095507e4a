#include "ui/main/spin_step.h"

#include <algorithm>

long long LeadingInteger(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r' ||
                     text[i] == u'\v' || text[i] == u'\f'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    constexpr long long kCap = 1LL << 40;  // far beyond any 16-bit word
    long long value = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min(kCap, value * 10 + (text[i].unicode() - u'0'));
    return negative ? -value : value;
}

QString SpinStep(const QString& editText, int delta) {
    const long long value = std::clamp(LeadingInteger(editText) - delta, 0LL, 65535LL);
    return QString::number(value);
}
