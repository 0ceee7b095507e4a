#include "protocol/line_queue.h"

#include <algorithm>

namespace protocol {

void CLineQueue::Changed() {
    m_changed.notify_all();
    if (m_onChange) m_onChange();
}

CLineQueue::Turn CLineQueue::TakeTurn(std::optional<Connection> of) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closing || !m_live || (of && *of != m_connection))
            return Turn{0, m_connection, false};
        const Turn turn{m_nextTicket++, m_connection, false};
        m_line.push_back(turn.ticket);
        return turn;
    }
}

CLineQueue::Turn CLineQueue::EndConnection() {
    Turn turn;
    {
        std::lock_guard lock(m_mutex);
        if (m_closing || !m_live) return Turn{0, m_connection, true};
        m_live = false;
        turn = Turn{m_nextTicket++, m_connection, true};
        // Next after the exchange on the line, ahead of all that waits.
        auto at = m_line.begin();
        if (m_onLine != 0 && !m_line.empty() && m_line.front() == m_onLine) ++at;
        m_line.insert(at, turn.ticket);
    }
    Changed();
    return turn;
}

CLineQueue::Connection CLineQueue::BeginConnection() {
    Connection connection;
    {
        std::lock_guard lock(m_mutex);
        connection = ++m_connection;
        m_live = true;
    }
    Changed();
    return connection;
}

void CLineQueue::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    Changed();
}

bool CLineQueue::WaitForTurn(const Turn& turn) {
    if (turn.ticket == 0) return false;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !MaySendLocked(turn) || m_line.front() == turn.ticket; });
    if (!MaySendLocked(turn)) {
        LeaveLocked(turn.ticket);
        lock.unlock();
        Changed();
        return false;
    }
    m_onLine = turn.ticket;
    return true;
}

void CLineQueue::EndTurn(const Turn& turn) {
    {
        std::lock_guard lock(m_mutex);
        if (m_onLine == turn.ticket) m_onLine = 0;
        LeaveLocked(turn.ticket);
    }
    Changed();
}

void CLineQueue::Leave(Ticket ticket) {
    {
        std::lock_guard lock(m_mutex);
        LeaveLocked(ticket);
    }
    Changed();
}

void CLineQueue::LeaveLocked(Ticket ticket) {
    const auto it = std::find(m_line.begin(), m_line.end(), ticket);
    if (it != m_line.end()) m_line.erase(it);
}

bool CLineQueue::SupersededLocked(const Turn& turn) const {
    return m_closing || turn.connection != m_connection;
}

bool CLineQueue::MaySendLocked(const Turn& turn) const {
    return !SupersededLocked(turn) && (m_live || turn.linkEnd);
}

bool CLineQueue::MaySend(const Turn& turn) const {
    std::lock_guard lock(m_mutex);
    return MaySendLocked(turn);
}

bool CLineQueue::Superseded(const Turn& turn) const {
    std::lock_guard lock(m_mutex);
    return SupersededLocked(turn);
}

bool CLineQueue::Live(Connection connection) const {
    std::lock_guard lock(m_mutex);
    return !m_closing && m_live && connection == m_connection;
}

std::optional<CLineQueue::Connection> CLineQueue::LiveConnection() const {
    std::lock_guard lock(m_mutex);
    if (m_closing || !m_live) return std::nullopt;
    return m_connection;
}

}  // namespace protocol
