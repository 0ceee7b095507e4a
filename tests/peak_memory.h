#pragma once

// How much the process's resident memory grew at its peak while a piece of
// code ran: the kernel's high-water mark is reset first (clear_refs 5), so
// the figure does not depend on what earlier tests used, nor on timing.

#include <fstream>
#include <optional>
#include <string>

namespace memtest {

// VmRSS or VmHWM of this process in KiB, or -1.
inline long StatusKb(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    }
    return -1;
}

// Peak growth in MiB while run() ran; nullopt where the kernel does not
// let the peak be reset.
template <class Run>
std::optional<long> PeakGrowthMiB(Run&& run) {
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
        reset.flush();
        if (!reset) return std::nullopt;
    }
    const long before = StatusKb("VmRSS");
    run();
    const long peak = StatusKb("VmHWM");
    if (before < 0 || peak < 0) return std::nullopt;
    return (peak - before) / 1024;
}

}  // namespace memtest
