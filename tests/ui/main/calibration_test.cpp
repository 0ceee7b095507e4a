// Sampling and output trimming in the factory version.

#include <gtest/gtest.h>

#include "ui/framework/updownctrl.h"
#include "ui/main/control_ids.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::FrameOf;
using mainwnd_test::MainWindowHarness;

namespace {

TEST(Calibration, ZeroSamplingFollowsTheDeviceAndStoresTheShownValue) {
    MainWindowHarness h;
    ASSERT_TRUE(h.Sim().SetRegister(20, 1000));
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    ASSERT_EQ(h.Text(IDC_ZERO_SAMPLE), QStringLiteral("1000"));
    h.Sim().ClearFrames();

    h.Click(IDC_ZERO_SAMPLE_BTN);
    EXPECT_EQ(h.Text(IDC_ZERO_SAMPLE_BTN), QStringLiteral("Modify"));
    EXPECT_FALSE(h.Enabled(IDC_FULL_SAMPLE_BTN));
    // The edit follows what the device measures, pass after pass.
    for (std::uint16_t value : {1234, 1240, 1237}) {
        ASSERT_TRUE(h.Sim().SetRegister(20, value));
        EXPECT_TRUE(MainWindowHarness::WaitFor([&] {
            return h.Text(IDC_ZERO_SAMPLE) == QString::number(value);
        })) << value;
    }
    const auto polled = h.Frames();
    const protocol::Frame read20 = FrameOf({0x01, 0x03, 0x00, 0x14, 0x00, 0x01});
    const protocol::Frame read21 = FrameOf({0x01, 0x03, 0x00, 0x15, 0x00, 0x01});
    EXPECT_GE(std::count(polled.begin(), polled.end(), read20), 3);
    EXPECT_EQ(std::count(polled.begin(), polled.end(), read21), 0);

    // The device moves on; the technician stores what the screen shows.
    const QString shown = h.Text(IDC_ZERO_SAMPLE);
    h.Click(IDC_ZERO_SAMPLE_BTN);
    // Busy until the store's result; the other kind is free again at once.
    EXPECT_EQ(h.Text(IDC_ZERO_SAMPLE_BTN), QStringLiteral("Sending\u2026"));
    EXPECT_TRUE(h.Enabled(IDC_FULL_SAMPLE_BTN));
    const std::uint16_t stored = static_cast<std::uint16_t>(shown.toInt());
    EXPECT_TRUE(
        h.WaitForFrame(FrameOf({0x01, 0x06, 0x00, 0x14, static_cast<std::uint8_t>(stored >> 8),
                                static_cast<std::uint8_t>(stored & 0xFF)})));
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].title, QStringLiteral("Zero Sample"));
    EXPECT_EQ(h.Text(IDC_ZERO_SAMPLE_BTN), QStringLiteral("Read"));
}

TEST(Calibration, FullSamplingDisablesTheZeroButtonAndStoresRegister21) {
    MainWindowHarness h;
    ASSERT_TRUE(h.Sim().SetRegister(21, 3333));
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Click(IDC_FULL_SAMPLE_BTN);
    EXPECT_FALSE(h.Enabled(IDC_ZERO_SAMPLE_BTN));
    ASSERT_TRUE(h.Sim().SetRegister(21, 3350));
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return h.Text(IDC_FULL_SAMPLE) == "3350"; }));
    h.Click(IDC_FULL_SAMPLE_BTN);
    EXPECT_TRUE(h.Enabled(IDC_ZERO_SAMPLE_BTN));
    EXPECT_TRUE(h.WaitForFrame(FrameOf({0x01, 0x06, 0x00, 0x15, 3350 >> 8, 3350 & 0xFF})));
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].title, QStringLiteral("Full Sample"));
}

TEST(Calibration, SpinArrowsStepTheOutputTextsWithinSixteenBits) {
    MainWindowHarness h;
    h.ChooseVersion();
    const struct {
        int spin;
        int edit;
        const char* before;
        bool up;
        const char* after;
    } cases[] = {
        {IDC_ZERO_OUT_SPIN, IDC_ZERO_OUT, "65535", true, "65535"},
        {IDC_ZERO_OUT_SPIN, IDC_ZERO_OUT, "65534", true, "65535"},
        {IDC_ZERO_OUT_SPIN, IDC_ZERO_OUT, "0", false, "0"},
        {IDC_ZERO_OUT_SPIN, IDC_ZERO_OUT, "1", false, "0"},
        {IDC_ZERO_OUT_SPIN, IDC_ZERO_OUT, "x12", true, "1"},
        {IDC_ZERO_OUT_SPIN, IDC_ZERO_OUT, "x12", false, "0"},
        {IDC_FULL_OUT_SPIN, IDC_FULL_OUT, "4000", true, "4001"},
        {IDC_FULL_OUT_SPIN, IDC_FULL_OUT, "4000", false, "3999"},
    };
    for (const auto& c : cases) {
        h.SetText(c.edit, QString::fromUtf8(c.before));
        auto* spin = dynamic_cast<CUpDownCtrl*>(h.Dlg().Item(c.spin));
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->Buddy(), h.Dlg().Item(c.edit));
        spin->Step(c.up);
        EXPECT_EQ(h.Text(c.edit), QString::fromUtf8(c.after))
            << c.before << (c.up ? " up" : " down");
    }
    // Stepping sends nothing.
    EXPECT_EQ(h.Sim().FrameCount(), 0u);
}

}  // namespace
