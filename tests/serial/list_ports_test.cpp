#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/impl/list_ports_unix.h"
#include "serial/port_monitor.h"
#include "serial/serial.h"
#include "serial/usb_latency.h"
#include "tests/serial/fake_sysfs.h"
#include "tests/serial/pty_pair.h"

namespace fs = std::filesystem;
using serial_test::FakeSystem;

namespace {

// The four kinds of port a PC shows, plus ttys that are not ports.
void BuildTypicalMachine(FakeSystem& sys) {
    sys.usbDevice("pci0000:00/usb1/1-1", "FT232R USB UART", "A50285BI");
    sys.tty("ttyUSB0", sys.device("pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0", "ftdi_sio"));
    sys.byIdLink("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
    sys.usbDevice("pci0000:00/usb1/1-2", "");
    sys.tty("ttyACM0", sys.device("pci0000:00/usb1/1-2/1-2:1.0", "cdc_acm"));
    const fs::path uarts = sys.device("platform/serial8250", "serial8250");
    sys.tty("ttyS1", uarts, "0");  // phantom slot
    sys.tty("ttyS0", sys.device("pnp0/00:05", "serial"), "4");
    sys.tty("tty0", {});  // virtual console
    sys.tty("ttyprintk", sys.bareDevice("virtual/tty/ttyprintk"));
}

TEST(ListPorts, FakeSysfsGivesSortedRealPorts) {
    FakeSystem sys;
    BuildTypicalMachine(sys);
    std::vector<SSerInfo> ports{SSerInfo{L"stale", L"", L"", false, L""}};
    ListSerialPortsIn(ports, false, sys.ttyClass(), sys.dev());

    const std::wstring byId = fs::path(sys.dev()).wstring() + L"/serial/by-id/";
    struct Expected {
        const wchar_t* name;
        const wchar_t* friendly;
        bool usb;
        const wchar_t* description;
        std::wstring stableName;
        const wchar_t* vendor;
        const wchar_t* product;
        const wchar_t* serialNumber;
    } expected[] = {
        {L"ttyACM0", L"USB Serial Port (ttyACM0)", true, L"USB Serial Port", L"", L"0403", L"6001",
         L""},
        {L"ttyS0", L"Communications Port (ttyS0)", false, L"Communications Port", L"", L"", L"",
         L""},
        {L"ttyUSB0", L"FT232R USB UART (ttyUSB0)", true, L"FT232R USB UART",
         byId + L"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", L"0403", L"6001", L"A50285BI"},
    };
    ASSERT_EQ(ports.size(), std::size(expected));
    for (size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ports[i].portName, expected[i].name);
        EXPECT_EQ(ports[i].devicePath,
                  std::wstring(fs::path(sys.dev()).wstring()) + L"/" + expected[i].name);
        EXPECT_EQ(ports[i].friendlyName, expected[i].friendly);
        EXPECT_EQ(ports[i].isUsb, expected[i].usb);
        EXPECT_EQ(ports[i].description, expected[i].description);
        EXPECT_EQ(ports[i].stableName, expected[i].stableName);
        EXPECT_EQ(ports[i].usbVendorId, expected[i].vendor);
        EXPECT_EQ(ports[i].usbProductId, expected[i].product);
        EXPECT_EQ(ports[i].serialNumber, expected[i].serialNumber);
    }
}

TEST(ListPorts, NonAsciiProductStringArrivesWide) {
    FakeSystem sys;
    sys.usbDevice("usb1/1-1", "Wandler \xC2\xB5-Box \xE2\x82\xAC");
    sys.tty("ttyUSB3", sys.device("usb1/1-1/1-1:1.0/ttyUSB3", "ch341"));
    std::vector<SSerInfo> ports;
    ListSerialPortsIn(ports, false, sys.ttyClass(), sys.dev());
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].description, L"Wandler \u00B5-Box \u20AC");
    EXPECT_EQ(ports[0].friendlyName, L"Wandler \u00B5-Box \u20AC (ttyUSB3)");
}

// A port held by another program is dropped; the rest keep their order.
TEST(ListPorts, DropBusyRemovesHeldPortsInOrder) {
    FakeSystem sys;
    BuildTypicalMachine(sys);
    serial_test::PtyPair acm, s0, usb;
    sys.devNode("ttyACM0", acm.slavePath());
    sys.devNode("ttyS0", s0.slavePath());
    sys.devNode("ttyUSB0", usb.slavePath());
    serial::Serial holder(sys.dev() + "/ttyS0", 9600, serial::Timeout::Total(50));

    std::vector<SSerInfo> ports;
    ListSerialPortsIn(ports, false, sys.ttyClass(), sys.dev());
    EXPECT_EQ(ports.size(), 3u);
    ListSerialPortsIn(ports, true, sys.ttyClass(), sys.dev());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].portName, L"ttyACM0");
    EXPECT_EQ(ports[1].portName, L"ttyUSB0");
    // The probe released its claim: the listed ports can be opened.
    serial::Serial usbPort(sys.dev() + "/ttyUSB0", 9600, serial::Timeout::Total(50));
    EXPECT_TRUE(usbPort.isOpen());
}

TEST(ListPorts, MissingClassFolderRaisesWideText) {
    std::vector<SSerInfo> ports;
    try {
        ListSerialPortsIn(ports, false, "/tmp/corvexa-no-such-sysfs", "/dev");
        FAIL() << "no error";
    } catch (const CSerialListException& e) {
        EXPECT_EQ(e.Text(), L"Could not read from /tmp/corvexa-no-such-sysfs. (err=2)");
        EXPECT_STREQ(e.what(), "Could not read from /tmp/corvexa-no-such-sysfs. (err=2)");
    }
}

struct PostCase {
    const wchar_t* portName;
    const wchar_t* friendly;
    const wchar_t* description;
    const wchar_t* wantFriendly;
    const wchar_t* wantDescription;
};

class PostProcessing : public testing::TestWithParam<PostCase> {};

TEST_P(PostProcessing, DerivesNamesAsDocumented) {
    const PostCase& c = GetParam();
    std::vector<SSerInfo> ports{
        SSerInfo{L"\\\\.\\X", c.portName, c.friendly, false, c.description}};
    PostProcessPorts(ports, false, [](const SSerInfo&) { return false; });
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].friendlyName, c.wantFriendly);
    EXPECT_EQ(ports[0].description, c.wantDescription);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PostProcessing,
    testing::Values(
        // description delivered by the device stays whole
        PostCase{L"", L"USB Serial Port (COM3)", L"USB Serial Port", L"USB Serial Port (COM3)",
                 L"USB Serial Port"},
        PostCase{L"", L"X (COM3)", L"Whole (text)", L"X (COM3)", L"Whole (text)"},
        // derived from the friendly name
        PostCase{L"COM1", L"Communications Port (COM1)", L"", L"Communications Port (COM1)",
                 L"Communications Port"},
        PostCase{L"COM1", L"Port (COM1) extra", L"", L"Port (COM1) extra", L"Port (COM1) extra"},
        PostCase{L"COM1", L" (COM1)", L"", L" (COM1)", L" (COM1)"},
        PostCase{L"COM1", L"A (b) (COM1)", L"", L"A (b) (COM1)", L"A (b) (COM1)"},
        PostCase{L"COM1", L"P(COM1)", L"", L"P(COM1)", L"P(COM1)"},
        // empty friendly name from the port name (the probe way)
        PostCase{L"COM7", L"", L"", L"COM7", L"COM7"}, PostCase{L"", L"", L"", L"", L""}));

TEST(PostProcessing, DropBusyKeepsOrderOfTheRest) {
    std::vector<SSerInfo> ports;
    for (const wchar_t* name : {L"COM1", L"COM2", L"COM3", L"COM4", L"COM5"}) {
        ports.push_back(SSerInfo{std::wstring(L"\\\\.\\") + name, name, L"", false, L""});
    }
    auto free = [](const SSerInfo& p) { return p.portName != L"COM2" && p.portName != L"COM3"; };
    PostProcessPorts(ports, true, free);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].portName, L"COM1");
    EXPECT_EQ(ports[1].portName, L"COM4");
    EXPECT_EQ(ports[2].portName, L"COM5");
    // Without dropping, the probe is not consulted.
    std::vector<SSerInfo> all = {SSerInfo{L"a", L"COM2", L"", false, L""}};
    PostProcessPorts(all, false, free);
    EXPECT_EQ(all.size(), 1u);
}

// The latency timer of USB adapters: lowered where the file can be
// written, reported as stuck where it cannot, absent on other drivers.
TEST(UsbLatency, LoweredWhereWritableAndSaidWhereNot) {
    struct Case {
        const char* tty;
        const char* driver;
        const char* timer;  // file content; "ro": a file even root cannot write; null: none
        std::optional<int> latency;
        bool lowered, stuck;
        const char* text;
    };
    const Case cases[] = {
        {"ttyUSB0", "ftdi_sio", "16", 1, true, false,
         "FTDI FT232R USB UART (ftdi_sio), latency timer 1 ms (lowered from 16 ms)"},
        {"ttyUSB1", "ftdi_sio", "1", 1, false, false,
         "FTDI FT232R USB UART (ftdi_sio), latency timer 1 ms"},
        // A 0444 entry of /proc/sys refuses writes to root as well.
        {"ttyUSB2", "ftdi_sio", "ro", 65536, false, true, "could not be lowered to 1 ms"},
        {"ttyACM0", "cdc_acm", nullptr, std::nullopt, false, false,
         "FTDI FT232R USB UART (cdc_acm)"},
    };
    FakeSystem sys;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tty);
        const std::string usb = std::string("usb1/") + c.tty;
        sys.usbDevice(usb, "FT232R USB UART");
        const fs::path port = sys.device(usb + "/1.0/" + c.tty, c.driver);
        if (c.timer && std::string(c.timer) == "ro") {
            fs::create_symlink("/proc/sys/kernel/ngroups_max", port / "latency_timer");
        } else if (c.timer) {
            std::ofstream(port / "latency_timer") << c.timer << "\n";
        }
        sys.tty(c.tty, port);
        const std::string path = sys.dev() + "/" + c.tty;
        const serial::PortLatency seen = serial::PortLatencyOf(path, false, sys.ttyClass());
        const serial::PortLatency after = serial::PortLatencyOf(path, true, sys.ttyClass());
        EXPECT_EQ(after.driver, c.driver);
        EXPECT_EQ(after.latencyMs, c.latency);
        EXPECT_EQ(after.lowered, c.lowered);
        EXPECT_EQ(after.couldNotLower, c.stuck);
        EXPECT_NE(serial::LatencyText(after).find(c.text), std::string::npos)
            << serial::LatencyText(after);
        // Only reading leaves the timer as it was.
        if (c.lowered) {
            EXPECT_EQ(seen.latencyMs, 16);
        }
    }
    EXPECT_EQ(serial::LatencyText(serial::PortLatencyOf("/dev/pts/0", true, sys.ttyClass())), "");
}

// The real udev monitor: a descriptor to watch, and taking news never
// blocks when there is none (the window calls it from its event loop).
TEST(PortMonitor, GivesADescriptorAndTakesNothingWithoutNews) {
    std::unique_ptr<CPortMonitor> monitor = CreatePortMonitor();
    if (!monitor) {
        GTEST_SKIP() << "no udev netlink socket on this machine";
    }
    EXPECT_GE(monitor->WaitHandle(), 0);
    EXPECT_FALSE(monitor->TakeChanges());
}

}  // namespace
