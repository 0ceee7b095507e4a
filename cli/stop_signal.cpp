#include "cli/stop_signal.h"

#include <atomic>
#include <csignal>

namespace cli {

namespace {

// Lock-free, so the handler may touch it.
std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// SIGPIPE is not in every C library's signal set (Windows has none).
constexpr int kBrokenPipe = 13;

extern "C" void OnStopSignal(int signal) {
    int none = 0;
    gStopSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void InstallStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#ifdef SIGPIPE
    // A closed pipe shows as EPIPE on the write, which stops as SIGPIPE would.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

int StopSignal() {
    return gStopSignal.load();
}

bool StopRequested() {
    return StopSignal() != 0;
}

void StopForBrokenPipe() {
    OnStopSignal(kBrokenPipe);
}

int StopStatus() {
    return 128 + StopSignal();
}

}  // namespace cli
