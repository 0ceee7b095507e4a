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

PseudoTerminal::PseudoTerminal(const PtySystem& sys) : m_sys(sys) {
    m_master.reset(sys.openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_master.valid()) {
        Fail("posix_openpt");
    }
    if (sys.grantpt(m_master.get()) != 0) {
        Fail("grantpt");
    }
    if (sys.unlockpt(m_master.get()) != 0) {
        Fail("unlockpt");
    }
    char name[128] = {};
    if (int rc = sys.ptsname_r(m_master.get(), name, sizeof name); rc != 0) {
        // ptsname_r reports through its result, not errno.
        errno = rc;
        Fail("ptsname_r");
    }
    m_slavePath = name;

    m_slave.reset(sys.open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_slave.valid()) {
        Fail("open slave");
    }
    // The line settings live with the terminal, not the descriptor: raw here
    // means the program's own open starts raw too and nothing is echoed.
    struct termios tio {};
    if (sys.tcgetattr(m_slave.get(), &tio) != 0) {
        Fail("tcgetattr");
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    // The rate a port starts at, until a program sets its own.
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (sys.tcsetattr(m_slave.get(), TCSANOW, &tio) != 0) {
        Fail("tcsetattr");
    }

    struct stat st {};
    if (::fstat(m_slave.get(), &st) != 0) {
        Fail("fstat slave");
    }
    m_major = ::major(st.st_dev);
    m_minor = ::minor(st.st_dev);
    m_inode = st.st_ino;

    int flags = sys.getfl(m_master.get());
    if (flags < 0) {
        Fail("fcntl F_GETFL");
    }
    if (sys.setfl(m_master.get(), flags | O_NONBLOCK) != 0) {
        Fail("fcntl F_SETFL");
    }
}

void PseudoTerminal::Sweep() {
    const bool locked = FlockHeld(m_sys.readLocks(), m_major, m_minor, m_inode);
    if (!locked && m_wasLocked) {
        m_sys.flushInput(m_slave.get());
    }
    int exclusive = 0;
    if (!locked && m_sys.getexcl(m_slave.get(), &exclusive) == 0 && exclusive != 0) {
        m_sys.clearexcl(m_slave.get());
    }
    m_wasLocked = locked;
}

}  // namespace corvexa::sim
