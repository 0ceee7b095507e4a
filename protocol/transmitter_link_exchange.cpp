// The line: turns, one exchange at a time, attempts with their time-out and
// the quiet guard after it.
#include "protocol/transmitter_link.h"

namespace protocol {

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

bool CTransmitterLink::Exchange(const Turn& turn, const Frame& frame, ReplyKind expect,
                                int storeIndex, int markIndex) {
    if (turn.ticket == 0) return false;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !MaySendLocked(turn) || m_line.front() == turn.ticket; });
        if (!MaySendLocked(turn)) {
            lock.unlock();
            LeaveLine(turn.ticket);
            return false;
        }
        m_onLine = turn.ticket;
        m_storeIndex = storeIndex;
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
                self->m_onLine = 0;
                self->m_line.pop_front();
            }
            self->m_changed.notify_all();
        }
    } endTurn{this};

    bool stop = false;
    bool replied = false;
    int attempt = 0;
    while (attempt < m_timing.attempts && !stop && !replied) {
        ++attempt;
        replied = Attempt(turn, frame, expect, attempt, stop);
    }
    if (ILinkObserver* observer = m_observer.load()) {
        ExchangeOutcome outcome{frame, replied, attempt, std::nullopt};
        if (replied) {
            std::lock_guard lock(m_mutex);
            outcome.value = m_replyValue;
        }
        observer->OnExchangeEnded(outcome);
    }
    return replied;
}

bool CTransmitterLink::Attempt(const Turn& turn, const Frame& frame, ReplyKind expect,
                               int attempt, bool& stop) {
    ILinkObserver* const observer = m_observer.load();
    {
        // A late reply to the last attempt may still be on its way; the
        // LinkEnd that ends a connection does not wait for it.
        std::unique_lock lock(m_mutex);
        if (!turn.linkEnd) {
            m_changed.wait_until(lock, m_quietUntil, [&] { return !MaySendLocked(turn); });
        }
    }
    {
        std::lock_guard send(m_sendMutex);
        {
            std::lock_guard lock(m_mutex);
            if (!MaySendLocked(turn)) {
                stop = true;
                return false;
            }
            // Nothing that came before this request may complete it.
            m_assembler.DropPartial();
            m_replyEvent.Reset();
            m_expect = expect;
            m_request = frame;
            m_replied = false;
            m_replyValue.reset();
        }
        m_engine.Write(frame.data(), static_cast<int32_t>(frame.size()));  // failure = time-out
    }
    if (observer) observer->OnSent(frame, attempt);
    if (turn.linkEnd) LinkEndDone();

    const auto deadline = std::chrono::steady_clock::now() + m_timing.attempt;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const bool signalled =
            left.count() > 0 && m_replyEvent.Wait(static_cast<uint32_t>(left.count()));
        {
            std::lock_guard lock(m_mutex);
            if (m_replied && !SupersededLocked(turn)) return true;
            // A new connection or the end of the link cuts the attempt short;
            // an ended connection lets it run out, so no request collides
            // with a reply still on its way.
            if (SupersededLocked(turn)) {
                stop = true;
                return false;
            }
            if (signalled) continue;
            m_expect.reset();
            m_quietUntil = std::chrono::steady_clock::now() + m_timing.guard;
            stop = !MaySendLocked(turn);
        }
        if (observer) observer->OnTimedOut(frame, attempt);
        return false;
    }
}

}  // namespace protocol
