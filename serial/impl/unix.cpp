#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "serial/impl/unix.h"
#include "serial/impl/unix_syscalls.h"

namespace serial {

namespace {

constexpr const char* kSourceFile = "serial/impl/unix.cpp";

#define SERIAL_THROW_IO(description) throw IOException(kSourceFile, __LINE__, (description))
// Open failures keep errno: the caller tells the user why (no such port,
// no permission, busy).
#define SERIAL_THROW_OPEN(description, err) \
    throw IOException(kSourceFile, __LINE__, (description), (err))

int sysOpen(const char* path, int flags) {
    return ::open(path, flags);
}
int sysClose(int fd) {
    return ::close(fd);
}
ssize_t sysRead(int fd, void* buffer, size_t size) {
    return ::read(fd, buffer, size);
}
ssize_t sysWrite(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}
int sysPoll(pollfd* fds, nfds_t count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}
int sysFlock(int fd, int operation) {
    return ::flock(fd, operation);
}
int sysSetExclusive(int fd) {
    return ::ioctl(fd, TIOCEXCL);
}
int sysClearExclusive(int fd) {
    return ::ioctl(fd, TIOCNXCL);
}
// termios2 carries the rate as a number, so any rate (250000 too) reaches
// the driver unchanged through BOTHER.
int sysGetAttr(int fd, termios2* settings) {
    return ::ioctl(fd, TCGETS2, settings);
}
int sysSetAttr(int fd, const termios2* settings) {
    return ::ioctl(fd, TCSETS2, settings);
}

// USB serial drivers hand received bytes on at once instead of at their
// latency timer (FTDI's driver also sets the timer to 1 ms). Ports without
// serial info (ptys) refuse it, which changes nothing.
int sysSetLowLatency(int fd) {
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0) return -1;
    if ((info.flags & ASYNC_LOW_LATENCY) != 0) return 0;
    info.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &info);
}

const unix_sys::Calls kRealCalls{sysOpen,    sysClose,   sysRead,         sysWrite,
                                 sysPoll,    sysFlock,   sysSetExclusive, sysClearExclusive,
                                 sysGetAttr, sysSetAttr, sysSetLowLatency};

unix_sys::Calls gCalls = kRealCalls;

// The pty multiplexer, the console and the controlling terminal (major 5)
// and the virtual consoles (major 4 below 64) take terminal settings like a
// port, but opening one as a port hands out a new pty or writes to a screen.
bool IsTerminalNotAPort(const std::string& path) {
    // By name too: a container's console is often one of its ptys.
    for (const char* name : {"/dev/console", "/dev/ptmx", "/dev/tty"})
        if (path == name) return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned major = ::major(st.st_rdev);
    const unsigned minor = ::minor(st.st_rdev);
    return (major == 5 && minor <= 2) || (major == 4 && minor < 64);
}

int64_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

constexpr int64_t kNoDeadline = -1;

// Total limit = constant + multiplier * bytes; 0 means no limit.
int64_t deadlineFor(uint32_t constant, uint32_t multiplier, size_t size, int64_t start) {
    const uint64_t total = uint64_t{constant} + uint64_t{multiplier} * static_cast<uint64_t>(size);
    if (total == 0) {
        return kNoDeadline;
    }
    return start + static_cast<int64_t>(std::min<uint64_t>(total, uint64_t{INT64_MAX} / 2));
}

// Milliseconds left for poll(): -1 waits without limit.
int remainingMs(int64_t deadline) {
    if (deadline == kNoDeadline) {
        return -1;
    }
    const int64_t left = deadline - nowMs();
    if (left <= 0) {
        return 0;
    }
    return static_cast<int>(std::min<int64_t>(left, INT_MAX));
}

}  // namespace

namespace unix_sys {
Calls& calls() {
    return gCalls;
}
const Calls& realCalls() {
    return kRealCalls;
}
}  // namespace unix_sys

int CloseThroughCalls::operator()(int fd) const {
    return gCalls.close(fd);
}

std::string MakeDevicePath(const std::string& port) {
    if (!port.empty() && port.front() == '/') {
        return port;
    }
    return "/dev/" + port;
}

Serial::SerialImpl::SerialImpl(const std::string& port, uint32_t baudrate, ByteSize bytesize,
                               Parity parity, StopBits stopbits, FlowControl flowcontrol)
    : m_port(port),
      m_baudrate(baudrate),
      m_parity(parity),
      m_bytesize(bytesize),
      m_stopbits(stopbits),
      m_flowcontrol(flowcontrol) {
    if (!m_port.empty()) {
        open();
    }
}

Serial::SerialImpl::~SerialImpl() {
    try {
        close();
    } catch (...) {
        // The descriptor is released either way; nobody is left to tell.
    }
}

void Serial::SerialImpl::open() {
    if (m_port.empty()) {
        throw std::invalid_argument("Empty port is invalid.");
    }
    if (m_isOpen) {
        throw SerialException("Serial port already open.");
    }
    if (m_wakeFd.get() < 0) {
        const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake < 0) {
            SERIAL_THROW_IO("Unknown error opening the serial port: " + std::to_string(errno));
        }
        m_wakeFd.reset(wake);
    }

    const std::string path = MakeDevicePath(m_port);
    if (IsTerminalNotAPort(path)) {
        SERIAL_THROW_OPEN(path + " is not a serial port", ENOTTY);
    }
    // Non-blocking: every wait is a poll() with a deadline, never a
    // blocking read(), so close() on another thread can always end it.
    UniqueFd fd(gCalls.open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        const int err = errno;
        if (err == ENOENT) {
            SERIAL_THROW_OPEN("Specified port, " + m_port + ", does not exist.", err);
        }
        SERIAL_THROW_OPEN("Unknown error opening the serial port: " + std::to_string(err), err);
    }
    // Exclusive use: root ignores TIOCEXCL, so the lock is what keeps a
    // second opener out. A held lock reads as EBUSY, like TIOCEXCL's refusal.
    if (gCalls.flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        SERIAL_THROW_OPEN("Unknown error opening the serial port: " + std::to_string(err), err);
    }
    if (gCalls.setExclusive(fd.get()) != 0) {
        const int err = errno;
        SERIAL_THROW_OPEN("Unknown error opening the serial port: " + std::to_string(err), err);
    }

    m_fd.reset(fd.release());
    try {
        reconfigurePort();
    } catch (...) {
        // A port that could not be configured is not kept: release it so
        // that another attempt (or program) can have it.
        m_fd.reset();
        throw;
    }
    gCalls.setLowLatency(m_fd.get());  // best effort
    m_isOpen = true;
}

void Serial::SerialImpl::reconfigurePort() {
    if (m_fd.get() < 0) {
        SERIAL_THROW_IO("Invalid file descriptor, is the serial port open?");
    }
    termios2 tio{};
    if (gCalls.getAttr(m_fd.get(), &tio) != 0) {
        SERIAL_THROW_IO("Error getting the serial port state.");
    }

    // Checked in this order, before anything reaches the device.
    tcflag_t size = 0;
    switch (m_bytesize) {
        case fivebits:
            size = CS5;
            break;
        case sixbits:
            size = CS6;
            break;
        case sevenbits:
            size = CS7;
            break;
        case eightbits:
            size = CS8;
            break;
        default:
            throw std::invalid_argument("invalid char len");
    }
    bool twoStopBits = false;
    switch (m_stopbits) {
        case stopbits_one:
            twoStopBits = false;
            break;
        // POSIX has no 1.5 stop bits; two is the nearest a receiver accepts.
        case stopbits_one_point_five:
        case stopbits_two:
            twoStopBits = true;
            break;
        default:
            throw std::invalid_argument("invalid stop bit");
    }
    tcflag_t parity = 0;
    switch (m_parity) {
        case parity_none:
            parity = 0;
            break;
        case parity_odd:
            parity = PARENB | PARODD;
            break;
        case parity_even:
            parity = PARENB;
            break;
        // CMSPAR makes the parity bit sticky: PARODD set = mark, clear = space.
        case parity_mark:
            parity = PARENB | PARODD | CMSPAR;
            break;
        case parity_space:
            parity = PARENB | CMSPAR;
            break;
        default:
            throw std::invalid_argument("invalid parity");
    }

    // Raw bytes: no line editing, echo, signals or translation.
    tio.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;

    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = m_baudrate;
    tio.c_ospeed = m_baudrate;

    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    tio.c_cflag |= size;
    if (twoStopBits) {
        tio.c_cflag |= CSTOPB;
    } else {
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    tio.c_cflag |= parity;

    switch (m_flowcontrol) {
        case flowcontrol_none:
            tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
            tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
            break;
        case flowcontrol_software:
            tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
            tio.c_iflag &= ~static_cast<tcflag_t>(IXANY);
            tio.c_iflag |= IXON | IXOFF;
            break;
        case flowcontrol_hardware:
            tio.c_cflag |= CRTSCTS;
            tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
            break;
        default:
            // Unknown modes leave the device's flow control as it was.
            break;
    }

    // VMIN 1 with O_NONBLOCK: no data reads as EAGAIN, so a read of 0
    // bytes can only mean the line hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    if (gCalls.setAttr(m_fd.get(), &tio) != 0) {
        SERIAL_THROW_IO("Error setting serial port settings.");
    }
    // The time-outs are kept by read() and write() themselves; there is
    // nothing to hand to the driver.
}

void Serial::SerialImpl::close() {
    if (!m_isOpen.exchange(false)) {
        return;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t woke = ::write(m_wakeFd.get(), &one, sizeof one);
    // Wait until no read or write is still using the descriptor; they
    // return promptly now that the wake descriptor is signalled.
    std::scoped_lock lock(m_readMutex, m_writeMutex);
    m_wakeFd.reset();  // every user of it holds one of the locks
    // The exclusive flag only drops by itself at the terminal's last close;
    // when someone else still holds it open (a pty master's owner keeping
    // the slave) it would lock out our next open. A failure here changes
    // nothing that the close below does not.
    [[maybe_unused]] const int cleared = gCalls.clearExclusive(m_fd.get());
    const int result = m_fd.reset();
    if (result != 0) {
        // Linux releases the descriptor even when close() reports an error,
        // so the port counts as closed; the error is still reported.
        SERIAL_THROW_IO("Error while closing serial port: " + std::to_string(errno));
    }
}

void Serial::SerialImpl::idleUntil(int64_t deadline) {
    // Without a total time-out there is nothing to wait out: a line that
    // has hung up stays hung up on this descriptor, so waiting would block
    // the reader until the port is closed.
    if (deadline == kNoDeadline) {
        return;
    }
    for (;;) {
        const int wait = remainingMs(deadline);
        if (wait == 0) {
            return;
        }
        pollfd wake{m_wakeFd.get(), POLLIN, 0};
        const int ready = gCalls.poll(&wake, 1, wait);
        if (ready > 0 || (ready < 0 && errno != EINTR)) {
            return;
        }
    }
}

size_t Serial::SerialImpl::read(uint8_t* buffer, size_t size) {
    if (!m_isOpen) {
        throw PortNotOpenedException("Serial::read");
    }
    if (size == 0) {
        return 0;
    }
    const int64_t start = nowMs();
    const int64_t deadline =
        deadlineFor(m_timeout.readConstant, m_timeout.readMultiplier, size, start);
    const bool interByteLimit = m_timeout.interByte != 0 && m_timeout.interByte != Timeout::max();
    // All-ones inter-byte with no total limit: return what is there now.
    const bool immediate = m_timeout.interByte == Timeout::max() && deadline == kNoDeadline;

    size_t got = 0;
    int64_t lastByte = start;
    for (;;) {
        int wait = immediate ? 0 : remainingMs(deadline);
        if (interByteLimit && got > 0) {
            const int gap = remainingMs(lastByte + m_timeout.interByte);
            wait = wait < 0 ? gap : std::min(wait, gap);
        }
        pollfd fds[2] = {{m_fd.get(), POLLIN, 0}, {m_wakeFd.get(), POLLIN, 0}};
        const int ready = gCalls.poll(fds, 2, wait);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            idleUntil(deadline);
            return got;
        }
        if (ready == 0 || (fds[1].revents & POLLIN) != 0) {
            return got;  // time-out, or the port is being closed
        }
        if ((fds[0].revents & POLLIN) == 0) {
            // Hang-up or error without data: the device has gone (adapter
            // pulled, pty master closed). Take the whole time-out anyway so
            // a caller reading in a loop does not spin a core; with no
            // total time-out, return at once with what was read.
            m_lineLost = true;
            idleUntil(deadline);
            return got;
        }
        const ssize_t n = gCalls.read(m_fd.get(), buffer + got, size - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            lastByte = nowMs();
            m_lastByteTicks = std::chrono::steady_clock::now().time_since_epoch().count();
            if (got == size) {
                return got;
            }
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        // EIO, ENXIO, or end of file: same as a hang-up above. The platform
        // failure is not raised; the bytes already read are returned.
        m_lineLost = true;
        idleUntil(deadline);
        return got;
    }
}

size_t Serial::SerialImpl::write(const uint8_t* data, size_t size) {
    if (!m_isOpen) {
        throw PortNotOpenedException("Serial::write");
    }
    const int64_t deadline =
        deadlineFor(m_timeout.writeConstant, m_timeout.writeMultiplier, size, nowMs());
    size_t written = 0;
    while (written < size) {
        const ssize_t n = gCalls.write(m_fd.get(), data + written, size - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            SERIAL_THROW_IO("Error while writing to the serial port: " + std::to_string(errno));
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // The driver's buffer is full: wait for room until the deadline.
        const int wait = remainingMs(deadline);
        if (wait == 0) {
            return written;
        }
        pollfd fds[2] = {{m_fd.get(), POLLOUT, 0}, {m_wakeFd.get(), POLLIN, 0}};
        const int ready = gCalls.poll(fds, 2, wait);
        if (ready < 0 && errno != EINTR) {
            SERIAL_THROW_IO("Error while writing to the serial port: " + std::to_string(errno));
        }
        if (ready == 0 || (ready > 0 && (fds[1].revents & POLLIN) != 0)) {
            return written;
        }
    }
    return written;
}

}  // namespace serial
