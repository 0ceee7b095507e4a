// How long `corvexa-cli --factory read` takes, process start to exit,
// against simulated transmitters paced at 9600 baud: one port, and four
// ports in one command. Median of 10 runs each.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/simulated_transmitter.h"

extern char** environ;

namespace {

constexpr int kRuns = 10;

// Seconds the command took; negative when it failed.
double RunRead(const std::vector<std::string>& ports) {
    std::vector<std::string> args{CORVEXA_CLI, "--factory", "--json"};
    for (const std::string& p : ports) {
        args.push_back("--port");
        args.push_back(p);
    }
    args.push_back("read");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, CORVEXA_CLI, &actions, nullptr, argv.data(), environ) == 0) {
        while (waitpid(pid, &status, 0) < 0) {
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took.count() : -1.0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
}

}  // namespace

int main() {
    std::vector<std::unique_ptr<corvexa::sim::SimulatedTransmitter>> devices;
    std::vector<std::string> ports;
    for (int i = 0; i < 4; ++i) {
        corvexa::sim::SimulatedTransmitter::Options options;  // paced at 9600 baud
        devices.push_back(std::make_unique<corvexa::sim::SimulatedTransmitter>(options));
        ports.push_back(devices.back()->SlavePath());
    }

    std::vector<double> one;
    std::vector<double> four;
    for (int run = 0; run < kRuns; ++run) {
        one.push_back(RunRead({ports[run % 4]}));
        four.push_back(RunRead(ports));
        if (one.back() < 0 || four.back() < 0) {
            std::fprintf(stderr, "bench_cli_read: corvexa-cli read failed\n");
            return 1;
        }
    }
    const double m1 = Median(one);
    const double m4 = Median(four);
    std::printf("corvexa-cli --factory read, 14 registers, 9600 baud pacing, median of %d\n",
                kRuns);
    std::printf("  one port:   %7.1f ms (min %.1f, max %.1f)\n", m1 * 1000,
                *std::min_element(one.begin(), one.end()) * 1000,
                *std::max_element(one.begin(), one.end()) * 1000);
    std::printf("  four ports: %7.1f ms (min %.1f, max %.1f)\n", m4 * 1000,
                *std::min_element(four.begin(), four.end()) * 1000,
                *std::max_element(four.begin(), four.end()) * 1000);
    std::printf("  four / one: %7.2f (target under 1.30)\n", m4 / m1);
    return 0;
}
