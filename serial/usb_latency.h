#pragma once

#include <optional>
#include <string>

namespace serial {

// What a port's driver does to the time a reply takes to reach us. A USB
// adapter holds received bytes until its latency timer runs out (16 ms on
// FTDI chips unless lowered), which makes every exchange that much slower.
struct PortLatency {
    std::string driver;            // e.g. ftdi_sio; empty when unknown
    std::string chip;              // e.g. "FTDI FT232R USB UART"; empty for a built-in port
    std::optional<int> latencyMs;  // the latency timer, where the driver has one
    bool lowered = false;          // it was set to 1 ms just now...
    int before = 0;                // ...from this
    bool couldNotLower = false;    // it stays above 1 ms: no write access
    std::string advice;            // where the system offers no way to set it (Windows)
};

// The driver, chip and latency timer of `devicePath` (Linux: from
// <ttyClassDir>/<name>/device). With `lower`, a latency timer above 1 ms
// is set to 1 ms when the file is writable.
PortLatency PortLatencyOf(const std::string& devicePath, bool lower,
                          const std::string& ttyClassDir = "/sys/class/tty");

// One line in English: "FTDI FT232R USB UART (ftdi_sio), latency timer 1 ms";
// empty when nothing is known.
std::string LatencyText(const PortLatency& latency);

}  // namespace serial
