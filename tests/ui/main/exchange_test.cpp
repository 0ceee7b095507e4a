// What the window sends is what it shows, and one connection at a time.

#include <gtest/gtest.h>

#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/framework/updownctrl.h"
#include "ui/main/control_ids.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::FrameOf;
using mainwnd_test::MainWindowHarness;

namespace {

using namespace std::chrono_literals;

const protocol::Frame kConnectRequest{0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x5F};
const protocol::Frame kLinkEnd{0xFF, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF, 0xF1, 0x9B};

TEST(WindowConnections, ReadAllOfTheLastConnectionNeverLightsTheLampOfTheNext) {
    protocol::CTransmitterLink::Timing quick;
    quick.attempt = 100ms;
    quick.guard = 30ms;
    MainWindowHarness h({.timing = quick});
    h.Sim().SetReplyDelay(60ms);
    h.ChooseVersion();
    h.Click(IDC_CONNECT);
    ASSERT_TRUE(h.WaitForFrame(FrameOf({0x01, 0x03, 0x00, 0x0C, 0x00, 0x01})));
    h.Click(IDC_CONNECT);  // disconnect in the middle of the read-all
    ASSERT_TRUE(
        MainWindowHarness::WaitFor([&] { return !CCorvexaDlgTestPeer::Engine(h.Dlg()).IsOpen(); }));

    h.Sim().SetSilent(true);
    MainWindowHarness::WaitFor([] { return false; }, 200);  // a reply under way lands
    h.Sim().ClearFrames();
    h.Click(IDC_CONNECT);
    // Without its own handshake the new connection never goes online, however
    // long the old read-all would have taken to run out.
    EXPECT_FALSE(MainWindowHarness::WaitFor(
        [&] { return CCorvexaDlgTestPeer::LampBitmap(h.Dlg()) == IDB_ONLINE; }, 3000));
    // Only its own handshake went out; once that gave up, LinkEnd closed it.
    const auto frames = h.Frames();
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_TRUE(frames[i] == kConnectRequest ||
                    (frames[i] == kLinkEnd && i + 1 == frames.size()))
            << i;
}

TEST(WindowConnections, LinkEndReachesTheDeviceWhileAWriteToASilentDeviceIsOnTheLine) {
    MainWindowHarness h;
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Sim().SetSilent(true);
    h.Sim().ClearFrames();
    h.SetText(IDC_LOWER, QStringLiteral("-20"));
    h.Click(IDC_LOWER_SET);
    const protocol::Frame write = FrameOf({0x01, 0x06, 0x00, 0x10, 0xFF, 0xEC});
    ASSERT_TRUE(h.WaitForFrame(write));

    h.Click(IDC_CONNECT);
    // The attempt on the line runs out (at most 1 s), then LinkEnd goes.
    EXPECT_TRUE(h.WaitForFrame(kLinkEnd, 1600));
    EXPECT_TRUE(MainWindowHarness::WaitFor(
        [&] { return !CCorvexaDlgTestPeer::Engine(h.Dlg()).IsOpen(); }, 1600));
    EXPECT_EQ(h.Frames(), (std::vector<protocol::Frame>{write, kLinkEnd}));
    MainWindowHarness::WaitFor([] { return false; }, 300);
    EXPECT_TRUE(h.Boxes().empty());  // the write's connection is over: no result
}

TEST(WindowConnections, APortWhoseProductNameHasParenthesesOpensItsOwnDevice) {
    MainWindowHarness h({.portLabel = L"USB-Serial (CH340)"});
    h.ChooseVersion();
    EXPECT_TRUE(h.ConnectAndWaitOnline());
}

class SamplingWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.Sim().SetRegister(20, 1000));
        ASSERT_TRUE(h.Sim().SetRegister(22, 4000));
        h.ChooseVersion();
        ASSERT_TRUE(h.ConnectAndWaitOnline());
        h.Click(IDC_ZERO_SAMPLE_BTN);
    }

    // Waits for the sample edit to show `value`, taken from the device.
    bool Shows(std::uint16_t value) {
        h.Sim().SetRegister(20, value);
        return MainWindowHarness::WaitFor(
            [&] { return h.Text(IDC_ZERO_SAMPLE) == QString::number(value); });
    }

    MainWindowHarness h;
};

TEST_F(SamplingWindow, SpinStepAndTypedTextSurviveSamplingPasses) {
    auto* spin = dynamic_cast<CUpDownCtrl*>(h.Dlg().Item(IDC_ZERO_OUT_SPIN));
    ASSERT_NE(spin, nullptr);
    spin->Step(true);
    h.SetText(IDC_UPPER, QStringLiteral("777"));  // typed, not sent
    for (std::uint16_t value : {1234, 1240}) ASSERT_TRUE(Shows(value));
    EXPECT_EQ(h.Text(IDC_ZERO_OUT), QStringLiteral("4001"));
    EXPECT_EQ(h.Text(IDC_UPPER), QStringLiteral("777"));
}

TEST_F(SamplingWindow, StoringTheSampleSendsTheValueShownAtThePress) {
    ASSERT_TRUE(Shows(1500));
    // The device moves on and its next reply comes in, but the window has
    // not shown it yet when the technician presses.
    h.Sim().SetRegister(20, 1600);
    const std::size_t handled = h.Sim().RequestsHandled();
    ASSERT_TRUE(h.Sim().WaitForHandled(handled + 2, 2000ms));
    h.Click(IDC_ZERO_SAMPLE_BTN);
    EXPECT_TRUE(h.WaitForFrame(FrameOf({0x01, 0x06, 0x00, 0x14, 1500 >> 8, 1500 & 0xFF})));
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Sim().Register(20), 1500);
}

}  // namespace
