#pragma once

#include <string>

#include "base/unique_fd.h"
#include "sim/pty_system.h"

namespace corvexa::sim {

// A pseudo-terminal pair. The master side is non-blocking and belongs to
// the simulator; the slave side is kept open here as well (in raw mode), so
// the program can open, close and reopen the slave path at will without the
// master ever seeing a hang-up, and nothing written to it is echoed back.
class PseudoTerminal {
public:
    // Throws std::system_error naming the failed step; nothing stays open.
    explicit PseudoTerminal(const PtySystem& sys = PtySystem::Real());

    // What a real port's last close does, done once the program has closed
    // the slave (seen as its flock going away): the replies it never read are
    // discarded, and the exclusive flag (TIOCEXCL) is cleared. Neither
    // happens by itself here, since this object keeps the slave open and the
    // pair lives as long as the master; without the sweep a reconnecting
    // program would read stale replies and, unless root, get EBUSY. Called
    // now and then by the simulator's thread.
    void Sweep();

    int Master() const { return m_master.get(); }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    PtySystem m_sys;
    base::UniqueFd m_master;
    base::UniqueFd m_slave;
    std::string m_slavePath;
    unsigned m_major = 0;
    unsigned m_minor = 0;
    unsigned long m_inode = 0;
    bool m_wasLocked = false;
};

}  // namespace corvexa::sim
