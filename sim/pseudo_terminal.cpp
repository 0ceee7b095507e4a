#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cerrno>
#include <system_error>

#include "sim/proc_locks.h"

namespace corvexa::sim {
namespace {

[[noreturn]] void Fail(const char* step) {
  throw std::system_error(errno, std::generic_category(), step);
}

}  // namespace

PseudoTerminal::PseudoTerminal(const PtySystem& sys) : sys_(sys) {
  master_.Reset(sys.openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master_.Valid()) {
    Fail("posix_openpt");
  }
  if (sys.grantpt(master_.Get()) != 0) {
    Fail("grantpt");
  }
  if (sys.unlockpt(master_.Get()) != 0) {
    Fail("unlockpt");
  }
  char name[128] = {};
  if (int rc = sys.ptsname_r(master_.Get(), name, sizeof name); rc != 0) {
    // ptsname_r reports through its result, not errno.
    errno = rc;
    Fail("ptsname_r");
  }
  slavePath_ = name;

  slave_.Reset(sys.open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave_.Valid()) {
    Fail("open slave");
  }
  // The line settings live with the terminal, not the descriptor: raw here
  // means the program's own open starts raw too and nothing is echoed.
  struct termios tio {};
  if (sys.tcgetattr(slave_.Get(), &tio) != 0) {
    Fail("tcgetattr");
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  if (sys.tcsetattr(slave_.Get(), TCSANOW, &tio) != 0) {
    Fail("tcsetattr");
  }

  struct stat st {};
  if (::fstat(slave_.Get(), &st) != 0) {
    Fail("fstat slave");
  }
  major_ = ::major(st.st_dev);
  minor_ = ::minor(st.st_dev);
  inode_ = st.st_ino;

  int flags = sys.getfl(master_.Get());
  if (flags < 0) {
    Fail("fcntl F_GETFL");
  }
  if (sys.setfl(master_.Get(), flags | O_NONBLOCK) != 0) {
    Fail("fcntl F_SETFL");
  }
}

void PseudoTerminal::Sweep() {
  const bool locked = FlockHeld(sys_.readLocks(), major_, minor_, inode_);
  if (!locked && wasLocked_) {
    sys_.flushInput(slave_.Get());
  }
  int exclusive = 0;
  if (!locked && sys_.getexcl(slave_.Get(), &exclusive) == 0 && exclusive != 0) {
    sys_.clearexcl(slave_.Get());
  }
  wasLocked_ = locked;
}

}  // namespace corvexa::sim
