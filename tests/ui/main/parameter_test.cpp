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
    void SetUp() override {
        ASSERT_TRUE(h.Sim().SetRegister(14, 1));  // one decimal place
        h.ChooseVersion();
        ASSERT_TRUE(h.ConnectAndWaitOnline());
        h.Sim().ClearFrames();
    }

    MainWindowHarness h;
};

TEST_F(ParameterPanel, ZeroOffsetIsScaledByTheDecimalsAndReportedInTheBox) {
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

TEST_F(ParameterPanel, EachButtonWritesItsRegisterOrRefusesTheValueUnderItsName) {
    // The device shows limits -10 .. 500 after the read-all; one decimal place.
    const struct {
        int edit;  // 0: a box selection
        const char* text;
        int box;
        int selection;
        int button;
        std::uint8_t reg;
        std::uint16_t word;
        const char* title;
        const char* refusal;  // nullptr: the word is sent
    } cases[] = {
        {IDC_LOWER, "-10", 0, 0, IDC_LOWER_SET, 16, 0xFFF6, "Lower Limit", nullptr},
        {IDC_UPPER, "32767", 0, 0, IDC_UPPER_SET, 17, 32767, "Upper Limit", nullptr},
        {IDC_TEMP, "2.3", 0, 0, IDC_TEMP_SET, 19, 23, "Temp.Comp", nullptr},
        {0, "", IDC_SOURCE, 14, IDC_SOURCE_SET, 10, 14, "Signal Source", nullptr},
        {0, "", IDC_GAIN, 8, IDC_GAIN_SET, 18, 8, "Gain", nullptr},
        {IDC_FULL_OUT, "65535", 0, 0, IDC_FULL_OUT_SET, 23, 0xFFFF, "Full Output", nullptr},
        {IDC_UPPER, "70000", 0, 0, IDC_UPPER_SET, 0, 0, "Upper Limit",
         "Not sent: out of range. It takes -32768 to 32767"},
        {IDC_UPPER, "12.7", 0, 0, IDC_UPPER_SET, 0, 0, "Upper Limit",
         "Not sent: not a number. It takes -32768 to 32767"},
        {IDC_LOWER, "abc", 0, 0, IDC_LOWER_SET, 0, 0, "Lower Limit",
         "Not sent: not a number. It takes -32768 to 32767"},
        {IDC_OFFSET, "-1.5", 0, 0, IDC_OFFSET_SET, 0, 0, "Null Offset",
         "Not sent: out of range. It takes 0.0 to 6553.5"},
        {IDC_OFFSET, "", 0, 0, IDC_OFFSET_SET, 0, 0, "Null Offset",
         "Not sent: not a number. It takes 0.0 to 6553.5"},
        {IDC_TEMP, "6553.6", 0, 0, IDC_TEMP_SET, 0, 0, "Temp.Comp",
         "Not sent: out of range. It takes 0.0 to 6553.5"},
        {IDC_ZERO_OUT, "abc", 0, 0, IDC_ZERO_OUT_SET, 0, 0, "Zero Output",
         "Not sent: not a number. It takes 0 to 65535"},
        {IDC_FULL_OUT, "-1", 0, 0, IDC_FULL_OUT_SET, 0, 0, "Full Output",
         "Not sent: out of range. It takes 0 to 65535"},
        {0, "", IDC_SOURCE, -1, IDC_SOURCE_SET, 0, 0, "Signal Source",
         "Not sent: nothing selected"},
        {0, "", IDC_GAIN, -1, IDC_GAIN_SET, 0, 0, "Gain", "Not sent: nothing selected"},
    };
    size_t boxes = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.title) + " " + c.text);
        h.Sim().ClearFrames();
        if (c.edit != 0)
            h.SetText(c.edit, QString::fromUtf8(c.text));
        else
            h.Dlg().ComboSetCurSel(c.box, c.selection);
        h.Click(c.button);
        ASSERT_TRUE(h.WaitForBox(++boxes));
        EXPECT_EQ(h.Boxes().back().title, QString::fromUtf8(c.title));
        if (c.refusal != nullptr) {
            EXPECT_EQ(h.Boxes().back().message, QString::fromUtf8(c.refusal));
            MainWindowHarness::WaitFor([] { return false; }, 100);
            EXPECT_EQ(h.Sim().FrameCount(), 0u);
            continue;
        }
        EXPECT_EQ(h.Boxes().back().message, QStringLiteral("Parameter modification succeeded"));
        EXPECT_EQ(h.Frames(), (std::vector<protocol::Frame>{FrameOf(
                                  {0x01, 0x06, 0x00, c.reg, static_cast<std::uint8_t>(c.word >> 8),
                                   static_cast<std::uint8_t>(c.word & 0xFF)})}));
    }
}

TEST_F(ParameterPanel, ALowerLimitAtOrAboveTheUpperIsSentOnlyWhenConfirmed) {
    h.SetText(IDC_UPPER, QStringLiteral("500"));
    h.SetText(IDC_LOWER, QStringLiteral("500"));
    h.AnswerBoxesWith(IDCANCEL);
    h.Click(IDC_LOWER_SET);
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].title, QStringLiteral("Lower Limit"));
    EXPECT_EQ(h.Boxes()[0].message,
              QStringLiteral("The lower limit is at or above the upper limit. Send it anyway?"));
    MainWindowHarness::WaitFor([] { return false; }, 100);
    EXPECT_EQ(h.Sim().FrameCount(), 0u);

    h.AnswerBoxesWith(IDOK);
    h.SetText(IDC_UPPER, QStringLiteral("-20"));  // the upper one checks against the lower
    h.Click(IDC_UPPER_SET);
    ASSERT_TRUE(h.WaitForBox(3));
    EXPECT_EQ(h.Boxes()[1].message,
              QStringLiteral("The lower limit is at or above the upper limit. Send it anyway?"));
    EXPECT_EQ(h.Boxes()[2].message, QStringLiteral("Parameter modification succeeded"));
    EXPECT_EQ(h.Sim().Register(17), 0xFFEC);
}

TEST_F(ParameterPanel, SilentDeviceIsReportedAsAFailureAfterThreeAttempts) {
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
