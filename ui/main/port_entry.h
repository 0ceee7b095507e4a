#pragma once

#include <QString>

// The port box shows only the port's own name, which the friendly name
// carries between parentheses: "FT232R USB UART (ttyUSB0)" -> "ttyUSB0".
// Without "(" the text before the first ")" is taken; a ")" missing after
// the "(" gives an empty entry.
QString PortBoxEntry(const QString& friendlyName);
