#include "tests/sim/slave_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace corvexa::sim::testing {

Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    }
    return out;
}

std::string ToHex(const Bytes& bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", b);
        out += buf;
    }
    return out;
}

SlavePort::SlavePort(const std::string& path)
    : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (m_fd < 0) {
        throw std::system_error(errno, std::generic_category(), "open " + path);
    }
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
        ::close(m_fd);
        throw std::system_error(errno, std::generic_category(), "tcgetattr");
    }
    cfmakeraw(&tio);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        ::close(m_fd);
        throw std::system_error(errno, std::generic_category(), "tcsetattr");
    }
}

SlavePort::~SlavePort() {
    ::close(m_fd);
}

void SlavePort::LockExclusive() {
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        throw std::system_error(errno, std::generic_category(), "flock");
    }
    if (::ioctl(m_fd, TIOCEXCL) != 0) {
        throw std::system_error(errno, std::generic_category(), "TIOCEXCL");
    }
}

bool SlavePort::ExclusiveFlag() const {
    int on = 0;
    if (::ioctl(m_fd, TIOCGEXCL, &on) != 0) {
        throw std::system_error(errno, std::generic_category(), "TIOCGEXCL");
    }
    return on != 0;
}

void SlavePort::Write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            throw std::system_error(errno, std::generic_category(), "write");
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        }
    }
}

std::vector<SlavePort::TimedByte> SlavePort::ReadTimed(std::size_t n,
                                                       std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::vector<TimedByte> out;
    while (out.size() < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) {
            break;
        }
        pollfd fd{m_fd, POLLIN, 0};
        const int rc = ::poll(&fd, 1, static_cast<int>(left));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc <= 0) {
            break;
        }
        std::uint8_t buf[256];
        const std::size_t want = std::min(n - out.size(), sizeof buf);
        const ssize_t got = ::read(m_fd, buf, want);
        const auto at = Clock::now();
        for (ssize_t i = 0; i < got; ++i) {
            out.push_back({buf[i], at});
        }
    }
    return out;
}

bool SlavePort::WaitReadable(std::chrono::milliseconds timeout) {
    pollfd fd{m_fd, POLLIN, 0};
    return ::poll(&fd, 1, static_cast<int>(timeout.count())) == 1;
}

Bytes SlavePort::Read(std::size_t n, std::chrono::milliseconds timeout) {
    Bytes out;
    for (const TimedByte& t : ReadTimed(n, timeout)) {
        out.push_back(t.byte);
    }
    return out;
}

Bytes SlavePort::Exchange(const Bytes& request, std::size_t n, std::chrono::milliseconds timeout) {
    Write(request);
    return Read(n, timeout);
}

}  // namespace corvexa::sim::testing
