#include "sim/pseudo_terminal.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <system_error>

#include "tests/sim/slave_port.h"

namespace corvexa::sim {
namespace {

using namespace std::chrono_literals;

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (::readdir(dir) != nullptr) {
        ++n;
    }
    ::closedir(dir);
    return n;
}

// Which step of the set-up is made to fail, and how.
int g_failStep = -1;

int FailAt(int step, int result) {
    if (step == g_failStep) {
        errno = EIO;
        return result;
    }
    return 0;
}

PtySystem FailingSystem() {
    PtySystem sys = PtySystem::Real();
    static const PtySystem real = PtySystem::Real();
    sys.openpt = [](int f) { return FailAt(0, -1) ? -1 : real.openpt(f); };
    sys.grantpt = [](int fd) { return FailAt(1, -1) ? -1 : real.grantpt(fd); };
    sys.unlockpt = [](int fd) { return FailAt(2, -1) ? -1 : real.unlockpt(fd); };
    sys.ptsname_r = [](int fd, char* b, std::size_t n) {
        return g_failStep == 3 ? ENOTTY : real.ptsname_r(fd, b, n);
    };
    sys.open = [](const char* p, int f) { return FailAt(4, -1) ? -1 : real.open(p, f); };
    sys.tcgetattr = [](int fd, termios* t) { return FailAt(5, -1) ? -1 : real.tcgetattr(fd, t); };
    sys.tcsetattr = [](int fd, int w, const termios* t) {
        return FailAt(6, -1) ? -1 : real.tcsetattr(fd, w, t);
    };
    sys.getfl = [](int fd) { return FailAt(7, -1) ? -1 : real.getfl(fd); };
    sys.setfl = [](int fd, int f) { return FailAt(8, -1) ? -1 : real.setfl(fd, f); };
    return sys;
}

struct FailCase {
    int step;
    const char* what;
};

void PrintTo(const FailCase& c, std::ostream* os) {
    *os << c.what;
}

class PtySetUpFailure : public ::testing::TestWithParam<FailCase> {
protected:
    void TearDown() override { g_failStep = -1; }
};

TEST_P(PtySetUpFailure, NamesTheStepAndLeavesNothingOpen) {
    const PtySystem sys = FailingSystem();
    const std::size_t before = OpenDescriptors();
    g_failStep = GetParam().step;
    try {
        PseudoTerminal pty(sys);
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
        const int code = GetParam().step == 3 ? ENOTTY : EIO;
        EXPECT_EQ(e.code().value(), code);
        EXPECT_EQ(std::string(e.what()),
                  std::string(GetParam().what) + ": " + std::generic_category().message(code));
    }
    g_failStep = -1;
    EXPECT_EQ(OpenDescriptors(), before);
}

INSTANTIATE_TEST_SUITE_P(Steps, PtySetUpFailure,
                         ::testing::Values(FailCase{0, "posix_openpt"}, FailCase{1, "grantpt"},
                                           FailCase{2, "unlockpt"}, FailCase{3, "ptsname_r"},
                                           FailCase{4, "open slave"}, FailCase{5, "tcgetattr"},
                                           FailCase{6, "tcsetattr"}, FailCase{7, "fcntl F_GETFL"},
                                           FailCase{8, "fcntl F_SETFL"}));

TEST(PseudoTerminal, SlaveCanBeOpenedClosedAndReopenedWithoutEcho) {
    PseudoTerminal pty;
    for (int round = 0; round < 3; ++round) {
        testing::SlavePort port(pty.SlavePath());
        port.Write(testing::Hex("01 02 03"));
        std::uint8_t buf[16];
        pollfd master{pty.Master(), POLLIN, 0};
        ASSERT_EQ(::poll(&master, 1, 2000), 1);
        const ssize_t got = ::read(pty.Master(), buf, sizeof buf);
        ASSERT_EQ(got, 3) << "round " << round;
        EXPECT_EQ(buf[2], 3);
        // Raw mode: nothing of what the program wrote comes back to it.
        EXPECT_TRUE(port.Read(1, std::chrono::milliseconds(50)).empty());
    }
}

std::string g_locks;

std::string LockLine(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    char line[128];
    std::snprintf(line, sizeof line, "1: FLOCK  ADVISORY  WRITE 4242 %02x:%02x:%lu 0 EOF\n",
                  ::major(st.st_dev), ::minor(st.st_dev), static_cast<unsigned long>(st.st_ino));
    return line;
}

TEST(PseudoTerminal, SweepActsOnceTheProgramsLockIsGone) {
    PtySystem sys = PtySystem::Real();
    sys.readLocks = [] { return g_locks; };
    PseudoTerminal pty(sys);
    testing::SlavePort program(pty.SlavePath());
    program.LockExclusive();  // the real lock; the sweep sees only g_locks

    g_locks = "1: FLOCK  ADVISORY  WRITE 1 00:01:1 0 EOF\n" + LockLine(pty.SlavePath());
    pty.Sweep();
    ASSERT_EQ(::write(pty.Master(), "\x01\x02", 2), 2);
    EXPECT_EQ(program.Read(1, 1000ms).size(), 1u);  // data flows while locked
    pty.Sweep();
    EXPECT_TRUE(program.ExclusiveFlag());
    EXPECT_EQ(program.Read(1, 1000ms).size(), 1u) << "nothing flushed while locked";

    ASSERT_EQ(::write(pty.Master(), "\x03\x04", 2), 2);
    ASSERT_TRUE(program.WaitReadable(1000ms)) << "bytes must be across before the flush";
    g_locks.clear();
    pty.Sweep();
    EXPECT_FALSE(program.ExclusiveFlag());
    EXPECT_TRUE(program.Read(1, 100ms).empty()) << "unread replies go with the old connection";

    // No lock seen before: nothing to flush for a program that never locks.
    ASSERT_EQ(::write(pty.Master(), "\x05", 1), 1);
    pty.Sweep();
    EXPECT_EQ(program.Read(1, 1000ms).size(), 1u);
}

TEST(PseudoTerminal, DescriptorsAreReleased) {
    const std::size_t before = OpenDescriptors();
    { PseudoTerminal pty; }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace corvexa::sim
