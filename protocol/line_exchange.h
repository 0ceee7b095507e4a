#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "protocol/exchange_outcome.h"
#include "protocol/frames.h"
#include "protocol/line_queue.h"
#include "protocol/link_observer.h"
#include "protocol/reply_assembler.h"
#include "serial/serial_com_imp.h"
#include "threads/event.h"

namespace protocol {

using TransmitterEngine = SerialComImp<IComHanlder, 2048>;

// The timing of one exchange on the line.
struct LineTiming {
    std::chrono::milliseconds attempt{1000};
    int attempts = 3;
    // Quiet line after a timed-out attempt: a reply up to 250 ms late, its
    // 8 ms on the wire and the engine's 50 ms read still land in it.
    std::chrono::milliseconds guard{400};
    // Silence before every request, from the last byte received: 3.5
    // characters at 9600 baud (35 bit times), the end of a frame on RTU.
    std::chrono::microseconds frameGap{3646};
    // How long past the guard a request waits for that silence before its
    // exchange fails: 12 frame times, and more than the 50 ms the rest of a
    // short vendor answer may take.
    std::chrono::milliseconds quietLimit{100};
};

// Whether the adapter gives back what we send (two-wire RS-485 adapters
// without echo suppression do). Auto: our own request coming back whole
// before the reply to a request that is no write (the handshake) says so
// for the rest of the connection. On: the first copy of our request that
// comes back is always the adapter's.
enum class EchoMode { Auto, On, Off };

// The one exchange on the line: it waits for its turn, keeps the frame gap
// and the guard, sends the request up to `attempts` times and takes only
// the reply that request expects (a station-1 reply only with a good CRC, a
// write only by its own echo, a vendor answer only to its own request). An
// exception reply ends it at once; a line that never falls quiet ends it
// within the quiet limit. Whatever else arrives completes nothing and is
// reported to the observer as what it was.
//
// It is the engine's handler: OnReceive comes on the receive thread.
// Exchange may be called from any thread; one exchange holds the line at a
// time (the queue's turns).
class CLineExchange final : public IComHanlder {
public:
    CLineExchange(TransmitterEngine& engine, CLineQueue& queue, LineTiming timing);
    CLineExchange(const CLineExchange&) = delete;
    CLineExchange& operator=(const CLineExchange&) = delete;

    // Set before the first exchange; the observer must outlive this object.
    void SetObserver(ILinkObserver* observer) { m_observer.store(observer); }
    ILinkObserver* Observer() const { return m_observer.load(); }
    // Receive thread: the engine reported the port gone or unreadable.
    void SetPortLost(std::function<void()> portLost) { m_portLost = std::move(portLost); }
    // A LinkEnd turn's request was written to the engine, or never will be.
    void SetLinkEndWritten(std::function<void()> written) { m_linkEndWritten = std::move(written); }

    // Sends `frame` in `turn` and returns how it ended; `attempts` 0: the
    // timing's.
    ExchangeOutcome Exchange(const CLineQueue::Turn& turn, const Frame& frame, ReplyKind expect,
                             int attempts = 0);

    // Takes effect at once and for every later connection.
    void SetEchoMode(EchoMode mode);
    // True while this connection takes our own bytes off what arrives.
    bool EchoSeen() const;
    // The line's rate: the frame gap and the waits for a vendor answer's
    // rest follow it. Takes effect with the next request.
    void SetBaud(int baud);
    // The latency timer of the USB adapter in use (0: none). It may hold the
    // rest of a padded vendor answer back that long, so a bare two-byte
    // answer is taken as final only after such a silence, until the
    // connection's device has once answered bare. Takes effect at once.
    void SetAdapterLatency(std::chrono::milliseconds latency);
    // The same connection goes on, on a port opened again (at another
    // rate): nothing heard before counts, and the echo is looked for anew.
    void ResetLine();

    // A new connection on the queue: nothing heard on the old one counts,
    // and no write of the old one reaches the port opened after this.
    void BeginConnection();
    // Pending exchanges end at once (the queue closes); nothing more is sent
    // and nothing received counts.
    void Close();
    // The queue changed: waits look again.
    void Wake();

    // IComHanlder, on the engine's receive thread.
    void OnReceive(serial::Serial* port, const uint8_t* data, int32_t length) override;
    void OnReceiveAt(serial::Serial* port, const uint8_t* data, int32_t length,
                     std::chrono::steady_clock::time_point lastByte) override;
    void OnError(serial::Serial* port, int32_t code) override;

private:
    enum class AttemptEnd { Replied, NoReply, LineBusy, Stopped };
    // One attempt: quiet line, send (counted in `sent`), wait.
    AttemptEnd Attempt(const CLineQueue::Turn& turn, const Frame& frame, ReplyKind expect,
                       int& sent, int attempts);
    // Under m_mutex: false if the line never fell quiet within the limit.
    bool WaitForQuietLocked(std::unique_lock<std::mutex>& lock, const CLineQueue::Turn& turn);
    // Under m_mutex: the reply answers the request on the line.
    bool AwaitedLocked(const Reply& reply) const;
    // Under m_mutex: the echo is looked for from the start again.
    void ResetEchoLocked();
    // Under m_mutex: takes our own echo off the front of `data`; what is
    // left for the assembler goes into `rest` (held echo bytes that turned
    // out to be something else come first).
    void TakeEchoLocked(const std::uint8_t* data, std::size_t length,
                        std::vector<std::uint8_t>& rest, std::vector<ReceivedRun>* runs);

    TransmitterEngine& m_engine;
    CLineQueue& m_queue;
    const LineTiming m_timing;
    std::atomic<ILinkObserver*> m_observer{nullptr};
    std::function<void()> m_portLost;
    std::function<void()> m_linkEndWritten;

    CEvent m_replyEvent{false, false};  // auto-reset: set when the awaited reply came
    // Held from the last check of a turn through its write, so that no write
    // of an earlier connection reaches a port opened after BeginConnection.
    std::mutex m_sendMutex;
    // Everything below is guarded by m_mutex (taken after m_sendMutex).
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;  // bytes came, the queue changed
    bool m_closing = false;             // nothing received counts any more
    std::chrono::steady_clock::time_point m_quietUntil{};
    std::chrono::steady_clock::time_point m_lastReceived{};  // the last byte's arrival
    std::optional<ReplyKind> m_expect;  // kind the attempt on the line waits for
    Frame m_request{};                  // the request of that attempt
    bool m_replied = false;
    std::optional<std::uint16_t> m_replyValue;  // the word of the awaited read reply
    std::optional<std::uint8_t> m_refusal;      // the exception code that answered it
    CReplyAssembler m_assembler;
    std::chrono::microseconds m_frameGap;
    std::chrono::milliseconds m_restOfReply;
    std::chrono::milliseconds m_quietLimit;
    std::chrono::milliseconds m_adapterLatency{0};
    bool m_answersBare = false;  // this connection's device sent a vendor answer bare
    // The adapter's echo: the mode, whether this connection echoes (known
    // once decided), and for the attempt on the line how much of our
    // request came back so far while it is still watched for.
    EchoMode m_echoMode = EchoMode::Auto;
    bool m_echoing = false;
    bool m_echoDecided = false;
    bool m_echoWatch = false;
    std::vector<std::uint8_t> m_echoHeld;
    // What the line gave back while an exchange held it.
    bool m_listening = false;
    LineHeard m_heard;
};

}  // namespace protocol
