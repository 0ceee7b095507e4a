// The line: turns, one exchange at a time, attempts with their time-out and
// the quiet guard after it.
#include "protocol/transmitter_link.h"

#include <algorithm>

namespace protocol {

namespace {
// The rest of a reply is on the wire within 6.3 ms (6 bytes); an adapter's
// next packet (16 ms), the engine's inter-byte wait and a busy machine's
// late threads add to that. A device that sends only the short form pays
// this once per exchange.
constexpr auto kRestOfReply = std::chrono::milliseconds(50);
}  // namespace

CTransmitterLink::Turn CTransmitterLink::TakeTurn(Connection connection) {
    std::lock_guard lock(m_mutex);
    if (m_closing || connection != m_connection || !m_live) return Turn{0, connection, false};
    const Turn turn{m_nextTicket++, connection, false};
    m_line.push_back(turn.ticket);
    return turn;
}

void CTransmitterLink::LeaveLine(Ticket ticket) {
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_line.begin(); it != m_line.end(); ++it) {
            if (*it == ticket) {
                m_line.erase(it);
                break;
            }
        }
    }
    m_changed.notify_all();
}

bool CTransmitterLink::SupersededLocked(const Turn& turn) const {
    return m_closing || turn.connection != m_connection;
}

bool CTransmitterLink::MaySendLocked(const Turn& turn) const {
    return !SupersededLocked(turn) && (m_live || turn.linkEnd);
}

ExchangeOutcome CTransmitterLink::Exchange(const Turn& turn, const Frame& frame, ReplyKind expect,
                                           int storeIndex, int markIndex, Store store) {
    ExchangeOutcome outcome;
    outcome.request = frame;
    outcome.failure = ExchangeFailure::Cancelled;
    if (turn.ticket == 0) return outcome;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !MaySendLocked(turn) || m_line.front() == turn.ticket; });
        if (!MaySendLocked(turn)) {
            lock.unlock();
            LeaveLine(turn.ticket);
            return outcome;
        }
        m_onLine = turn.ticket;
        m_storeIndex = storeIndex;
        m_store = store;
        if (markIndex >= 0) m_registerIndex.store(markIndex);
    }

    // The turn ends however this exchange ends.
    struct EndTurn {
        CTransmitterLink* self;
        ~EndTurn() {
            {
                std::lock_guard lock(self->m_mutex);
                self->m_expect.reset();
                self->m_storeIndex = -1;
                self->m_store = Store::Field;
                self->m_onLine = 0;
                self->m_line.pop_front();
            }
            self->m_changed.notify_all();
        }
    } endTurn{this};

    AttemptEnd end = AttemptEnd::NoReply;
    while (outcome.attempts < m_timing.attempts && end == AttemptEnd::NoReply)
        end = Attempt(turn, frame, expect, outcome.attempts);
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

bool CTransmitterLink::WaitForQuietLocked(std::unique_lock<std::mutex>& lock, const Turn& turn) {
    // A late reply to the last attempt may still be on its way; the LinkEnd
    // that ends a connection does not wait for it. Every request keeps the
    // frame gap after the last byte received; the rest of a vendor answer
    // recognised early (cut by an adapter's packet or a read's end) gets up
    // to kRestOfReply to come in first. A line that stays busy past the
    // limit holds no request for ever.
    const auto now = std::chrono::steady_clock::now();
    const auto limit = (turn.linkEnd ? now : std::max(now, m_quietUntil)) + m_timing.quietLimit;
    for (;;) {
        if (!MaySendLocked(turn)) return false;
        auto sendAt = m_lastReceived + (m_assembler.AwaitsRest()
                                            ? std::chrono::steady_clock::duration(kRestOfReply)
                                            : m_timing.frameGap);
        if (!turn.linkEnd) sendAt = std::max(sendAt, m_quietUntil);
        const auto at = std::chrono::steady_clock::now();
        if (at >= sendAt) return true;
        if (at >= limit) return false;
        m_changed.wait_until(lock, std::min(sendAt, limit));
    }
}

CTransmitterLink::AttemptEnd CTransmitterLink::Attempt(const Turn& turn, const Frame& frame,
                                                       ReplyKind expect, int& sent) {
    ILinkObserver* const observer = m_observer.load();
    {
        std::unique_lock lock(m_mutex);
        if (!WaitForQuietLocked(lock, turn))
            return MaySendLocked(turn) ? AttemptEnd::LineBusy : AttemptEnd::Stopped;
    }
    {
        std::vector<ReceivedRun> droppedRuns;
        std::lock_guard send(m_sendMutex);
        {
            std::lock_guard lock(m_mutex);
            if (!MaySendLocked(turn)) return AttemptEnd::Stopped;
            // Nothing that came before this request may complete it.
            if (observer && m_assembler.HasPartial()) {
                ReceivedRun dropped;
                dropped.bytes = m_assembler.Partial();
                droppedRuns.push_back(std::move(dropped));
            }
            m_assembler.DropPartial();
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
            observer->OnSent(frame, sent, m_timing.attempts);
        }
        m_engine.Write(frame.data(), static_cast<int32_t>(frame.size()));  // failure = time-out
    }
    if (turn.linkEnd) LinkEndDone();

    const auto deadline = std::chrono::steady_clock::now() + m_timing.attempt;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const bool signalled =
            left.count() > 0 && m_replyEvent.Wait(static_cast<uint32_t>(left.count()));
        {
            std::lock_guard lock(m_mutex);
            if (m_replied && !SupersededLocked(turn)) return AttemptEnd::Replied;
            // A new connection or the end of the link cuts the attempt short;
            // an ended connection lets it run out, so no request collides
            // with a reply still on its way.
            if (SupersededLocked(turn)) return AttemptEnd::Stopped;
            if (signalled) continue;
            m_expect.reset();
            m_quietUntil = std::chrono::steady_clock::now() + m_timing.guard;
        }
        if (observer) observer->OnTimedOut(frame, sent, m_timing.attempts);
        return AttemptEnd::NoReply;
    }
}

}  // namespace protocol
