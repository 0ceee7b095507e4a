// Modify buttons of the parameter panel and the result box they lead to.

#include <gtest/gtest.h>

#include "ui/main/control_ids.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::FrameOf;
using mainwnd_test::MainWindowHarness;

namespace {

class ParameterPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(h.Sim().SetRegister(14, 1));  // one decimal place
        h.ChooseVersion();
        ASSERT_TRUE(h.ConnectAndWaitOnline());
        h.Sim().ClearFrames();
    }

    MainWindowHarness h;
};

TEST_F(ParameterPanel, ZeroOffsetIsScaledByTheDecimalsAndReportedInTheBox)
{
    h.SetText(IDC_OFFSET, QStringLiteral("12.5"));
    h.Click(IDC_OFFSET_SET);
    // 125 to register 15, exactly as the device expects it.
    EXPECT_TRUE(h.WaitForFrame({0x01, 0x06, 0x00, 0x0F, 0x00, 0x7D, 0x79, 0xE8}));
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].title, QStringLiteral("Null Offset"));
    EXPECT_EQ(h.Boxes()[0].message, QStringLiteral("Parameter modification succeeded"));
    EXPECT_EQ(h.Sim().Register(15), 125);
    // Not read back: the edit keeps what was typed.
    EXPECT_EQ(h.Text(IDC_OFFSET), QStringLiteral("12.5"));
}

TEST_F(ParameterPanel, EachButtonWritesItsRegisterUnderItsName)
{
    const struct {
        int edit;       // 0: a box selection
        const char* text;
        int box;
        int selection;
        int button;
        std::uint8_t reg;
        std::uint16_t word;
        const char* title;
    } cases[] = {
        {IDC_LOWER, "-10", 0, 0, IDC_LOWER_SET, 16, 0xFFF6, "Lower Limit"},
        {IDC_UPPER, "12.7", 0, 0, IDC_UPPER_SET, 17, 12, "Upper Limit"},
        {IDC_TEMP, "2.3", 0, 0, IDC_TEMP_SET, 19, 22, "Temp.Comp"},
        {0, "", IDC_SOURCE, 14, IDC_SOURCE_SET, 10, 14, "Signal Source"},
        {0, "", IDC_GAIN, 8, IDC_GAIN_SET, 18, 8, "Gain"},
        {IDC_ZERO_OUT, "abc", 0, 0, IDC_ZERO_OUT_SET, 22, 0, "Zero Output"},
        {IDC_FULL_OUT, "65535", 0, 0, IDC_FULL_OUT_SET, 23, 0xFFFF, "Full Output"},
    };
    size_t boxes = 0;
    for (const auto& c : cases) {
        if (c.edit != 0)
            h.SetText(c.edit, QString::fromUtf8(c.text));
        else
            h.Dlg().ComboSetCurSel(c.box, c.selection);
        h.Click(c.button);
        EXPECT_TRUE(h.WaitForFrame(FrameOf({0x01, 0x06, 0x00, c.reg,
                                            static_cast<std::uint8_t>(c.word >> 8),
                                            static_cast<std::uint8_t>(c.word & 0xFF)})))
            << c.title;
        ASSERT_TRUE(h.WaitForBox(++boxes)) << c.title;
        EXPECT_EQ(h.Boxes().back().title, QString::fromUtf8(c.title));
        EXPECT_EQ(h.Boxes().back().message, QStringLiteral("Parameter modification succeeded"));
    }
}

TEST_F(ParameterPanel, SignalSourceWithNothingSelectedSendsAllOnes)
{
    h.Dlg().ComboSetCurSel(IDC_SOURCE, -1);
    h.Click(IDC_SOURCE_SET);
    EXPECT_TRUE(h.WaitForFrame(FrameOf({0x01, 0x06, 0x00, 0x0A, 0xFF, 0xFF})));
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].title, QStringLiteral("Signal Source"));
}

TEST_F(ParameterPanel, SilentDeviceIsReportedAsAFailureAfterThreeAttempts)
{
    h.Sim().SetSilent(true);
    h.SetText(IDC_OFFSET, QStringLiteral("12.5"));
    h.Click(IDC_OFFSET_SET);
    // Three attempts of one second each; generous bound.
    ASSERT_TRUE(h.WaitForBox(1, 10000));
    EXPECT_EQ(h.Boxes()[0].title, QStringLiteral("Null Offset"));
    EXPECT_EQ(h.Boxes()[0].message, QStringLiteral("Parameter modification failed"));
    const protocol::Frame write{0x01, 0x06, 0x00, 0x0F, 0x00, 0x7D, 0x79, 0xE8};
    const auto frames = h.Frames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), write), 3);
    // The user's input stays.
    EXPECT_EQ(h.Text(IDC_OFFSET), QStringLiteral("12.5"));
}

}  // namespace
