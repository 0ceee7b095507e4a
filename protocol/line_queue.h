#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace protocol {

// Who may use the line next: places in the order they were taken, one
// exchange on the line at a time, and the connections the places belong
// to. Ending a connection gives its LinkEnd the place right after the
// exchange on the line, ahead of everything that waits; a new connection
// ends every place of the earlier ones at once. Thread-safe.
class CLineQueue {
public:
    using Ticket = std::uint64_t;
    using Connection = std::uint64_t;
    // A place in the line. linkEnd: the LinkEnd that ends `connection`,
    // which may still go out after the connection stopped being live.
    struct Turn {
        Ticket ticket = 0;  // 0: no place (closing, connection over)
        Connection connection = 0;
        bool linkEnd = false;
    };

    // Called after every change, without the queue's lock held, so that
    // whoever waits on the line looks again. Set it before the first turn.
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

    // A place at the end of the line for the current connection while it is
    // live; with `of`, only while that connection is still the current one.
    Turn TakeTurn(std::optional<Connection> of = std::nullopt);
    // Ends the current connection and takes its LinkEnd's place. No place
    // when the connection had already ended or the queue is closed.
    Turn EndConnection();
    // A new current, live connection (the first one exists from the start).
    Connection BeginConnection();
    // Every place ends at once and no new one is given.
    void Close();

    // Waits until `turn` is first in line (true), or can no longer send
    // (false: its place is given up).
    bool WaitForTurn(const Turn& turn);
    // The exchange of the turn on the line is over: the next one goes.
    void EndTurn(const Turn& turn);
    // Gives up a place that was never used (a task that could not start).
    void Leave(Ticket ticket);

    // The turn's exchange may still send: its connection is current and
    // live, or it is the LinkEnd that ends it.
    bool MaySend(const Turn& turn) const;
    // A newer connection or closing cuts the turn's exchange short.
    bool Superseded(const Turn& turn) const;
    // `connection` is current, live and the queue is open.
    bool Live(Connection connection) const;
    // The current connection, if it is live.
    std::optional<Connection> LiveConnection() const;

private:
    bool MaySendLocked(const Turn& turn) const;
    bool SupersededLocked(const Turn& turn) const;
    void LeaveLocked(Ticket ticket);
    void Changed();

    std::function<void()> m_onChange;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Ticket> m_line;
    Ticket m_nextTicket = 1;
    Ticket m_onLine = 0;  // the ticket whose exchange holds the line
    Connection m_connection = 1;
    bool m_live = true;
    bool m_closing = false;
};

}  // namespace protocol
