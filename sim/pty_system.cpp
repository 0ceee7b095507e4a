#include "sim/pty_system.h"

#include "sim/proc_locks.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace corvexa::sim {
namespace {

int RealOpen(const char* path, int flags) {
    return ::open(path, flags);
}
int RealGetfl(int fd) {
    return ::fcntl(fd, F_GETFL);
}
int RealSetfl(int fd, int flags) {
    return ::fcntl(fd, F_SETFL, flags);
}
int RealGetexcl(int fd, int* on) {
    return ::ioctl(fd, TIOCGEXCL, on);
}
int RealClearexcl(int fd) {
    return ::ioctl(fd, TIOCNXCL);
}
int RealFlushInput(int fd) {
    return ::tcflush(fd, TCIFLUSH);
}

}  // namespace

const PtySystem& PtySystem::Real() {
    static const PtySystem real{
        ::posix_openpt, ::grantpt,      ::unlockpt,    ::ptsname_r, RealOpen,
        ::tcgetattr,    ::tcsetattr,    RealGetfl,     RealSetfl,   RealGetexcl,
        RealClearexcl,  RealFlushInput, ReadProcLocks,
    };
    return real;
}

}  // namespace corvexa::sim
