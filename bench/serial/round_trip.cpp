// Request -> reply through the engine against the simulated transmitter at
// 9600 pacing. A register read is 8 bytes out and 7 back: 15 bytes of wire
// time (15.6 ms); the reply reaches the handler when the 50 ms read window
// that caught it closes.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "protocol/frames.h"
#include "serial/serial_com_imp.h"
#include "sim/simulated_transmitter.h"

namespace {

class ReplyWaiter : public IComHanlder {
public:
    void OnReceive(serial::Serial*, const uint8_t*, int32_t length) override {
        std::lock_guard lock(m_mutex);
        m_received += static_cast<size_t>(length);
        m_changed.notify_all();
    }
    bool waitFor(size_t bytes) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(2),
                                  [&] { return m_received >= bytes; });
    }
    void reset() {
        std::lock_guard lock(m_mutex);
        m_received = 0;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_received = 0;
};

}  // namespace

int main() {
    corvexa::sim::SimulatedTransmitter sim;
    ReplyWaiter waiter;
    SerialComImp<IComHanlder, 2048> engine("", 9600, serial::Timeout(), serial::eightbits,
                                           serial::parity_none, serial::stopbits_one,
                                           serial::flowcontrol_none);
    engine.SetHandler(&waiter);
    engine.SetParams(sim.SlavePath(), 9600, serial::Timeout::Total(50), serial::eightbits,
                     serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
    if (!engine.Open() || !engine.Start()) {
        std::fprintf(stderr, "cannot connect to %s\n", sim.SlavePath().c_str());
        return 1;
    }
    constexpr int kRuns = 50;
    constexpr size_t kReplyLength = 7;
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        waiter.reset();
        const protocol::Frame request = protocol::ReadRequest(10);
        const auto start = std::chrono::steady_clock::now();
        engine.Write(request.data(), static_cast<int32_t>(request.size()));
        if (!waiter.waitFor(kReplyLength)) {
            std::fprintf(stderr, "no reply in run %d\n", i);
            return 1;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    engine.Stop();
    std::sort(ms.begin(), ms.end());
    std::printf("register read round trip, %d runs: min %.2f ms, median %.2f ms, max %.2f ms\n",
                kRuns, ms.front(), ms[ms.size() / 2], ms.back());
    std::printf("reference: wire time 15.6 ms (15 bytes at 9600) + 50 ms read window = 65.6 ms\n");
    return 0;
}
