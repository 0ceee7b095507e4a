// The Windows serial code against a transmitter on a real COM port: the
// port named in CORVEXA_TEST_PORT (scripts/wine-tests maps COM9 to the pty
// of a corvexa-sim it starts, which answers the frames sent here).

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "serial/impl/win_list_ports.h"
#include "serial/serial.h"
#include "serial/serial_com_imp.h"
#include "tests/serial/recorder.h"

namespace {

using serial::Serial;
using serial::Timeout;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// Read register 10 at station 1, and the vendor connect request.
const Bytes kReadRegister10{0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08};
const Bytes kConnectRequest{0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x5F};
constexpr size_t kConnectReplySize = 8;  // FF F8 FF FF FF FF crc crc
constexpr size_t kReadReplySize = 7;     // 01 03 02 hi lo crc crc

std::string TestPort() {
    const char* port = std::getenv("CORVEXA_TEST_PORT");
    return port != nullptr ? port : "";
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Wine opens a COM port with the Unix device's own sharing, which lets a
// second opener in; Windows' serial driver refuses it.
bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class ComPort : public testing::Test {
protected:
    void SetUp() override {
        m_port = TestPort();
        ASSERT_FALSE(m_port.empty())
            << "CORVEXA_TEST_PORT names no port (scripts/wine-tests sets it)";
        // What an earlier test left on the line is not this test's.
        Serial drain(m_port, 9600, Timeout::Total(100));
        uint8_t buffer[2048];
        while (drain.read(buffer, sizeof buffer) > 0) {
        }
    }
    // Reads until `count` bytes came or `limitMs` passed.
    static Bytes ReadFor(Serial& port, size_t count, int limitMs = 3000) {
        Bytes got;
        const auto start = Clock::now();
        uint8_t buffer[256];
        while (got.size() < count && MsSince(start) < limitMs) {
            const size_t n = port.read(buffer, std::min(sizeof buffer, count - got.size()));
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    std::string m_port;
};

TEST_F(ComPort, ConfiguredPortExchangesFramesWithTheTransmitter) {
    Serial port(m_port, 9600, Timeout::Total(50));
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.write(kConnectRequest.data(), kConnectRequest.size()), kConnectRequest.size());
    const Bytes connected = ReadFor(port, kConnectReplySize);
    ASSERT_EQ(connected.size(), kConnectReplySize);
    EXPECT_EQ(Bytes(connected.begin(), connected.begin() + 2), (Bytes{0xFF, 0xF8}));

    EXPECT_EQ(port.write(kReadRegister10.data(), kReadRegister10.size()), kReadRegister10.size());
    const Bytes reply = ReadFor(port, kReadReplySize);
    ASSERT_EQ(reply.size(), kReadReplySize);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 3), (Bytes{0x01, 0x03, 0x02}));
    port.close();
    EXPECT_FALSE(port.isOpen());
    port.close();
    uint8_t byte = 0;
    EXPECT_THROW(port.read(&byte, 1), serial::PortNotOpenedException);
}

// The total time-out of COMMTIMEOUTS: a read with nothing coming ends after
// it, with 0 bytes. The figures are printed, the check is loose.
TEST_F(ComPort, EmptyReadEndsAfterTheTotalTimeOut) {
    Serial port(m_port, 9600, Timeout::Total(50));
    std::vector<double> times;
    uint8_t buffer[64];
    for (int i = 0; i < 11; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(port.read(buffer, sizeof buffer), 0u);
        times.push_back(MsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("50 ms read, nothing arriving: min %.1f ms, median %.1f ms, max %.1f ms\n",
                times.front(), times[times.size() / 2], times.back());
    EXPECT_GE(times.front(), 45.0);
    EXPECT_LT(times[times.size() / 2], 500.0);
}

// The inter-byte rule: a read asking for far more than a reply ends once
// the line has been quiet for the gap after the last byte, long before its
// total time-out, with the whole reply.
TEST_F(ComPort, ReadEndsOnTheGapAfterAReply) {
    for (const uint32_t gap : {5u, 20u}) {
        SCOPED_TRACE(gap);
        Serial port(m_port, 9600, Timeout{gap, 1000, 0, 1000, 0});
        port.write(kReadRegister10.data(), kReadRegister10.size());
        const auto start = Clock::now();
        uint8_t buffer[2048];
        size_t got = 0;
        // The first read may end on the gap between request and reply only
        // once a byte has come; it cannot return empty before 1000 ms.
        while (got < kReadReplySize && MsSince(start) < 3000) {
            got += port.read(buffer + got, sizeof buffer - got);
        }
        const double elapsed = MsSince(start);
        std::printf("read of 2048 with a %u ms gap rule: %zu bytes after %.1f ms\n", gap, got,
                    elapsed);
        EXPECT_EQ(got, kReadReplySize);
        EXPECT_LT(elapsed, 600.0) << "the read waited for its total time-out";
    }
}

TEST_F(ComPort, SecondOpenOfAnOpenPortFails) {
    if (RunningOnWine()) {
        GTEST_SKIP() << "Wine does not keep a second opener off a COM port";
    }
    Serial first(m_port, 9600, Timeout::Total(50));
    try {
        Serial second(m_port, 9600, Timeout::Total(50));
        FAIL() << "second open succeeded";
    } catch (const serial::IOException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "IO Exception: Unknown error opening the serial port: 5, file "
                  "..\\..\\src\\impl\\win, line 86.");
    }
    first.close();
    Serial third(m_port, 9600, Timeout::Total(50));
    EXPECT_TRUE(third.isOpen());
}

TEST_F(ComPort, MissingPortIsNamedInTheError) {
    try {
        Serial port("COM77", 9600, Timeout::Total(50));
        FAIL() << "COM77 opened";
    } catch (const serial::IOException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "IO Exception: Specified port, COM77, does not exist., file "
                  "..\\..\\src\\impl\\win, line 83.");
    }
}

// close() on one thread while another waits in a read: the read ends (at
// once where the system cancels a waiting synchronous read, else at its
// time-out), nothing touches the closed handle, later calls are refused and
// the port can be opened again.
TEST_F(ComPort, CloseWhileAReadWaits) {
    Serial port(m_port, 9600, Timeout::Total(1000));
    auto reader = std::async(std::launch::async, [&port] {
        uint8_t buffer[16];
        const auto start = Clock::now();
        const size_t n = port.read(buffer, sizeof buffer);
        return std::make_pair(n, MsSince(start));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = Clock::now();
    port.close();
    const double closeMs = MsSince(start);
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto [n, readMs] = reader.get();
    std::printf("close during a 1000 ms read: close took %.1f ms, the read %.1f ms\n", closeMs,
                readMs);
    EXPECT_EQ(n, 0u);
    EXPECT_LT(closeMs, 1800.0);
    EXPECT_FALSE(port.isOpen());
    uint8_t byte = 0;
    EXPECT_THROW(port.write(&byte, 1), serial::PortNotOpenedException);
    EXPECT_THROW(port.read(&byte, 1), serial::PortNotOpenedException);
    Serial again(m_port, 9600, Timeout::Total(50));
    EXPECT_TRUE(again.isOpen());
}

// Readers and writers hammering a port that is closed under them: each call
// either works or is refused, none uses the closed handle.
TEST_F(ComPort, CallsRacingCloseAreRefusedCleanly) {
    for (int round = 0; round < 20; ++round) {
        Serial port(m_port, 9600, Timeout::Total(20));
        std::atomic<bool> stop{false};
        auto worker = [&](bool reading) {
            uint8_t buffer[8] = {};
            while (!stop) {
                try {
                    if (reading) {
                        port.read(buffer, sizeof buffer);
                    } else {
                        port.write(kReadRegister10.data(), kReadRegister10.size());
                    }
                } catch (const serial::PortNotOpenedException&) {
                    return true;
                } catch (...) {
                    return false;
                }
            }
            return true;
        };
        auto reader = std::async(std::launch::async, worker, true);
        auto writer = std::async(std::launch::async, worker, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        port.close();
        stop = true;
        EXPECT_TRUE(reader.get());
        EXPECT_TRUE(writer.get());
    }
    // Let the transmitter answer what it still has, then drop it.
    Serial drain(m_port, 9600, Timeout::Total(300));
    uint8_t buffer[2048];
    while (drain.read(buffer, sizeof buffer) > 0) {
    }
}

TEST_F(ComPort, EngineDeliversTheReplyAndEndsItsReceiverOnStop) {
    serial_test::Recorder recorder;
    SerialComImp<IComHanlder, 2048> engine("", 9600, Timeout(), serial::eightbits,
                                           serial::parity_none, serial::stopbits_one,
                                           serial::flowcontrol_none);
    engine.SetHandler(&recorder);
    engine.SetParams(m_port, 9600, Timeout::Total(50), serial::eightbits, serial::parity_none,
                     serial::stopbits_one, serial::flowcontrol_none);
    ASSERT_TRUE(engine.Open());
    ASSERT_TRUE(engine.Start());
    EXPECT_EQ(engine.Write(kConnectRequest.data(), static_cast<int32_t>(kConnectRequest.size())),
              static_cast<int32_t>(kConnectRequest.size()));
    EXPECT_TRUE(recorder.waitFor([&] { return recorder.bytes().size() >= kConnectReplySize; }));
    const Bytes got = recorder.bytes();
    ASSERT_EQ(got.size(), kConnectReplySize);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 2), (Bytes{0xFF, 0xF8}));
    const auto start = Clock::now();
    engine.Stop(0xFFFFFFFFu);
    std::printf("engine stop: %.1f ms\n", MsSince(start));
    const std::vector<std::string> names = recorder.names();
    ASSERT_GE(names.size(), 5u);
    EXPECT_EQ(names.front(), "open");
    EXPECT_EQ(names[1], "start");
    // The receiver may notice the close before Close reports it.
    EXPECT_EQ(recorder.count("close"), 1);
    EXPECT_EQ(recorder.count("exit"), 1);
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

void Print(const char* way, const std::vector<SSerInfo>& ports) {
    std::printf("%s: %zu port(s)\n", way, ports.size());
    for (const SSerInfo& p : ports) {
        std::printf("  path \"%s\" name \"%s\" friendly \"%s\" usb %d description \"%s\"\n",
                    Narrow(p.devicePath).c_str(), Narrow(p.portName).c_str(),
                    Narrow(p.friendlyName).c_str(), p.isUsb ? 1 : 0, Narrow(p.description).c_str());
    }
}

// What each of the three ways finds on this system, printed for the record.
// Only the probe way has a fixed answer; the others depend on the system.
TEST(PortList, EachWayRunsAndReports) {
    std::vector<SSerInfo> probe;
    ListPortsProbe(probe);
    Print("probe COM1..COM16", probe);
    ASSERT_EQ(probe.size(), 16u);
    EXPECT_EQ(probe[8].devicePath, L"\\\\.\\COM9");

    std::vector<SSerInfo> setupApi;
    try {
        ListPortsSetupApi(setupApi);
        Print("setup interface", setupApi);
    } catch (const CSerialListException& e) {
        std::printf("setup interface: error \"%s\"\n", e.what());
    }
    std::vector<SSerInfo> registry;
    try {
        ListPortsRegistry(registry);
        Print("registry HKLM\\Enum", registry);
    } catch (const CSerialListException& e) {
        std::printf("registry HKLM\\Enum: error \"%s\"\n", e.what());
    }
    std::vector<SSerInfo> chosen;
    ListSerialPorts(chosen, false);
    Print("ListSerialPorts (the way this system's version picks)", chosen);
    std::vector<SSerInfo> free;
    ListSerialPorts(free, true);
    Print("ListSerialPorts, busy ports dropped", free);
}

}  // namespace
