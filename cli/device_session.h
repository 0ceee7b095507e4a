#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/parameters.h"
#include "protocol/calibration_session.h"
#include "protocol/exchange_outcome.h"
#include "protocol/line_doctor.h"
#include "protocol/line_exchange.h"
#include "protocol/line_queue.h"
#include "protocol/traffic_record.h"

namespace cli {

class TraceLog;

// How a session's line is opened and timed.
struct SessionLine {
    int baud = 9600;
    protocol::EchoMode echo = protocol::EchoMode::Auto;
    protocol::LineTiming timing{};
};

// One transmitter on one port, talked to as the window does, one exchange
// at a time on the calling thread: ConnectRequest, LinkStart and the
// read-all, writes, the sampling poll and LinkEnd at the end. Each call
// returns when its exchanges have ended, with their outcomes.
class DeviceSession final {
public:
    // Called before each read of a read-all: register, n of m.
    using ReadProgress = std::function<void(int reg, int n, int of)>;
    using ReadFailures =
        std::array<std::optional<protocol::ExchangeOutcome>, protocol::kRegisterCount>;

    DeviceSession(std::string port, bool factory, TraceLog* trace, SessionLine line = {});
    // Says LinkEnd if the device ever answered, then closes the port.
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    const std::string& Port() const { return m_port; }
    void SetReadProgress(ReadProgress progress) { m_progress = std::move(progress); }

    // Opens the port; on failure the reason in one line, with what to do.
    std::optional<std::string> Open(bool& problemIsPort);

    // The handshake and the read-all after it. False when the device did
    // not answer the handshake; single reads that failed show in Words().
    bool Connect();
    // Another read-all (after writes, to compare).
    void ReadAgain();
    // Registers 10..23 as the last read-all left them.
    RegisterWords Words() const { return m_words; }
    // How the reads of the last read-all that got no word failed, by index.
    const ReadFailures& FailedReads() const { return m_readFailures; }
    // How the handshake failed (empty: it did not).
    std::optional<protocol::ExchangeOutcome> HandshakeFailure() const { return m_handshakeFailure; }
    // After a handshake that got no answer: what the line did, and a
    // ConnectRequest once at each other rate of the baud table, the port
    // opened again for each. The probe never writes a register; where the
    // device answered, the session stays at that rate (for its LinkEnd).
    protocol::LineDiagnosis DiagnoseAndProbe();
    // True once the handshake found our own request coming back.
    bool EchoSeen() const { return m_exchange && m_exchange->EchoSeen(); }
    int RegistersRead() const;  // how many a read-all asks for: 8 or 14

    // Writes one register; the session's record notes it and its outcome.
    protocol::ExchangeOutcome Write(protocol::OperationCode code, std::uint16_t word);

    // What was done to the unit since the read-all of Connect: started
    // there, journalled when a journal is given to StartRecord.
    protocol::CalibrationSession& Record() { return m_record; }
    void StartRecord(const protocol::SessionContext& context,
                     std::shared_ptr<protocol::SessionJournal> journal);

    // Polls register 20 (zero) or 21 (full) `count` times, 50 ms apart as
    // the window does; `each` gets the time since the first poll and the
    // poll's outcome.
    void Sample(bool zero, int count,
                const std::function<void(std::chrono::milliseconds,
                                         const protocol::ExchangeOutcome&)>& each);

    // One ConnectRequest, one attempt: whether a device is on the line. It
    // does not count as the device having answered (no LinkEnd for it).
    bool StillAnswers();

    // LinkEnd, if the device ever answered; then the port closes. Also done
    // by the destructor.
    void End();

    // True once the engine reported the port gone or unreadable.
    bool PortLost() const { return m_portLost.load(); }
    // While held, a stop request (Ctrl-C) lets the exchanges go on: a unit
    // on a production line is finished, not left half written.
    void HoldStop(bool hold) { m_holdStop = hold; }
    // A refusal of the tool's own, on the trace with the traffic.
    void NoteRefused(const std::string& words) { m_traffic.NoteEvent(words, true); }

private:
    static constexpr std::size_t kTrafficKept = 16;
    protocol::ExchangeOutcome Exchange(const protocol::Frame& frame, protocol::ReplyKind expect,
                                       int attempts = 0);
    // Opens the port at `baud` with the window's line and time-outs.
    bool OpenAt(int baud);
    void ReadAll();

    const std::string m_port;
    const bool m_factory;
    TraceLog* const m_trace;
    const SessionLine m_line;
    // Only the trace reads what went over the line, entry by entry as it is
    // recorded: a command that polls for hours keeps just the latest few.
    protocol::CTrafficRecord m_traffic{kTrafficKept};
    ReadProgress m_progress;

    protocol::TransmitterEngine m_engine;
    protocol::CLineQueue m_queue;
    std::unique_ptr<protocol::CLineExchange> m_exchange;
    std::atomic<bool> m_portLost{false};
    bool m_answered = false;  // the device answered at least once
    bool m_ended = false;
    bool m_holdStop = false;

    RegisterWords m_words;
    ReadFailures m_readFailures;
    protocol::CalibrationSession m_record;
    std::optional<protocol::ExchangeOutcome> m_handshakeFailure;
};

}  // namespace cli
