#pragma once

#include <QString>
#include <cstdint>

// What the status line says: the state the connection is really in, kept
// so that a language switch shows the same state in the new language.
class CLinkStatus {
public:
    enum class State { Offline, Waiting, Reading, Online, Probing };

    void SetOffline() { *this = CLinkStatus(); }
    // Port open, handshake under way.
    void SetWaiting();
    // One register of the read-all is done (index 0-based, of count).
    void RegisterRead(int index, int count, bool answered);
    void SetOnline() { m_state = State::Online; }
    // The handshake got no answer; the port is open again at `baud`.
    void SetProbing(int baud) {
        m_state = State::Probing;
        m_probeBaud = baud;
    }

    State Current() const { return m_state; }
    // Registers of the last read-all that did not answer (bit = index).
    std::uint32_t Unanswered() const { return m_unanswered; }
    int UnansweredCount() const;
    QString Text() const;

private:
    State m_state = State::Offline;
    int m_done = 0;
    int m_count = 0;
    std::uint32_t m_unanswered = 0;
    int m_probeBaud = 0;
};
