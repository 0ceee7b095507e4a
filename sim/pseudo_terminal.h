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

  int Master() const { return master_.Get(); }
  const std::string& SlavePath() const { return slavePath_; }

 private:
  UniqueFd master_;
  UniqueFd slave_;
  std::string slavePath_;
};

}  // namespace corvexa::sim
