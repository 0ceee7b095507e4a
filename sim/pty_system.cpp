#include "sim/pty_system.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

namespace corvexa::sim {
namespace {

int RealOpen(const char* path, int flags) { return ::open(path, flags); }
int RealGetfl(int fd) { return ::fcntl(fd, F_GETFL); }
int RealSetfl(int fd, int flags) { return ::fcntl(fd, F_SETFL, flags); }

}  // namespace

const PtySystem& PtySystem::Real() {
  static const PtySystem real{
      ::posix_openpt, ::grantpt,   ::unlockpt, ::ptsname_r, RealOpen,
      ::tcgetattr,    ::tcsetattr, RealGetfl,  RealSetfl,
  };
  return real;
}

}  // namespace corvexa::sim
