#pragma once

#include <QString>

// The port box shows only the port's own name, which the friendly name
// carries between parentheses: "FT232R USB UART (ttyUSB0)" -> "ttyUSB0".
// Without "(" the text before the first ")" is taken; a ")" missing after
// the "(" gives an empty entry.
QString PortBoxEntry(const QString& friendlyName);

struct SSerInfo;
namespace serial {
struct PortLatency;
}

// The entry's tooltip: what tells one adapter from another. The stable
// name, "USB vendor:product" and the serial number, each on its own line
// where the system knows it; otherwise the description and the device path.
// For a USB adapter also its driver and latency timer, read as they are.
QString PortToolTip(const SSerInfo& port);

// The chip, driver and latency timer, a line each ("" when nothing is known).
QString PortLatencyLines(const serial::PortLatency& latency);
