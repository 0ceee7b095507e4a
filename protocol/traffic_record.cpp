#include "protocol/traffic_record.h"

#include <algorithm>

namespace protocol {

namespace {
constexpr double kLatencyStepMs = 0.1;
}  // namespace

CTrafficRecord::CTrafficRecord(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1)) {
    m_ring.reserve(m_capacity);
}

void CTrafficRecord::SetLineSink(LineSink sink) {
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
}

void CTrafficRecord::AppendLocked(Pending pending, Clock::time_point at) {
    auto entry = std::make_shared<TrafficEntry>();
    entry->sequence = ++m_sequence;
    entry->sinceConnection =
        std::chrono::duration<double, std::milli>(at - m_connectionStart).count();
    entry->wallClock = std::chrono::system_clock::now();
    entry->direction = pending.direction;
    entry->bytes = std::move(pending.bytes);
    entry->meaning = std::move(pending.meaning);
    entry->error = pending.error;
    if (m_sink) m_sink(*entry);
    if (m_ring.size() < m_capacity) {
        m_ring.push_back(std::move(entry));
    } else {
        m_ring[m_head] = std::move(entry);
        m_head = (m_head + 1) % m_capacity;
    }
}

void CTrafficRecord::Append(Pending pending) {
    std::lock_guard lock(m_mutex);
    AppendLocked(std::move(pending), Clock::now());
}

void CTrafficRecord::ResetCountersLocked(Clock::time_point at) {
    m_connectionStart = at;
    m_counters = {};
    m_latencyBins.fill(0);
    m_latencyCount = 0;
}

void CTrafficRecord::BeginConnection(const std::string& port) {
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    ResetCountersLocked(now);
    m_meaning = CTrafficMeaning();
    AppendLocked({TrafficDirection::Event,
                  {},
                  port.empty() ? "connection begun" : "connection begun on " + port,
                  false},
                 now);
}

void CTrafficRecord::OnConnectionBegun() {
    BeginConnection({});
}

CTrafficRecord::Entries CTrafficRecord::Since(std::uint64_t sequence) const {
    std::lock_guard lock(m_mutex);
    Entries out;
    if (m_ring.empty() || sequence >= m_sequence) return out;
    // Entries are consecutive: the newest has m_sequence.
    const std::size_t held = m_ring.size();
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_sequence - sequence, held));
    out.reserve(wanted);
    const std::size_t oldest = held < m_capacity ? 0 : m_head;
    for (std::size_t i = held - wanted; i < held; ++i) out.push_back(m_ring[(oldest + i) % held]);
    return out;
}

std::uint64_t CTrafficRecord::LastSequence() const {
    std::lock_guard lock(m_mutex);
    return m_sequence;
}

std::uint64_t CTrafficRecord::FirstSequence() const {
    std::lock_guard lock(m_mutex);
    return m_ring.empty() ? 0 : m_sequence - m_ring.size() + 1;
}

void CTrafficRecord::Clear() {
    std::lock_guard lock(m_mutex);
    m_ring.clear();
    m_head = 0;
}

TrafficCounters CTrafficRecord::Counters() const {
    std::lock_guard lock(m_mutex);
    TrafficCounters counters = m_counters;
    if (m_latencyCount > 0) {
        const std::uint64_t half = (m_latencyCount + 1) / 2;
        std::uint64_t seen = 0;
        for (std::size_t bin = 0; bin < m_latencyBins.size(); ++bin) {
            seen += m_latencyBins[bin];
            if (seen >= half) {
                counters.latencyMedian = std::clamp(static_cast<double>(bin) * kLatencyStepMs,
                                                    counters.latencyMin, counters.latencyMax);
                break;
            }
        }
    }
    return counters;
}

void CTrafficRecord::NoteLatencyLocked(double ms) {
    if (m_latencyCount == 0 || ms < m_counters.latencyMin) m_counters.latencyMin = ms;
    if (m_latencyCount == 0 || ms > m_counters.latencyMax) m_counters.latencyMax = ms;
    const auto bin = std::min<std::size_t>(static_cast<std::size_t>(ms / kLatencyStepMs + 0.5),
                                           m_latencyBins.size() - 1);
    ++m_latencyBins[bin];
    ++m_latencyCount;
}

void CTrafficRecord::OnSent(const Frame& request, int attempt, int attempts) {
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    ++m_counters.requests;
    if (attempt > 1) {
        ++m_counters.retries;
        AppendLocked({TrafficDirection::Event, {}, CTrafficMeaning::Retry(attempt, attempts), true},
                     now);
    }
    m_lastSent = now;
    AppendLocked({TrafficDirection::Sent,
                  {request.begin(), request.end()},
                  m_meaning.Request(request),
                  false},
                 now);
}

void CTrafficRecord::OnReceivedRuns(const std::vector<ReceivedRun>& runs) {
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    for (const ReceivedRun& run : runs) {
        bool error = false;
        if (run.kind == ReceivedRun::Kind::Unexpected) {
            m_counters.unexpectedBytes += run.bytes.size();
            error = true;
        } else if (run.kind == ReceivedRun::Kind::CrcError) {
            ++m_counters.crcErrors;
            error = true;
        } else if (run.kind == ReceivedRun::Kind::Reply) {
            if (run.awaited) {
                ++m_counters.replies;
                NoteLatencyLocked(
                    std::chrono::duration<double, std::milli>(now - m_lastSent).count());
            } else {
                ++m_counters.lateReplies;
                error = true;
            }
        }
        AppendLocked({TrafficDirection::Received, run.bytes, m_meaning.Run(run), error}, now);
    }
}

void CTrafficRecord::OnTimedOut(const Frame&, int attempt, int attempts) {
    std::lock_guard lock(m_mutex);
    ++m_counters.timeOuts;
    AppendLocked({TrafficDirection::Event, {}, CTrafficMeaning::TimedOut(attempt, attempts), true},
                 Clock::now());
}

void CTrafficRecord::OnExchangeEnded(const ExchangeOutcome& outcome) {
    if (outcome.ok) return;  // its reply already says so
    std::lock_guard lock(m_mutex);
    std::string meaning;
    switch (outcome.failure) {
        case ExchangeFailure::Refused:
            meaning = "the device refused " + m_meaning.Request(outcome.request) + ": " +
                      RefusalWords(outcome.exception);
            break;
        case ExchangeFailure::LineBusy:
            meaning = "the line never fell quiet, not sent: " + m_meaning.Request(outcome.request);
            break;
        default: {
            // Fewer attempts than allowed: the connection ended under it.
            const std::string attempts = std::to_string(outcome.attempts) +
                                         (outcome.attempts == 1 ? " attempt" : " attempts");
            meaning = "no reply after " + attempts + ": " + m_meaning.Request(outcome.request);
            break;
        }
    }
    AppendLocked({TrafficDirection::Event, {}, meaning, true}, Clock::now());
}

void CTrafficRecord::NoteEvent(const std::string& meaning, bool error) {
    Append({TrafficDirection::Event, {}, meaning, error});
}

void CTrafficRecord::OnPortLost() {
    Append({TrafficDirection::Event, {}, "port lost: the line went away or cannot be read", true});
}

void CTrafficRecord::OnProbe(int baud) {
    Append({TrafficDirection::Event,
            {},
            "probe: port opened again at " + std::to_string(baud) + " baud to look for the device",
            false});
}

void CTrafficRecord::OnRefused(OperationCode code, const std::wstring& text,
                               const std::wstring& reason) {
    std::lock_guard lock(m_mutex);
    AppendLocked({TrafficDirection::Event, {}, m_meaning.Refused(code, text, reason), true},
                 Clock::now());
}

}  // namespace protocol
