#include <errno.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <regex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "serial/impl/unix_syscalls.h"
#include "serial/serial.h"
#include "tests/serial/pty_pair.h"

namespace {

using serial::Serial;
using serial::Timeout;
using serial_test::PtyPair;
using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Restores the real system calls whatever a test swapped in.
class SyscallSeam {
public:
    SyscallSeam() = default;
    ~SyscallSeam() { serial::unix_sys::calls() = serial::unix_sys::realCalls(); }
    serial::unix_sys::Calls& calls() { return serial::unix_sys::calls(); }
};

// The site part of an IOException message comes from this file's raise
// points; the description part is fixed text.
void ExpectIoMessage(const std::exception& e, const std::string& description) {
    const std::regex pattern(
        "IO Exception: " +
        std::regex_replace(description, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
        R"(, file serial/impl/unix\.cpp, line [1-9][0-9]*\.)");
    EXPECT_TRUE(std::regex_match(e.what(), pattern)) << e.what();
}

TEST(SerialExceptions, MessagesAndCopies) {
    EXPECT_STREQ(serial::SerialException("Serial port already open.").what(),
                 "SerialException Serial port already open. failed.");
    EXPECT_STREQ(serial::PortNotOpenedException("Serial::write").what(),
                 "PortNotOpenedException Serial::write failed.");
    const serial::IOException io("..\\..\\src\\impl\\win", 83,
                                 "Specified port, COM9, does not exist.");
    EXPECT_STREQ(
        io.what(),
        "IO Exception: Specified port, COM9, does not exist., file ..\\..\\src\\impl\\win, "
        "line 83.");
    const serial::IOException copy = io;
    EXPECT_STREQ(copy.what(), io.what());
    EXPECT_EQ(copy.file(), "..\\..\\src\\impl\\win");
    EXPECT_EQ(copy.line(), 83);
    EXPECT_EQ(copy.errorNumber(), 0);
}

TEST(SerialTimeout, TotalDisablesInterByteAndSetsBothConstants) {
    const Timeout t = Timeout::Total(50);
    EXPECT_EQ(t.interByte, 0xFFFFFFFFu);
    EXPECT_EQ(t.readConstant, 50u);
    EXPECT_EQ(t.readMultiplier, 0u);
    EXPECT_EQ(t.writeConstant, 50u);
    EXPECT_EQ(t.writeMultiplier, 0u);
}

TEST(SerialOpen, EmptyNameGivesClosedPortThatRefusesIo) {
    Serial port("");
    EXPECT_FALSE(port.isOpen());
    uint8_t byte = 0;
    try {
        port.read(&byte, 1);
        FAIL() << "read on a closed port returned";
    } catch (const serial::PortNotOpenedException& e) {
        EXPECT_STREQ(e.what(), "PortNotOpenedException Serial::read failed.");
    }
    try {
        port.write(&byte, 1);
        FAIL() << "write on a closed port returned";
    } catch (const serial::PortNotOpenedException& e) {
        EXPECT_STREQ(e.what(), "PortNotOpenedException Serial::write failed.");
    }
}

TEST(SerialOpen, MissingPortNamesTheGivenName) {
    // A bare name is looked up in /dev; an absolute path is used as is.
    for (const std::string name : {"corvexa-no-such-port", "/tmp/corvexa-no-such-dir/ttyX"}) {
        try {
            Serial port(name, 9600, Timeout::Total(50));
            FAIL() << name << " opened";
        } catch (const serial::IOException& e) {
            ExpectIoMessage(e, "Specified port, " + name + ", does not exist.");
        }
    }
}

TEST(SerialOpen, AbsolutePathOpensWithoutPrefix) {
    PtyPair pty;
    Serial port(pty.slavePath(), 9600, Timeout::Total(50));
    EXPECT_TRUE(port.isOpen());
}

TEST(SerialOpen, SecondOpenOfAnOpenPortIsRefused) {
    PtyPair pty;
    Serial first(pty.slavePath(), 9600, Timeout::Total(50));
    try {
        Serial second(pty.slavePath(), 9600, Timeout::Total(50));
        FAIL() << "second open succeeded";
    } catch (const serial::IOException& e) {
        ExpectIoMessage(e, "Unknown error opening the serial port: " + std::to_string(EBUSY));
    }
    first.close();
    Serial third(pty.slavePath(), 9600, Timeout::Total(50));
    EXPECT_TRUE(third.isOpen());
}

// The exclusive flag is ours while the port is open and gone after close,
// even when another descriptor keeps the terminal itself open.
TEST(SerialOpen, ExclusiveFlagFollowsOpenAndClose) {
    PtyPair pty;
    const int keeper = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(keeper, 0);
    auto exclusive = [keeper] {
        int on = -1;
        EXPECT_EQ(::ioctl(keeper, TIOCGEXCL, &on), 0);
        return on;
    };
    EXPECT_EQ(exclusive(), 0);
    {
        Serial port(pty.slavePath(), 9600, Timeout::Total(50));
        EXPECT_EQ(exclusive(), 1);
    }
    EXPECT_EQ(exclusive(), 0);
    ::close(keeper);
}

struct BadSetting {
    int32_t bytesize, parity, stopbits;
    const char* message;
};

class SerialBadSettings : public testing::TestWithParam<BadSetting> {};

// The checks run byte size, stop bits, parity, in that order; a refused
// open leaves the device free for the next attempt.
TEST_P(SerialBadSettings, RefusedWithTextAndDeviceReleased) {
    const BadSetting& c = GetParam();
    PtyPair pty;
    const int fds = serial_test::CountOpenDescriptors();
    try {
        Serial port(pty.slavePath(), 9600, Timeout::Total(50), serial::ByteSize(c.bytesize),
                    serial::Parity(c.parity), serial::StopBits(c.stopbits));
        FAIL() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(serial_test::CountOpenDescriptors(), fds);
    Serial again(pty.slavePath(), 9600, Timeout::Total(50));
    EXPECT_TRUE(again.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Table, SerialBadSettings,
                         testing::Values(BadSetting{9, 0, 1, "invalid char len"},
                                         BadSetting{4, 0, 1, "invalid char len"},
                                         BadSetting{8, 0, 4, "invalid stop bit"},
                                         BadSetting{8, 0, 0, "invalid stop bit"},
                                         BadSetting{8, 7, 1, "invalid parity"},
                                         BadSetting{8, -1, 1, "invalid parity"},
                                         BadSetting{9, 7, 4, "invalid char len"},
                                         BadSetting{8, 7, 4, "invalid stop bit"}));

struct LineCase {
    uint32_t baud;
    serial::ByteSize bytesize;
    serial::Parity parity;
    serial::StopBits stopbits;
    serial::FlowControl flow;
};

class SerialLineSettings : public testing::TestWithParam<LineCase> {};

TEST_P(SerialLineSettings, ReachTheDevice) {
    const LineCase& c = GetParam();
    const serial_test::LineFlags f = serial_test::LineFlagValues();
    PtyPair pty;
    SyscallSeam seam;
    serial_test::CaptureSettingsOnSet();
    Serial port(pty.slavePath(), c.baud, Timeout::Total(50), c.bytesize, c.parity, c.stopbits,
                c.flow);
    // The rate is kept by the pty itself, so that part is read back.
    const serial_test::LineSettings device = serial_test::ReadLineSettings(pty.master());
    EXPECT_EQ(device.outputSpeed, c.baud);
    EXPECT_EQ(device.inputSpeed, c.baud);
    const serial_test::LineSettings s = serial_test::CapturedSettings();
    const uint32_t sizes[] = {f.cs5, f.cs6, f.cs7, f.cs8};
    EXPECT_EQ(s.cflag & f.csize, sizes[c.bytesize - 5]);
    EXPECT_EQ((s.cflag & f.cstopb) != 0, c.stopbits != serial::stopbits_one);
    const uint32_t parityBits = f.parenb | f.parodd | f.cmspar;
    const uint32_t parities[] = {0, f.parenb | f.parodd, f.parenb, f.parenb | f.parodd | f.cmspar,
                                 f.parenb | f.cmspar};
    EXPECT_EQ(s.cflag & parityBits, parities[c.parity]);
    EXPECT_EQ((s.cflag & f.crtscts) != 0, c.flow == serial::flowcontrol_hardware);
    EXPECT_EQ((s.iflag & (f.ixon | f.ixoff)) != 0, c.flow == serial::flowcontrol_software);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SerialLineSettings,
    testing::Values(LineCase{9600, serial::eightbits, serial::parity_none, serial::stopbits_one,
                             serial::flowcontrol_none},
                    LineCase{250000, serial::eightbits, serial::parity_none, serial::stopbits_one,
                             serial::flowcontrol_none},
                    LineCase{115200, serial::sevenbits, serial::parity_even, serial::stopbits_two,
                             serial::flowcontrol_software},
                    LineCase{19200, serial::sixbits, serial::parity_odd,
                             serial::stopbits_one_point_five, serial::flowcontrol_hardware},
                    LineCase{1200, serial::fivebits, serial::parity_mark, serial::stopbits_one,
                             serial::flowcontrol_none},
                    LineCase{38400, serial::eightbits, serial::parity_space, serial::stopbits_two,
                             serial::flowcontrol_none}));

TEST(SerialClose, TwiceIsHarmlessAndEndsIo) {
    PtyPair pty;
    Serial port(pty.slavePath(), 9600, Timeout::Total(50));
    port.close();
    EXPECT_FALSE(port.isOpen());
    port.close();
    EXPECT_FALSE(port.isOpen());
    uint8_t byte = 0;
    EXPECT_THROW(port.read(&byte, 1), serial::PortNotOpenedException);
}

TEST(SerialIo, BytesCrossBothWays) {
    PtyPair pty;
    Serial port(pty.slavePath(), 9600, Timeout::Total(1000));
    const std::vector<uint8_t> request{0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08, 0x0A, 0x0D};
    EXPECT_EQ(port.write(request.data(), request.size()), request.size());
    EXPECT_EQ(pty.receive(request.size()), request);

    const std::vector<uint8_t> reply{0x01, 0x03, 0x02, 0x00, 0x11, 0x79, 0x88, 0x00, 0xFF};
    pty.send(reply);
    std::vector<uint8_t> got(reply.size());
    EXPECT_EQ(port.read(got.data(), got.size()), reply.size());
    EXPECT_EQ(got, reply);
}

TEST(SerialIo, ReadReturnsWhatArrivedWhenTheTimeOutEnds) {
    PtyPair pty;
    Serial port(pty.slavePath(), 9600, Timeout::Total(50));
    pty.send({0xFF, 0xF8, 0x00});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    uint8_t buffer[16] = {};
    size_t got = 0;
    for (int i = 0; i < 20 && got < 3; ++i) {
        got += port.read(buffer + got, sizeof buffer - got);
    }
    ASSERT_EQ(got, 3u);
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[1], 0xF8);
    EXPECT_EQ(buffer[2], 0x00);
}

TEST(SerialIo, EmptyReadTakesTheTimeOutAndReturnsZero) {
    PtyPair pty;
    Serial port(pty.slavePath(), 9600, Timeout::Total(50));
    uint8_t buffer[8];
    const auto start = Clock::now();
    EXPECT_EQ(port.read(buffer, sizeof buffer), 0u);
    const long elapsed = msSince(start);
    EXPECT_GE(elapsed, 49);
    EXPECT_LT(elapsed, 2000);
}

// Without a total limit a read ends on the inter-byte gap, or at once when
// the gap limit is the all-ones "none"; neither may wait for a full buffer.
TEST(SerialIo, ReadsWithoutTotalLimitEndOnTheGapRule) {
    for (const uint32_t interByte : {30u, Timeout::max()}) {
        SCOPED_TRACE(interByte);
        PtyPair pty;
        Serial port(pty.slavePath(), 9600, Timeout{interByte, 0, 0, 0, 0});
        pty.send({0x01, 0x02});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        auto reader = std::async(std::launch::async, [&port] {
            uint8_t buffer[16];
            return port.read(buffer, sizeof buffer);
        });
        if (reader.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            port.close();  // frees the reader so the test can report
            ADD_FAILURE() << "read did not end";
        }
        EXPECT_EQ(reader.get(), 2u);
    }
}

TEST(SerialIo, CloseFromAnotherThreadEndsAWaitingRead) {
    PtyPair pty;
    Serial port(pty.slavePath(), 9600, Timeout::Total(20000));
    auto reader = std::async(std::launch::async, [&port] {
        uint8_t buffer[8];
        return port.read(buffer, sizeof buffer);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    port.close();
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(reader.get(), 0u);
    EXPECT_LT(msSince(start), 10000);
}

// A vanished device (pty master gone, like a pulled adapter) must not turn
// the read into a busy loop: each read still lasts its time-out.
TEST(SerialIo, VanishedDeviceReadsTakeTheirTimeOut) {
    PtyPair pty;
    Serial port(pty.slavePath(), 9600, Timeout::Total(50));
    auto reader = std::async(std::launch::async, [&port] {
        uint8_t buffer[8];
        return port.read(buffer, sizeof buffer);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    pty.closeMaster();
    EXPECT_EQ(reader.get(), 0u);

    uint8_t buffer[8];
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(port.read(buffer, sizeof buffer), 0u);
    }
    EXPECT_GE(msSince(start), 5 * 49);
    EXPECT_TRUE(port.isOpen());
    EXPECT_THROW(port.write(buffer, 1), serial::IOException);
}

// With no total time-out a hang-up ends the read at once with what it had;
// before, it waited until the port was closed.
TEST(SerialIo, HungUpLineEndsAReadWithoutTotalLimit) {
    for (const std::vector<uint8_t>& before : {std::vector<uint8_t>{}, {0x01, 0x02}}) {
        SCOPED_TRACE(before.size());
        PtyPair pty;
        Serial port(pty.slavePath(), 9600, Timeout{});
        pty.send(before);
        auto reader = std::async(std::launch::async, [&port] {
            uint8_t buffer[16];
            return port.read(buffer, sizeof buffer);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pty.closeMaster();
        if (reader.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            port.close();  // frees the reader so the test can report
            ADD_FAILURE() << "read did not end on the hang-up";
        }
        EXPECT_EQ(reader.get(), before.size());
    }
}

TEST(SerialSeam, FailingConfigurationCallsRaiseAndReleaseTheDevice) {
    PtyPair pty;
    const int fds = serial_test::CountOpenDescriptors();
    struct Case {
        const char* description;
        void (*inject)(serial::unix_sys::Calls&);
    } cases[] = {
        {"Error getting the serial port state.",
         [](serial::unix_sys::Calls& c) {
             c.getAttr = [](int, termios2*) { return errno = EIO, -1; };
         }},
        {"Error setting serial port settings.",
         [](serial::unix_sys::Calls& c) {
             c.setAttr = [](int, const termios2*) { return errno = EINVAL, -1; };
         }},
        {"Unknown error opening the serial port: 25",
         [](serial::unix_sys::Calls& c) {
             c.setExclusive = [](int) { return errno = ENOTTY, -1; };
         }},
        {"Unknown error opening the serial port: 13",
         [](serial::unix_sys::Calls& c) {
             c.open = [](const char*, int) { return errno = EACCES, -1; };
         }},
    };
    for (const Case& c : cases) {
        SyscallSeam seam;
        c.inject(seam.calls());
        try {
            Serial port(pty.slavePath(), 9600, Timeout::Total(50));
            ADD_FAILURE() << c.description << ": opened";
        } catch (const serial::IOException& e) {
            ExpectIoMessage(e, c.description);
        }
        EXPECT_EQ(serial_test::CountOpenDescriptors(), fds) << c.description;
    }
    Serial port(pty.slavePath(), 9600, Timeout::Total(50));
    EXPECT_TRUE(port.isOpen());
}

TEST(SerialSeam, InterruptedCallsAreRetried) {
    PtyPair pty;
    SyscallSeam seam;
    Serial port(pty.slavePath(), 9600, Timeout::Total(1000));
    // Every other call fails with EINTR.
    static std::atomic<int> polls{0}, reads{0}, writes{0};
    seam.calls().poll = [](pollfd* fds, nfds_t n, int t) {
        return polls++ % 2 == 0 ? (errno = EINTR, -1) : ::poll(fds, n, t);
    };
    seam.calls().read = [](int fd, void* b, size_t n) -> ssize_t {
        return reads++ % 2 == 0 ? (errno = EINTR, -1) : ::read(fd, b, n);
    };
    seam.calls().write = [](int fd, const void* b, size_t n) -> ssize_t {
        return writes++ % 2 == 0 ? (errno = EINTR, -1) : ::write(fd, b, n);
    };
    const std::vector<uint8_t> bytes{1, 2, 3, 4};
    EXPECT_EQ(port.write(bytes.data(), bytes.size()), bytes.size());
    EXPECT_EQ(pty.receive(bytes.size()), bytes);
    pty.send(bytes);
    std::vector<uint8_t> got(bytes.size());
    EXPECT_EQ(port.read(got.data(), got.size()), bytes.size());
    EXPECT_EQ(got, bytes);
    EXPECT_GT(reads.load(), 1);
}

TEST(SerialSeam, FailingReadAndWriteAtThePlatform) {
    PtyPair pty;
    SyscallSeam seam;
    Serial port(pty.slavePath(), 9600, Timeout::Total(50));
    seam.calls().read = [](int, void*, size_t) -> ssize_t { return errno = EIO, -1; };
    seam.calls().write = [](int, const void*, size_t) -> ssize_t { return errno = EIO, -1; };
    pty.send({0x55});
    uint8_t buffer[4];
    const auto start = Clock::now();
    EXPECT_EQ(port.read(buffer, sizeof buffer), 0u);
    EXPECT_GE(msSince(start), 49);
    try {
        port.write(buffer, 1);
        FAIL() << "write succeeded";
    } catch (const serial::IOException& e) {
        ExpectIoMessage(e, "Error while writing to the serial port: 5");
    }
}

}  // namespace
