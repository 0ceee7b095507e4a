// How close an empty read comes to its 50 ms time-out: the engine's receive
// loop is paced by nothing else.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "serial/serial.h"

int main() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    constexpr int kReads = 200;
    constexpr uint32_t kTimeoutMs = 50;
    serial::Serial port(name, 9600, serial::Timeout::Total(kTimeoutMs));
    std::vector<double> ms;
    uint8_t buffer[2048];
    for (int i = 0; i < kReads; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const size_t got = port.read(buffer, sizeof buffer);
        const auto end = std::chrono::steady_clock::now();
        if (got != 0) {
            std::fprintf(stderr, "unexpected %zu bytes\n", got);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("empty reads of %u ms, %d runs: min %.2f ms, median %.2f ms, max %.2f ms\n",
                kTimeoutMs, kReads, ms.front(), ms[ms.size() / 2], ms.back());
    ::close(master);
    return 0;
}
