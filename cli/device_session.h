#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/parameters.h"
#include "protocol/link_observer.h"
#include "protocol/messages.h"
#include "protocol/traffic_record.h"
#include "protocol/transmitter_link.h"

namespace cli {

class TraceLog;

// One transmitter on one port, talked to as the window does: the engine on
// the port, the link on the engine, ConnectRequest + LinkStart and the
// read-all they bring, writes, the sampling poll and LinkEnd at the end.
// Used from one thread; the link's threads report back through the sink
// and the observer.
class DeviceSession final : private protocol::IMessageSink, private protocol::ILinkObserver {
public:
    // Called before each read of a read-all: register, n of m.
    using ReadProgress = std::function<void(int reg, int n, int of)>;

    DeviceSession(std::string port, bool factory, TraceLog* trace);
    // Says LinkEnd if the device ever answered, then closes the port.
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    const std::string& Port() const { return m_port; }
    void SetReadProgress(ReadProgress progress) { m_progress = std::move(progress); }

    // Opens the port; on failure the reason in one line, with what to do.
    std::optional<std::string> Open(bool& problemIsPort);

    // The handshake and the read-all it starts. False when the device did
    // not answer the handshake; single reads that failed show in Words().
    bool Connect();
    // Another read-all on the open link (after writes, to compare).
    bool ReadAgain();
    // Registers 10..23 as the last read-all left them.
    RegisterWords Words() const;
    // How the reads of the last read-all that got no word failed, by index.
    std::array<std::optional<protocol::ExchangeOutcome>, protocol::kRegisterCount> ReadFailures()
        const;
    // How the handshake's last vendor exchange failed (empty: it did not).
    std::optional<protocol::ExchangeOutcome> HandshakeFailure() const;
    int RegistersRead() const;  // how many a read-all asks for: 8 or 14

    // Its outcome; not ok (and not sent) when the link could not start it.
    protocol::ExchangeOutcome Write(protocol::OperationCode code, std::uint16_t word);

    // Polls register 20 (zero) or 21 (full) `count` times; `each` gets the
    // time since the first poll and the poll's outcome. Only the sampling
    // reads of that register count, whatever else the link does meanwhile.
    void Sample(bool zero, int count,
                const std::function<void(std::chrono::milliseconds,
                                         const protocol::ExchangeOutcome&)>& each);

    // LinkEnd, waited for; then the port closes. Also done by the destructor.
    void End();

    // A refusal of the tool's own, on the trace with the traffic.
    void NoteRefused(const std::string& words) { m_record.NoteEvent(words, true); }
    // Everything this session sent and received.
    const protocol::CTrafficRecord& Traffic() const { return m_record; }

private:
    enum class Phase { Idle, ReadAll, Sampling };

    void PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    // The record sees everything; the session watches progress and outcomes.
    void OnSent(const protocol::Frame& request, int attempt, int attempts) override;
    void OnReceivedRuns(const std::vector<protocol::ReceivedRun>& runs) override;
    void OnTimedOut(const protocol::Frame& request, int attempt, int attempts) override;
    void OnExchangeEnded(const protocol::ExchangeOutcome& outcome) override;
    void OnPortLost() override;

    bool WaitForReadAll(std::size_t onlineBefore);
    // Waits for the outcome of an exchange with this request sent after
    // `endedBefore` outcomes.
    std::optional<protocol::ExchangeOutcome> WaitForOutcome(const protocol::Frame& request,
                                                            std::size_t endedBefore,
                                                            std::chrono::seconds limit);

    const std::string m_port;
    const bool m_factory;
    TraceLog* const m_trace;
    protocol::CTrafficRecord m_record;
    ReadProgress m_progress;

    protocol::TransmitterEngine m_engine;
    std::unique_ptr<protocol::CTransmitterLink> m_link;
    bool m_ended = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Phase m_phase = Phase::Idle;
    RegisterWords m_words;
    std::array<std::optional<protocol::ExchangeOutcome>, protocol::kRegisterCount> m_readFailures;
    std::optional<protocol::ExchangeOutcome> m_handshakeFailure;
    std::optional<protocol::Frame> m_sampleRequest;
    std::size_t m_online = 0;  // UM_DEVICE_ONLINE messages
    std::vector<protocol::ExchangeOutcome> m_outcomes;
    bool m_answered = false;  // the device answered at least once
    std::function<void(const protocol::ExchangeOutcome&)> m_sampleTaken;
};

}  // namespace cli
