#include "ui/main/port_entry.h"

#include <QStringList>

#include "serial/list_ports.h"
#include "ui/framework/textconv.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace maintext;

QString PortBoxEntry(const QString& friendlyName) {
    const qsizetype open = friendlyName.indexOf(u'(');
    const qsizetype close = friendlyName.indexOf(u')');
    const qsizetype start = open + 1;  // 0 when there is no "("
    const qsizetype count = close - start;
    if (close < 0 || count <= 0) return {};
    return friendlyName.mid(start, count);
}

QString PortToolTip(const SSerInfo& port) {
    QStringList lines;
    lines << ToQString(port.stableName.empty() ? port.devicePath : port.stableName);
    if (!port.usbVendorId.empty() || !port.usbProductId.empty())
        lines
            << MainText(kUsbIdText).arg(ToQString(port.usbVendorId), ToQString(port.usbProductId));
    if (!port.serialNumber.empty())
        lines << MainText(kSerialNumberText).arg(ToQString(port.serialNumber));
    if (lines.size() == 1 && !port.description.empty()) lines.prepend(ToQString(port.description));
    return lines.join(u'\n');
}
