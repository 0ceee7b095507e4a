// What the traffic record costs the line:
// - recording one exchange (its request and its reply, put into words),
//   into a full ring of 10,000 entries, with and without a trace file;
// - the exchange it is recorded for, measured on the simulated transmitter
//   at 9600 baud (zero sampling, one exchange after the other);
// and the first as a share of the second (the target: well under 1 %).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "protocol/link_port.h"
#include "protocol/trace_file.h"
#include "protocol/traffic_record.h"
#include "protocol/transmitter_link.h"
#include "sim/simulated_transmitter.h"

namespace {

using Clock = std::chrono::steady_clock;
using Us = std::chrono::duration<double, std::micro>;
using namespace std::chrono_literals;

class NoSink : public protocol::IMessageSink {
public:
    void PostToWindow(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
};

// Microseconds to record one read exchange, averaged over `count`.
double RecordingCostUs(protocol::CTrafficRecord& record, int count) {
    const protocol::Frame request = protocol::ReadRequest(20);
    protocol::ReceivedRun reply;
    reply.kind = protocol::ReceivedRun::Kind::Reply;
    reply.bytes = {0x01, 0x03, 0x02, 0x50, 0x00, 0x84, 0x44};
    reply.reply.kind = protocol::ReplyKind::RegisterValue;
    reply.reply.value = 0x5000;
    reply.awaited = true;
    reply.request = request;
    const std::vector<protocol::ReceivedRun> runs{reply};
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        record.OnSent(request, 1, 3);
        record.OnReceivedRuns(runs);
    }
    return Us(Clock::now() - start).count() / count;
}

struct LineFigures {
    double exchangeMs = 0;
    protocol::TrafficCounters counters;
};

LineFigures SampleOnTheLine(std::chrono::seconds duration) {
    corvexa::sim::SimulatedTransmitter sim;
    protocol::TransmitterEngine engine("", 9600, serial::Timeout(), serial::eightbits,
                                       serial::parity_none, serial::stopbits_one,
                                       serial::flowcontrol_none);
    NoSink sink;
    protocol::CTrafficRecord record;
    LineFigures figures;
    {
        protocol::CTransmitterLink link(engine, sink);
        link.SetObserver(&record);
        engine.SetParams(sim.SlavePath(), 9600, protocol::LinkPortTimeout(), serial::eightbits,
                         serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
        if (!engine.Open() || !engine.Start()) {
            std::printf("cannot open the simulator's port\n");
            return figures;
        }
        link.SetRegisterIndex(protocol::kZeroSampleIndex);
        link.SetZeroSampling(true);
        std::this_thread::sleep_for(duration);
        link.SetZeroSampling(false);
        std::this_thread::sleep_for(200ms);
        engine.Stop(protocol::TransmitterEngine::kInfinite);
    }
    figures.counters = record.Counters();
    if (figures.counters.replies > 0) {
        figures.exchangeMs = std::chrono::duration<double, std::milli>(duration).count() /
                             static_cast<double>(figures.counters.replies);
    }
    return figures;
}

}  // namespace

int main() {
    constexpr int kCount = 200000;
    protocol::CTrafficRecord inMemory;
    const double memoryUs = RecordingCostUs(inMemory, kCount);

    const std::string path =
        (std::filesystem::temp_directory_path() / "corvexa_bench_trace.txt").string();
    std::filesystem::remove(path);
    double fileUs = 0;
    {
        protocol::CTraceFile trace(path);
        protocol::CTrafficRecord traced;
        traced.SetLineSink([&trace](const protocol::TrafficEntry& entry) { trace.Write(entry); });
        fileUs = RecordingCostUs(traced, kCount / 10);
    }
    std::filesystem::remove(path);

    const LineFigures line = SampleOnTheLine(5s);
    std::printf("recording one exchange (request + reply, ring of %zu full):\n",
                inMemory.Capacity());
    std::printf("  in memory          %8.2f us\n", memoryUs);
    std::printf("  with --trace file  %8.2f us\n", fileUs);
    std::printf(
        "zero sampling on the simulated 9600-baud line: one poll every %.2f ms; "
        "request to reply min/median/max %.1f / %.1f / %.1f ms (%llu exchanges)\n",
        line.exchangeMs, line.counters.latencyMin, line.counters.latencyMedian,
        line.counters.latencyMax, static_cast<unsigned long long>(line.counters.replies));
    // Against the exchange itself (request to reply), not the poll period.
    const double exchangeUs = line.counters.latencyMedian * 1000.0;
    if (exchangeUs > 0) {
        std::printf(
            "share of the exchange time: %.4f %% in memory, %.4f %% with the trace file "
            "(target: well under 1 %%)\n",
            100.0 * memoryUs / exchangeUs, 100.0 * fileUs / exchangeUs);
    }
    return 0;
}
