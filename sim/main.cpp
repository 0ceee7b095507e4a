#include <signal.h>
#include <string.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "sim/command_line.h"
#include "sim/simulated_transmitter.h"

int main(int argc, char** argv) {
    using corvexa::sim::ToolOptions;
    const auto parsed =
        corvexa::sim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "corvexa-sim: %s\n%s", error->c_str(), corvexa::sim::Usage().c_str());
        return 2;
    }
    ToolOptions options = std::get<ToolOptions>(parsed);
    if (options.help) {
        std::fputs(corvexa::sim::Usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("corvexa-sim " CORVEXA_VERSION);
        return 0;
    }

    // Blocked before the simulator's thread exists, so it inherits the mask
    // and the signals reach sigwait below and nowhere else.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (int rc = pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr); rc != 0) {
        std::fprintf(stderr, "corvexa-sim: pthread_sigmask: %s\n", strerror(rc));
        return 1;
    }

    if (options.trace) {
        const auto start = std::chrono::steady_clock::now();
        options.simulator.trace = [start](bool incoming, const std::vector<std::uint8_t>& bytes) {
            const std::chrono::duration<double, std::milli> at =
                std::chrono::steady_clock::now() - start;
            std::string line;
            char hex[4];
            for (std::uint8_t b : bytes) {
                std::snprintf(hex, sizeof hex, " %02X", b);
                line += hex;
            }
            // One call per line, so lines from two threads never interleave.
            std::fprintf(stderr, "%10.3f %s%s\n", at.count(), incoming ? "->" : "<-", line.c_str());
        };
    }

    try {
        corvexa::sim::SimulatedTransmitter transmitter(options.simulator);
        for (const auto& [reg, value] : options.registers) {
            transmitter.SetRegister(reg, value);
        }
        std::printf("%s\n", transmitter.SlavePath().c_str());
        std::fflush(stdout);

        int signal = 0;
        if (int rc = sigwait(&stopSignals, &signal); rc != 0) {
            std::fprintf(stderr, "corvexa-sim: sigwait: %s\n", strerror(rc));
            return 1;
        }
        std::fprintf(stderr, "corvexa-sim: %zu requests received\n", transmitter.FrameCount());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvexa-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
