// Time from pressing Connect (open the port, start the reader, send
// ConnectRequest) to UM_DEVICE_ONLINE in the factory version, against the
// simulated transmitter paced at 9600 baud.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <vector>

#include "protocol/messages.h"
#include "protocol/transmitter_link.h"
#include "sim/simulated_transmitter.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;
using namespace std::chrono_literals;

class OnlineWaiter : public protocol::IMessageSink {
public:
    void PostToWindow(std::uint32_t msg, std::uintptr_t, std::intptr_t) override {
        std::lock_guard lock(m_mutex);
        if (msg == protocol::UM_DEVICE_ONLINE) ++m_online;
        m_changed.notify_all();
    }
    bool WaitOnline(int count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_online >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_online = 0;
};

struct Run {
    std::vector<double> ms;
    std::size_t retries = 0;
    int failures = 0;
};

constexpr int kConnects = 30;
// ConnectRequest, LinkStart, then registers 10..23.
constexpr int kExchanges = 2 + 14;
// Request bytes plus reply bytes of those exchanges.
constexpr int kWireBytes = 2 * (8 + 8) + 14 * (8 + 7);
constexpr auto kReadWindow = 50ms;
constexpr auto kSplitPause = 60ms;

Run Measure(bool split) {
    corvexa::sim::SimulatedTransmitter sim;
    protocol::TransmitterEngine engine("", 9600, serial::Timeout(), serial::eightbits, serial::parity_none,
                             serial::stopbits_one, serial::flowcontrol_none);
    OnlineWaiter sink;
    Run run;
    {
        protocol::CTransmitterLink link(engine, sink);
        link.SetFactoryMode(true);
        std::mt19937 rng(20261207);
        std::uniform_int_distribution<std::size_t> offset(1, 6);
        for (int i = 0; i < kConnects; ++i) {
            if (split) sim.SetSplitOffsets({offset(rng)}, kSplitPause);
            sim.ClearFrames();
            const auto pressed = Clock::now();
            engine.SetParams(sim.SlavePath(), 9600, serial::Timeout::Total(50), serial::eightbits,
                             serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
            if (!engine.Open() || !engine.Start()) {
                ++run.failures;
                continue;
            }
            link.StartVendorTask(protocol::OperationCode::ConnectRequest);
            if (sink.WaitOnline(i + 1 - run.failures, 60s)) {
                run.ms.push_back(Ms(Clock::now() - pressed).count());
                run.retries += sim.FrameCount() - kExchanges;
            } else {
                ++run.failures;
            }
            engine.Stop();
        }
        engine.Stop();
    }
    return run;
}

void Print(const char* name, Run run, double floorMs) {
    if (run.ms.empty()) {
        std::printf("%-8s no connect reached online (%d failures)\n", name, run.failures);
        return;
    }
    std::sort(run.ms.begin(), run.ms.end());
    const double median = run.ms[run.ms.size() / 2];
    const double p95 = run.ms[std::min(run.ms.size() - 1, (run.ms.size() * 95 + 99) / 100 - 1)];
    std::printf("%-8s connects %zu  median %7.1f ms  p95 %7.1f ms  min %7.1f ms  floor %6.1f ms"
                "  retries %zu  failures %d\n",
                name, run.ms.size(), median, p95, run.ms.front(), floorMs, run.retries,
                run.failures);
}

}  // namespace

int main() {
    const double byteMs = Ms(corvexa::sim::SimulatedTransmitter::kByteTime).count();
    const double wire = kWireBytes * byteMs;
    const double window = Ms(kReadWindow).count();
    const double pauses = 100.0;  // after the read-all, before UM_DEVICE_ONLINE
    // The reader hands bytes over only at the end of each 50 ms read, and an
    // exchange (8 + 8 or 8 + 7 bytes, about 16 ms on the wire) fits in one:
    // every exchange costs one read window at least.
    const double floorWhole = kExchanges * window + pauses;
    // A reply cut before the bytes its kind needs (2 for the vendor answers,
    // 5 for a value) waits for its second piece, 60 ms later: one more window.
    const double ceilingSplit = floorWhole + kExchanges * window;

    std::printf("factory version, %d connects each, 9600 baud pacing (%.3f ms a byte)\n",
                kConnects, byteMs);
    std::printf("wire time %.1f ms (%d bytes), %d exchanges, read window %.0f ms, pauses %.0f ms\n",
                wire, kWireBytes, kExchanges, window, pauses);
    std::printf("floor: one read window per exchange + pauses = %.0f ms; split replies"
                " (one random cut per connect, %lld ms apart) up to %.0f ms\n",
                floorWhole, static_cast<long long>(kSplitPause.count()), ceilingSplit);
    Print("whole", Measure(false), floorWhole);
    Print("split", Measure(true), floorWhole);
    return 0;
}
