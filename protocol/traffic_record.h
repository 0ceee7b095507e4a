#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/link_observer.h"
#include "protocol/traffic_entry.h"
#include "protocol/traffic_meaning.h"

namespace protocol {

// Everything that went over the line, in words: a ring of the last entries
// and counters for the whole connection. The link's threads report to it
// through ILinkObserver; each report puts its entry into words, appends it
// and hands it to the line sink under one short lock (the words depend on
// the decimals and unit read before). Readers only copy pointers under it,
// so the window never holds an exchange up. Readers poll: Since() returns
// what came after the last sequence number they saw.
class CTrafficRecord final : public ILinkObserver {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;
    using Entries = std::vector<std::shared_ptr<const TrafficEntry>>;
    // Gets every entry as it is recorded, under the record's lock (the trace
    // file): it must not call back into the record.
    using LineSink = std::function<void(const TrafficEntry&)>;

    explicit CTrafficRecord(std::size_t capacity = kDefaultCapacity);

    void SetLineSink(LineSink sink);

    // Starts the clock and counters of a new connection; `port` (may be
    // empty) goes into its entry.
    void BeginConnection(const std::string& port);

    // An event in the front end's own words (a value it refused...).
    void NoteEvent(const std::string& meaning, bool error);

    // Entries after `sequence` still in the ring, oldest first.
    Entries Since(std::uint64_t sequence) const;
    std::uint64_t LastSequence() const;
    // Sequence of the oldest entry still held (0: none).
    std::uint64_t FirstSequence() const;
    TrafficCounters Counters() const;
    // Empties the ring; counters and sequence numbers go on.
    void Clear();
    std::size_t Capacity() const { return m_capacity; }

    // ILinkObserver
    void OnSent(const Frame& request, int attempt, int attempts) override;
    void OnReceivedRuns(const std::vector<ReceivedRun>& runs) override;
    void OnTimedOut(const Frame& request, int attempt, int attempts) override;
    void OnExchangeEnded(const ExchangeOutcome& outcome) override;
    void OnConnectionBegun() override;
    void OnPortLost() override;
    void OnProbe(int baud) override;
    void OnRefused(OperationCode code, const std::wstring& text,
                   const std::wstring& reason) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        TrafficDirection direction;
        std::vector<std::uint8_t> bytes;
        std::string meaning;
        bool error;
    };

    // Under m_mutex.
    void AppendLocked(Pending pending, Clock::time_point at);
    void Append(Pending pending);
    void ResetCountersLocked(Clock::time_point at);
    void NoteLatencyLocked(double ms);

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    LineSink m_sink;
    std::vector<std::shared_ptr<const TrafficEntry>> m_ring;  // circular once full
    std::size_t m_head = 0;                                   // index of the oldest entry once full
    std::uint64_t m_sequence = 0;
    Clock::time_point m_connectionStart = Clock::now();
    Clock::time_point m_lastSent{};
    TrafficCounters m_counters;
    // Latencies at 0.1 ms steps up to 2 s; beyond lands in the last bin.
    std::array<std::uint32_t, 20001> m_latencyBins{};
    std::uint64_t m_latencyCount = 0;
    CTrafficMeaning m_meaning;
};

}  // namespace protocol
