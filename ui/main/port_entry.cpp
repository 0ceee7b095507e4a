#include "ui/main/port_entry.h"

QString PortBoxEntry(const QString& friendlyName)
{
    const qsizetype open = friendlyName.indexOf(u'(');
    const qsizetype close = friendlyName.indexOf(u')');
    const qsizetype start = open + 1;  // 0 when there is no "("
    const qsizetype count = close - start;
    if (close < 0 || count <= 0)
        return {};
    return friendlyName.mid(start, count);
}
