// Connecting, going online, disconnecting and closing, against the
// simulated transmitter.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAbstractButton>

#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_table.h"
#include "ui/main/main_text.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::FrameOf;
using mainwnd_test::Hex;
using mainwnd_test::MainWindowHarness;

namespace {

const protocol::Frame kConnectRequest{0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x5F};
const protocol::Frame kLinkEnd{0xFF, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF, 0xF1, 0x9B};

// Register values and what the window must show for them.
void LoadDevice(corvexa::sim::SimulatedTransmitter& sim) {
    const std::pair<std::uint16_t, std::uint16_t> regs[] = {
        {10, 11}, {11, 2},   {14, 1},    {15, 125},  {16, 0xFFF6}, {17, 500},
        {18, 3},  {19, 253}, {20, 1200}, {21, 3400}, {22, 0xFFF6}, {23, 4000}};
    for (auto [reg, value] : regs) ASSERT_TRUE(sim.SetRegister(reg, value));
}

size_t ReadRequests(const std::vector<protocol::Frame>& frames) {
    return std::count_if(frames.begin(), frames.end(),
                         [](const protocol::Frame& f) { return f[0] == 0x01 && f[1] == 0x03; });
}

// The port is free again once nobody holds it open with a lock.
bool PortIsFree(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

TEST(MainWindowConnection, GoesOnlineOnlyAfterTheLastReadWithTheDeviceValues) {
    MainWindowHarness h;
    LoadDevice(h.Sim());
    h.ChooseVersion();
    h.Click(IDC_CONNECT);
    // Port open, handshake running: nothing online yet.
    EXPECT_TRUE(CCorvexaDlgTestPeer::Connected(h.Dlg()));
    EXPECT_EQ(h.Text(IDC_CONNECT), QStringLiteral("Disconnect Device"));
    EXPECT_EQ(h.Text(IDC_STATUS), QStringLiteral("Waiting for the transmitter to answer\u2026"));
    EXPECT_EQ(CCorvexaDlgTestPeer::LampBitmap(h.Dlg()), IDB_OFFLINE);

    // Watch every state the window passes through on the way.
    bool onlineEarly = false;
    bool enabledWhileOffline = false;
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] {
        const bool online = CCorvexaDlgTestPeer::LampBitmap(h.Dlg()) == IDB_ONLINE;
        if (online && ReadRequests(h.Frames()) < 14) onlineEarly = true;
        if (!online && h.Enabled(IDC_OFFSET)) enabledWhileOffline = true;
        return online;
    }));
    EXPECT_FALSE(onlineEarly);
    EXPECT_FALSE(enabledWhileOffline);

    const auto frames = h.Frames();
    ASSERT_GE(frames.size(), 16u);
    EXPECT_EQ(frames[0], kConnectRequest);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(frames[2 + i],
                  FrameOf({0x01, 0x03, 0x00, static_cast<std::uint8_t>(10 + i), 0x00, 0x01}))
            << Hex(frames[2 + i]).toStdString();

    EXPECT_EQ(h.Text(IDC_STATUS), QStringLiteral("Device is online"));
    for (int id : ParameterControls()) EXPECT_TRUE(h.Enabled(id)) << id;

    const struct {
        int id;
        const char* text;
    } shown[] = {
        {IDC_OFFSET, "12.5"},     {IDC_LOWER, "-10"},        {IDC_UPPER, "500"},
        {IDC_TEMP, "25.3"},       {IDC_ZERO_SAMPLE, "1200"}, {IDC_FULL_SAMPLE, "3400"},
        {IDC_ZERO_OUT, "65526"},  {IDC_FULL_OUT, "4000"},    {IDC_OFFSET_UNIT, "Mpa"},
        {IDC_LOWER_UNIT, "Mpa"},  {IDC_UPPER_UNIT, "Mpa"},   {IDC_TEMP_UNIT, "Mpa"},
        {IDC_SOURCE, "WRe3/255"}, {IDC_GAIN, "50"},          {IDC_BAUD, "9600"},
    };
    for (const auto& s : shown) EXPECT_EQ(h.Text(s.id), QString::fromUtf8(s.text)) << s.id;
    h.Snapshot(QStringLiteral("main_factory_online"));
}

TEST(MainWindowConnection, UserVersionReadsOnlyTheFirstEightRegisters) {
    MainWindowHarness h({.factory = false});
    LoadDevice(h.Sim());
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    EXPECT_EQ(ReadRequests(h.Frames()), 8u);
    EXPECT_EQ(h.Text(IDC_OFFSET), QStringLiteral("12.5"));
    EXPECT_EQ(h.Dlg().ComboGetCurSel(IDC_GAIN), -1);
    EXPECT_EQ(h.Text(IDC_ZERO_OUT), QString());
}

TEST(MainWindowConnection, DisconnectGoesOfflineSendsLinkEndAndClosesThePort) {
    MainWindowHarness h;
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Sim().ClearFrames();

    h.Click(IDC_CONNECT);
    EXPECT_FALSE(CCorvexaDlgTestPeer::Connected(h.Dlg()));
    EXPECT_EQ(h.Text(IDC_CONNECT), QStringLiteral("Connect Device"));
    EXPECT_EQ(h.Text(IDC_STATUS), QStringLiteral("Device is offline"));
    EXPECT_EQ(CCorvexaDlgTestPeer::LampBitmap(h.Dlg()), IDB_OFFLINE);
    for (int id : ParameterControls()) EXPECT_FALSE(h.Enabled(id)) << id;

    EXPECT_TRUE(h.WaitForFrame(kLinkEnd));
    EXPECT_TRUE(
        MainWindowHarness::WaitFor([&] { return !CCorvexaDlgTestPeer::Engine(h.Dlg()).IsOpen(); }));
    EXPECT_TRUE(PortIsFree(h.Sim().SlavePath()));

    // And the same port connects again.
    EXPECT_TRUE(h.ConnectAndWaitOnline());
}

TEST(MainWindowConnection, APortThatCannotBeOpenedLeavesTheWindowOffline) {
    MainWindowHarness h;
    h.ChooseVersion();
    h.Dlg().ComboSetCurSel(IDC_PORT, -1);  // nothing selected: empty name
    h.Click(IDC_CONNECT);
    EXPECT_FALSE(CCorvexaDlgTestPeer::Connected(h.Dlg()));
    EXPECT_EQ(h.Text(IDC_CONNECT), QStringLiteral("Connect Device"));
    EXPECT_FALSE(CCorvexaDlgTestPeer::Engine(h.Dlg()).IsOpen());
}

TEST(MainWindowConnection, ClosingWhileConnectedSendsLinkEndThenClosesThePort) {
    MainWindowHarness h({.factory = true, .exitPause = std::chrono::milliseconds(2000)});
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Sim().ClearFrames();
    h.DestroyWindow();
    const auto frames = h.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), kLinkEnd);
    EXPECT_TRUE(PortIsFree(h.Sim().SlavePath()));
}

TEST(MainWindowConnection, ClosingWithoutEverConnectingSendsNothing) {
    MainWindowHarness h({.factory = false, .exitPause = std::chrono::milliseconds(300)});
    h.ChooseVersion();
    h.DestroyWindow();
    EXPECT_EQ(h.Sim().FrameCount(), 0u);
}

TEST(MainWindowConnection, ClosingDuringTheReadAllIsSafe) {
    MainWindowHarness h;
    h.Sim().SetReplyDelay(std::chrono::milliseconds(150));
    h.ChooseVersion();
    h.Click(IDC_CONNECT);
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return ReadRequests(h.Frames()) >= 3; }));
    h.DestroyWindow();
    EXPECT_FALSE(h.HasWindow());
    EXPECT_TRUE(PortIsFree(h.Sim().SlavePath()));
}

}  // namespace

namespace {

// The Baud Rate box opens the port at its rate; the adapter-echo box is
// remembered for each port and makes the link take our own bytes off.
TEST(MainWindowConnection, TheBaudBoxAndTheEchoBoxReachTheLine) {
    MainWindowHarness h({.listPorts = [](std::vector<SSerInfo>& ports) {
        ports.assign(1, SSerInfo{L"/dev/ttyCorvexaNone", L"ttyCorvexaNone",
                                 L"Other (ttyCorvexaNone)", false, L"Other"});
    }});
    h.Sim().SetBaud(19200);
    corvexa::sim::FaultModes faults;
    faults.adapterEcho = true;
    h.Sim().SetFaults(faults);
    h.ChooseVersion();
    ASSERT_EQ(h.Dlg().ComboGetCurSel(IDC_PORT), 0);
    auto* echo = h.Dlg().ItemAs<QAbstractButton>(IDC_ADAPTER_ECHO);
    ASSERT_NE(echo, nullptr);
    echo->click();
    ASSERT_TRUE(h.Dlg().IsDlgButtonChecked(IDC_ADAPTER_ECHO));
    h.Dlg().ComboSetCurSel(IDC_PORT, 1);
    EXPECT_FALSE(h.Dlg().IsDlgButtonChecked(IDC_ADAPTER_ECHO));
    h.Dlg().ComboSetCurSel(IDC_PORT, 0);
    EXPECT_TRUE(h.Dlg().IsDlgButtonChecked(IDC_ADAPTER_ECHO));

    h.Dlg().ComboSetCurSel(IDC_BAUD, 4);  // 19200
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    EXPECT_EQ(h.Sim().ProgramBaud(), 19200);
    EXPECT_EQ(h.Text(IDC_OFFSET).isEmpty(), false);
    // A write is confirmed by the device's echo behind the adapter's.
    echo->click();  // off again for the next run; this connection keeps "on"
    ASSERT_TRUE(h.Sim().SetRegister(14, 0));  // no decimals: the word is the value
    h.SetText(IDC_UPPER, QStringLiteral("140"));
    h.Click(IDC_UPPER_SET);
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return h.Sim().Register(17) == 140; }))
        << *h.Sim().Register(17);
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes().back().message, MainText(133));  // written, confirmed
}

}  // namespace
