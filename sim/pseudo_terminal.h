#pragma once

#include <string>

#include "sim/pty_system.h"
#include "sim/unique_fd.h"

namespace corvexa::sim {

// A pseudo-terminal pair. The master side is non-blocking and belongs to
// the simulator; the slave side is kept open here as well (in raw mode), so
// the program can open, close and reopen the slave path at will without the
// master ever seeing a hang-up, and nothing written to it is echoed back.
class PseudoTerminal {
 public:
  // Throws std::system_error naming the failed step; nothing stays open.
  explicit PseudoTerminal(const PtySystem& sys = PtySystem::Real());

  // A terminal's exclusive flag (TIOCEXCL) is cleared by its last close,
  // which never comes here: this object holds the slave, and the pair lives
  // as long as the master. Left alone, a program that opened the slave
  // exclusively and closed it again could not reopen it (EBUSY for anyone
  // but root). So the flag is cleared once nobody holds the flock that the
  // program takes with it. True when it cleared a stale flag.
  bool ReleaseStaleExclusive();

  int Master() const { return master_.Get(); }
  const std::string& SlavePath() const { return slavePath_; }

 private:
  PtySystem sys_;
  UniqueFd master_;
  UniqueFd slave_;
  std::string slavePath_;
};

}  // namespace corvexa::sim
