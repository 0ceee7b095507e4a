// The device link at the speed of the wire, against the simulated
// transmitter paced at 9600 baud, each figure beside its floor or target:
// - Connect (open the port, start the reader, send ConnectRequest) to
//   UM_DEVICE_ONLINE in the factory version: whole replies, replies in a USB
//   adapter's 16 ms packets, and replies cut once at a random point.
// - The sampling period, the shortest silence between a reply's last byte
//   and the next request (both measured at the simulator), and the CPU an
//   idle connection takes.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "protocol/link_port.h"
#include "protocol/messages.h"
#include "protocol/transmitter_link.h"
#include "sim/simulated_transmitter.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;
using Sim = corvexa::sim::SimulatedTransmitter;
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

enum class Delivery { Whole, UsbPackets, RandomSplit };

struct Run {
    std::vector<double> ms;
    std::size_t retries = 0;
    int failures = 0;
    double shortestGapMs = 1e9;
    double samplingPeriodMs = 0;
    double idleCpuPercent = -1;
};

constexpr int kConnects = 30;
// ConnectRequest, LinkStart, then registers 10..23.
constexpr int kExchanges = 2 + 14;
// Request bytes plus reply bytes of those exchanges.
constexpr int kWireBytes = 2 * (8 + 8) + 14 * (8 + 7);
constexpr double kFrameGapMs = 3.646;  // 3.5 characters at 9600 baud
constexpr double kPauseMs = 100;       // after the read-all, before UM_DEVICE_ONLINE
constexpr auto kUsbPacket = 16ms;

// Silence between each reply's last byte and the next request. Every
// request here is answered once, so reply k answers request k; a request
// heard while the reply before it was still going out counts negative.
double ShortestGapMs(const Sim& sim) {
    const auto frames = sim.Frames();
    const auto ends = sim.ReplyEnds();
    double shortest = 1e9;
    for (std::size_t k = 1; k < frames.size() && k - 1 < ends.size(); ++k) {
        shortest = std::min(shortest, Ms(frames[k].at - ends[k - 1]).count());
    }
    return shortest;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Run Measure(Delivery delivery, bool extras) {
    std::atomic<Sim*> self{nullptr};
    std::mt19937 rng(20261208);
    Sim::Options options;
    if (delivery == Delivery::RandomSplit) {
        // A new cut for every reply: the hook runs before the reply is built.
        options.trace = [&](bool incoming, const std::vector<std::uint8_t>&) {
            Sim* sim = self.load();
            if (!incoming || sim == nullptr) return;
            std::uniform_int_distribution<std::size_t> offset(1, 6);
            std::uniform_int_distribution<int> pause(2, 6);
            sim->SetSplitOffsets({offset(rng)}, std::chrono::milliseconds(pause(rng)));
        };
    }
    Sim sim(options);
    self.store(&sim);
    if (delivery == Delivery::UsbPackets) sim.SetUsbPackets(kUsbPacket);

    protocol::TransmitterEngine engine("", 9600, serial::Timeout(), serial::eightbits,
                                       serial::parity_none, serial::stopbits_one,
                                       serial::flowcontrol_none);
    OnlineWaiter sink;
    Run run;
    protocol::CTransmitterLink link(engine, sink);
    link.SetFactoryMode(true);
    for (int i = 0; i < kConnects; ++i) {
        sim.ClearFrames();
        const auto pressed = Clock::now();
        engine.SetParams(sim.SlavePath(), 9600, protocol::LinkPortTimeout(), serial::eightbits,
                         serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
        if (!engine.Open() || !engine.Start()) {
            ++run.failures;
            continue;
        }
        link.StartVendorTask(protocol::OperationCode::ConnectRequest);
        if (sink.WaitOnline(i + 1 - run.failures, 60s)) {
            run.ms.push_back(Ms(Clock::now() - pressed).count());
            run.retries += sim.FrameCount() - kExchanges;
            run.shortestGapMs = std::min(run.shortestGapMs, ShortestGapMs(sim));
        } else {
            ++run.failures;
        }
        if (extras && i + 1 == kConnects) {
            // Zero sampling as the button starts it, on this connection.
            std::this_thread::sleep_for(300ms);
            sim.ClearFrames();
            link.SetRegisterIndex(protocol::kZeroSampleIndex);
            link.SetZeroSampling(true);
            std::this_thread::sleep_for(5s);
            link.SetZeroSampling(false);
            std::this_thread::sleep_for(300ms);
            const auto frames = sim.Frames();
            if (frames.size() > 2) {
                std::vector<double> periods;
                for (std::size_t f = 1; f < frames.size(); ++f) {
                    periods.push_back(Ms(frames[f].at - frames[f - 1].at).count());
                }
                std::sort(periods.begin(), periods.end());
                run.samplingPeriodMs = periods[periods.size() / 2];
            }
            run.shortestGapMs = std::min(run.shortestGapMs, ShortestGapMs(sim));
            // Connected and idle: the reader's 50 ms reads and the sampling
            // thread's 50 ms wake-ups (the simulator's thread counts too).
            const double cpuBefore = CpuSeconds();
            const auto idleFrom = Clock::now();
            std::this_thread::sleep_for(10s);
            run.idleCpuPercent = 100.0 * (CpuSeconds() - cpuBefore) /
                                 std::chrono::duration<double>(Clock::now() - idleFrom).count();
        }
        engine.Stop();
    }
    engine.Stop();
    return run;
}

double Percentile(const std::vector<double>& sorted, int p) {
    return sorted[std::min(sorted.size() - 1, (sorted.size() * p + 99) / 100 - 1)];
}

void PrintConnect(const char* name, Run& run, double floorMs, int pct, double bound) {
    if (run.ms.empty()) {
        std::printf("%-34s no connect reached online (%d failures)\n", name, run.failures);
        return;
    }
    std::sort(run.ms.begin(), run.ms.end());
    const double figure = Percentile(run.ms, pct);
    std::printf(
        "%-34s p%-2d %7.1f ms  floor %6.1f ms  ratio %.2f (target <= %.2f)"
        "  median %.1f  max %.1f  retries %zu  failures %d\n",
        name, pct, figure, floorMs, figure / floorMs, bound, Percentile(run.ms, 50), run.ms.back(),
        run.retries, run.failures);
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

}  // namespace

int main() {
    const double byteMs = Ms(Sim::kByteTime).count();
    const double wire = kWireBytes * byteMs;
    const double floorMs = wire + (kExchanges - 1) * kFrameGapMs + kPauseMs;
    const double sampleWire = (8 + 7) * byteMs;

    std::printf("factory version, %d connects each, 9600 baud pacing (%.3f ms a byte), load %s\n",
                kConnects, byteMs, LoadAverage().c_str());
    std::printf(
        "floor: wire %.1f ms (%d bytes, %d exchanges) + %d gaps of %.2f ms + pause %.0f ms"
        " = %.1f ms\n",
        wire, kWireBytes, kExchanges, kExchanges - 1, kFrameGapMs, kPauseMs, floorMs);

    Run whole = Measure(Delivery::Whole, true);
    Run usb = Measure(Delivery::UsbPackets, false);
    Run split = Measure(Delivery::RandomSplit, false);

    PrintConnect("connect, whole replies", whole, floorMs, 50, 1.15);
    PrintConnect("connect, 16 ms USB packets", usb, floorMs, 95, 1.30);
    PrintConnect("connect, one random cut 2-6 ms", split, floorMs, 95, 1.30);
    std::printf(
        "(16 ms packets alone delay a reply by 8 ms on average: %d x 8 = %d ms over the"
        " floor, ratio %.2f)\n",
        kExchanges, kExchanges * 8, (floorMs + kExchanges * 8) / floorMs);
    std::printf(
        "%-34s      %7.1f ms  floor %6.1f ms (50 ms pace + %.1f ms wire)  ratio %.2f"
        " (target <= 70 ms)\n",
        "sampling period, median", whole.samplingPeriodMs, 50 + sampleWire, sampleWire,
        whole.samplingPeriodMs / (50 + sampleWire));
    const double shortest = std::min({whole.shortestGapMs, usb.shortestGapMs, split.shortestGapMs});
    std::printf(
        "%-34s      %7.2f ms  floor %6.2f ms  ratio %.2f (target >= 1)"
        "  whole %.2f  usb %.2f  split %.2f\n",
        "shortest reply end -> request", shortest, kFrameGapMs, shortest / kFrameGapMs,
        whole.shortestGapMs, usb.shortestGapMs, split.shortestGapMs);
    std::printf("%-34s      %7.2f %% of a core (target < 1 %%, simulator included)\n",
                "idle connected CPU", whole.idleCpuPercent);
    std::printf("load at the end %s\n", LoadAverage().c_str());
    return 0;
}
