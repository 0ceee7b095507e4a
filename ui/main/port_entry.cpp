#include "ui/main/port_entry.h"

#include <QStringList>

#include "base/wide_text.h"
#include "serial/list_ports.h"
#include "serial/usb_latency.h"
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
    if (port.isUsb) {
        serial::PortLatency latency =
            serial::PortLatencyOf(corvexa::base::ToUtf8(port.devicePath), false);
        latency.chip.clear();  // the lines above name the adapter
        const QString more = PortLatencyLines(latency);
        if (!more.isEmpty()) lines << more;
    }
    return lines.join(u'\n');
}

QString PortLatencyLines(const serial::PortLatency& latency) {
    QStringList lines;
    if (!latency.chip.empty()) lines << QString::fromStdString(latency.chip);
    if (!latency.driver.empty())
        lines << MainText(kDriverText).arg(QString::fromStdString(latency.driver));
    if (latency.latencyMs)
        lines << MainText(latency.couldNotLower ? kLatencyStuckText : kLatencyText)
                     .arg(*latency.latencyMs);
    if (!latency.advice.empty()) lines << QString::fromStdString(latency.advice);
    return lines.join(u'\n');
}
