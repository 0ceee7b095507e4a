#include "protocol/line_exchange.h"

#include <algorithm>
#include <vector>

namespace protocol {

namespace {
// The rest of a vendor answer is on the wire within 6.3 ms (6 bytes) at
// 9600 baud; an adapter's next packet (16 ms), the engine's inter-byte wait
// and a busy machine's late threads add to that. Only a rest that has begun
// to come, or one from a device seen padding its answers, is waited for.
constexpr auto kRestOfReply = std::chrono::milliseconds(50);
constexpr int kTimingBaud = 9600;
// The port's inter-byte time-out: silence that long ends a chunk.
constexpr auto kInterByte = std::chrono::milliseconds(2);

bool IsWrite(const Frame& frame) {
    return frame[0] == kStation && frame[1] == kWriteSingle;
}

void Keep(LineHeard& heard, const std::uint8_t* data, std::size_t length) {
    heard.bytes += length;
    for (std::size_t i = 0; i < length && heard.first.size() < LineHeard::kKept; ++i)
        heard.first.push_back(data[i]);
}
}  // namespace

CLineExchange::CLineExchange(TransmitterEngine& engine, CLineQueue& queue, LineTiming timing)
    : m_engine(engine),
      m_queue(queue),
      m_timing(timing),
      m_frameGap(timing.frameGap),
      m_restOfReply(kRestOfReply),
      m_quietLimit(timing.quietLimit) {}

void CLineExchange::SetBaud(int baud) {
    if (baud <= 0) return;
    std::lock_guard lock(m_mutex);
    // Above 19200 baud the frame gap stays at 1.75 ms.
    const int scaled = std::min(baud, 19200);
    m_frameGap =
        std::max(m_timing.frameGap * kTimingBaud / scaled, std::chrono::microseconds(1750));
    // Twelve characters' time, at least what 9600 baud needs.
    const auto twelve = std::chrono::milliseconds(12 * 10 * 1000 / baud + 1);
    m_restOfReply = std::max(kRestOfReply, twelve);
    m_quietLimit = std::max(m_timing.quietLimit, 2 * m_restOfReply);
}

void CLineExchange::SetAdapterLatency(std::chrono::milliseconds latency) {
    std::lock_guard lock(m_mutex);
    m_adapterLatency = std::max(latency, std::chrono::milliseconds(0));
}

void CLineExchange::SetEchoMode(EchoMode mode) {
    std::lock_guard lock(m_mutex);
    m_echoMode = mode;
    ResetEchoLocked();
}

bool CLineExchange::EchoSeen() const {
    std::lock_guard lock(m_mutex);
    return m_echoing;
}

void CLineExchange::ResetEchoLocked() {
    m_echoing = m_echoMode == EchoMode::On;
    m_echoDecided = m_echoMode != EchoMode::Auto;
    m_echoWatch = false;
    m_echoHeld.clear();
}

void CLineExchange::ResetLine() {
    std::lock_guard send(m_sendMutex);
    std::lock_guard lock(m_mutex);
    m_quietUntil = {};
    m_assembler = CReplyAssembler();
    m_answersBare = false;
    ResetEchoLocked();
}

void CLineExchange::Wake() {
    { std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
    m_replyEvent.Set();  // an attempt waiting for its reply looks at the queue again
}

void CLineExchange::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_queue.Close();
    Wake();
}

void CLineExchange::BeginConnection() {
    {
        std::lock_guard send(m_sendMutex);
        m_queue.BeginConnection();
        std::lock_guard lock(m_mutex);
        m_quietUntil = {};
        m_assembler = CReplyAssembler();
        m_answersBare = false;
        ResetEchoLocked();
    }
    Wake();  // an exchange of the old connection stops waiting now
    if (ILinkObserver* observer = m_observer.load()) observer->OnConnectionBegun();
}

ExchangeOutcome CLineExchange::Exchange(const CLineQueue::Turn& turn, const Frame& frame,
                                        ReplyKind expect, int attempts) {
    if (attempts <= 0) attempts = m_timing.attempts;
    ExchangeOutcome outcome;
    outcome.request = frame;
    outcome.failure = ExchangeFailure::Cancelled;
    // A LinkEnd that got this far has gone out, or never will.
    struct LinkEndDone {
        CLineExchange* self;
        bool linkEnd;
        ~LinkEndDone() {
            if (linkEnd && self->m_linkEndWritten) self->m_linkEndWritten();
        }
    } linkEndDone{this, turn.linkEnd};
    if (!m_queue.WaitForTurn(turn)) return outcome;
    // The turn ends however this exchange ends.
    struct EndTurn {
        CLineExchange* self;
        const CLineQueue::Turn& turn;
        ~EndTurn() {
            {
                std::lock_guard lock(self->m_mutex);
                self->m_expect.reset();
                self->m_listening = false;
            }
            self->m_queue.EndTurn(turn);
        }
    } endTurn{this, turn};
    {
        std::lock_guard lock(m_mutex);
        m_listening = true;
        m_heard = {};
    }

    AttemptEnd end = AttemptEnd::NoReply;
    while (outcome.attempts < attempts && end == AttemptEnd::NoReply)
        end = Attempt(turn, frame, expect, outcome.attempts, attempts);
    {
        std::lock_guard lock(m_mutex);
        outcome.heard = m_heard;
    }
    switch (end) {
        case AttemptEnd::Replied: {
            std::lock_guard lock(m_mutex);
            if (m_refusal) {
                // The device answered: trying again would get the same word.
                outcome.failure = ExchangeFailure::Refused;
                outcome.exception = *m_refusal;
            } else {
                outcome.ok = true;
                outcome.failure = ExchangeFailure::None;
                outcome.value = m_replyValue;
            }
            break;
        }
        case AttemptEnd::NoReply:
            outcome.failure = ExchangeFailure::NoAnswer;
            break;
        case AttemptEnd::LineBusy:
            outcome.failure = ExchangeFailure::LineBusy;
            break;
        case AttemptEnd::Stopped:
            break;
    }
    if (ILinkObserver* observer = m_observer.load()) observer->OnExchangeEnded(outcome);
    return outcome;
}

bool CLineExchange::WaitForQuietLocked(std::unique_lock<std::mutex>& lock,
                                       const CLineQueue::Turn& turn) {
    // A late reply to the last attempt may still be on its way; the LinkEnd
    // that ends a connection does not wait for it. Every request keeps the
    // frame gap after the last byte received. A bare two-byte vendor answer
    // is final once the line has been silent past the inter-byte time (and
    // an adapter's latency, until the device has answered bare once), as
    // real devices send no more; but the rest of one that has begun to come,
    // or of an answer from a device that pads them, gets up to kRestOfReply
    // to come in first. A line that stays busy past the limit holds no
    // request for ever.
    const auto now = std::chrono::steady_clock::now();
    const auto limit = (turn.linkEnd ? now : std::max(now, m_quietUntil)) + m_quietLimit;
    for (;;) {
        if (!m_queue.MaySend(turn)) return false;
        std::chrono::steady_clock::duration quiet = m_frameGap;
        if (m_assembler.AwaitsRest()) {
            if (m_assembler.RestReceived() > 0 || m_assembler.PaddingSeen())
                quiet = m_restOfReply;
            else if (!m_answersBare)
                quiet = std::max(
                    quiet, std::chrono::steady_clock::duration(m_adapterLatency + kInterByte));
        }
        // A byte the engine holds until its read ends counts as well: the
        // line was not silent since then, whatever it turns out to be.
        auto sendAt = std::max(m_lastReceived, m_engine.LastByteTime()) + quiet;
        if (!turn.linkEnd) sendAt = std::max(sendAt, m_quietUntil);
        const auto at = std::chrono::steady_clock::now();
        if (at >= sendAt) return true;
        if (at >= limit) return false;
        m_changed.wait_until(lock, std::min(sendAt, limit));
    }
}

CLineExchange::AttemptEnd CLineExchange::Attempt(const CLineQueue::Turn& turn, const Frame& frame,
                                                 ReplyKind expect, int& sent, int attempts) {
    ILinkObserver* const observer = m_observer.load();
    {
        std::unique_lock lock(m_mutex);
        if (!WaitForQuietLocked(lock, turn))
            return m_queue.MaySend(turn) ? AttemptEnd::LineBusy : AttemptEnd::Stopped;
    }
    {
        std::vector<ReceivedRun> droppedRuns;
        std::lock_guard send(m_sendMutex);
        {
            std::lock_guard lock(m_mutex);
            if (!m_queue.MaySend(turn)) return AttemptEnd::Stopped;
            // Nothing that came before this request may complete it.
            if (observer && (m_assembler.HasPartial() || !m_echoHeld.empty())) {
                ReceivedRun dropped;
                dropped.bytes = m_echoHeld;
                const auto& partial = m_assembler.Partial();
                dropped.bytes.insert(dropped.bytes.end(), partial.begin(), partial.end());
                droppedRuns.push_back(std::move(dropped));
            }
            // A head that stayed bare through the wait is this device's way.
            if (m_assembler.AwaitsRest() && m_assembler.RestReceived() == 0 &&
                !m_assembler.PaddingSeen())
                m_answersBare = true;
            m_assembler.DropPartial();
            m_echoHeld.clear();
            // A write's echo cannot tell the adapter from the device, so an
            // echo not known yet is looked for only behind other requests.
            m_echoWatch = m_echoing || (!m_echoDecided && !IsWrite(frame));
            m_replyEvent.Reset();
            m_expect = expect;
            m_request = frame;
            m_replied = false;
            m_replyValue.reset();
            m_refusal.reset();
        }
        ++sent;
        // Reported before the write, so that its reply never comes first.
        if (observer) {
            if (!droppedRuns.empty()) observer->OnReceivedRuns(droppedRuns);
            observer->OnSent(frame, sent, attempts);
        }
        m_engine.Write(frame.data(), static_cast<int32_t>(frame.size()));  // failure = time-out
    }
    if (turn.linkEnd && m_linkEndWritten) m_linkEndWritten();

    const auto deadline = std::chrono::steady_clock::now() + m_timing.attempt;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const bool signalled =
            left.count() > 0 && m_replyEvent.Wait(static_cast<uint32_t>(left.count()));
        {
            std::lock_guard lock(m_mutex);
            // A new connection or the end of the link cuts the attempt short;
            // an ended connection lets it run out, so no request collides
            // with a reply still on its way.
            const bool superseded = m_queue.Superseded(turn);
            if (m_replied && !superseded) return AttemptEnd::Replied;
            if (superseded) return AttemptEnd::Stopped;
            if (signalled) continue;
            m_expect.reset();
            m_quietUntil = std::chrono::steady_clock::now() + m_timing.guard;
        }
        if (observer) observer->OnTimedOut(frame, sent, attempts);
        return AttemptEnd::NoReply;
    }
}

void CLineExchange::OnReceive(serial::Serial* port, const uint8_t* data, int32_t length) {
    OnReceiveAt(port, data, length, std::chrono::steady_clock::now());
}

void CLineExchange::OnReceiveAt(serial::Serial*, const uint8_t* data, int32_t length,
                                std::chrono::steady_clock::time_point lastByte) {
    if (data == nullptr || length <= 0) return;
    ILinkObserver* const observer = m_observer.load();
    std::vector<ReceivedRun> runs;
    bool replied = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_closing) return;
        // A port that could not say when its last byte came: now is late, so safe.
        m_lastReceived =
            lastByte.time_since_epoch().count() != 0 ? lastByte : std::chrono::steady_clock::now();
        std::vector<std::uint8_t> rest;
        TakeEchoLocked(data, static_cast<std::size_t>(length), rest,
                       observer != nullptr ? &runs : nullptr);
        if (m_listening) Keep(m_heard, rest.data(), rest.size());
        std::vector<Reply> replies;
        m_assembler.Feed(rest.data(), rest.size(), replies, observer != nullptr ? &runs : nullptr);
        auto run = runs.begin();
        for (const Reply& reply : replies) {
            const bool awaited = AwaitedLocked(reply);
            while (run != runs.end() && run->kind != ReceivedRun::Kind::Reply) ++run;
            if (run != runs.end()) {
                run->awaited = awaited;
                run->inGuard = !m_expect && m_lastReceived < m_quietUntil;
                if (m_expect) run->request = m_request;
                ++run;
            }
            // Whatever is not the answer to the request on the line changes
            // nothing and starts nothing: a stray FF AA is no read-all.
            if (!awaited) continue;
            if (reply.kind == ReplyKind::RegisterValue) m_replyValue = reply.value;
            if (reply.kind == ReplyKind::Exception) m_refusal = reply.exception;
            m_replied = true;
            replied = true;
        }
    }
    m_changed.notify_all();  // a request waiting for the line re-reads it
    if (observer && !runs.empty()) observer->OnReceivedRuns(runs);
    // Only now, so that the reply is on record before how its exchange ended.
    if (replied) m_replyEvent.Set();
}

void CLineExchange::TakeEchoLocked(const std::uint8_t* data, std::size_t length,
                                   std::vector<std::uint8_t>& rest,
                                   std::vector<ReceivedRun>* runs) {
    std::size_t i = 0;
    if (m_echoWatch) {
        while (i < length && m_echoHeld.size() < kFrameLength &&
               data[i] == m_request[m_echoHeld.size()])
            m_echoHeld.push_back(data[i++]);
        if (m_echoHeld.size() == kFrameLength) {
            m_echoWatch = false;
            m_echoing = true;
            m_echoDecided = true;
            if (m_listening) m_heard.echoed += kFrameLength;
            if (runs != nullptr) {
                ReceivedRun run;
                run.kind = ReceivedRun::Kind::AdapterEcho;
                run.bytes = m_echoHeld;
                run.request = m_request;
                runs->push_back(std::move(run));
            }
            m_echoHeld.clear();
        } else if (i < length) {
            // What came is not our request: whatever was held is the head
            // of something else. A connection that answered without the
            // echo does not echo.
            m_echoWatch = false;
            if (!m_echoing) m_echoDecided = true;
            rest = std::move(m_echoHeld);
            m_echoHeld.clear();
        }
    }
    rest.insert(rest.end(), data + i, data + length);
}

void CLineExchange::OnError(serial::Serial*, int32_t) {
    if (m_portLost) m_portLost();
}

bool CLineExchange::AwaitedLocked(const Reply& reply) const {
    if (!m_expect || m_replied) return false;
    if (reply.kind == ReplyKind::Exception) {
        // The device refuses the function it was asked for.
        return (*m_expect == ReplyKind::RegisterValue && reply.function == kReadHolding) ||
               (*m_expect == ReplyKind::WriteEcho && reply.function == kWriteSingle);
    }
    // A write is answered by its own request's 8 bytes, nothing else.
    return *m_expect == reply.kind &&
           (reply.kind != ReplyKind::WriteEcho || reply.echo == m_request);
}

}  // namespace protocol
