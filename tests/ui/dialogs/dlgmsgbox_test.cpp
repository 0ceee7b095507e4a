#include <gtest/gtest.h>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "tests/ui/dialogs/modal.h"
#include "tests/ui/framework/snapshot.h"
#include "ui/dialogs/dlgcustommsgbox.h"

namespace {

struct CountdownCase {
    std::wstring title;
    int seconds;
    std::vector<const char*> captions;  // before the first tick, then after each
};

void PrintTo(const CountdownCase& c, std::ostream* os) {
    *os << c.seconds;
}

class MsgboxCountdown : public ::testing::TestWithParam<CountdownCase> {};

// The ticks are sent as WM_TIMER by hand, so no case waits for real seconds.
TEST_P(MsgboxCountdown, CaptionCountsDownAndTheBoxEndsWithCancel) {
    const CountdownCase& c = GetParam();
    CDlgCustomMsgbox box;
    box.m_strTitle = c.title;
    box.m_strMsg = L"Parameter modification succeeded";
    box.m_nSeconds = c.seconds;
    std::vector<std::string> seen;
    bool timerRan = false;
    WhenModal<CDlgCustomMsgbox>([&](CDlgCustomMsgbox* dlg) {
        timerRan = dlg->IsTimerRunning(CDlgCustomMsgbox::kCountdownTimer);
        seen.push_back(dlg->windowTitle().toStdString());
        if (c.seconds == 5) SaveSnapshot(dlg, QStringLiteral("msgbox"));
        for (int tick = 0; tick < 10 && dlg->isVisible(); ++tick) {
            dlg->SendMessage(WM_TIMER, 99, 0);  // another timer's tick changes nothing
            dlg->SendMessage(WM_TIMER, CDlgCustomMsgbox::kCountdownTimer, 0);
            if (dlg->isVisible()) seen.push_back(dlg->windowTitle().toStdString());
        }
    });
    EXPECT_EQ(box.DoModal(), IDCANCEL);
    EXPECT_TRUE(timerRan);
    EXPECT_FALSE(box.IsTimerRunning(CDlgCustomMsgbox::kCountdownTimer));
    EXPECT_EQ(seen, std::vector<std::string>(c.captions.begin(), c.captions.end()));
    EXPECT_EQ(box.GetDlgItemText(1057), QStringLiteral("Parameter modification succeeded"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, MsgboxCountdown,
    ::testing::Values(CountdownCase{L"Enter Password",
                                    5,
                                    {"Enter Password(5S)", "Enter Password(4S)",
                                     "Enter Password(3S)", "Enter Password(2S)",
                                     "Enter Password(1S)"}},
                      CountdownCase{L"Null Offset", 1, {"Null Offset(1S)"}},
                      CountdownCase{L"Null Offset", 0, {"Null Offset(0S)"}},
                      CountdownCase{L"Null Offset", -7, {"Null Offset(-7S)"}},
                      CountdownCase{L"", 5, {"(5S)", "(4S)", "(3S)", "(2S)", "(1S)"}},
                      CountdownCase{L"x", INT32_MIN, {"x(-2147483648S)"}}));

// A message of two lines, or one the font draws taller (Chinese at 125 %),
// gets the room its lines need: nothing cut, the buttons below it.
TEST(Msgbox, TheMessageGetsTheHeightOfItsLines) {
    for (const wchar_t* message :
         {L"Parameter modification succeeded\nNot read back: the edit keeps what was typed",
          L"参数修改成功"}) {
        CDlgCustomMsgbox box;
        box.m_strMsg = message;
        WhenModal<CDlgCustomMsgbox>([](CDlgCustomMsgbox* dlg) {
            auto* label = dlg->ItemAs<QLabel>(CDlgCustomMsgbox::kMessage);
            const QRect needed = QFontMetrics(label->font())
                                     .boundingRect(QRect(0, 0, label->width(), 10000),
                                                   Qt::TextWordWrap, label->text());
            EXPECT_GE(label->height(), needed.height()) << label->text().toStdString();
            EXPECT_GE(dlg->Item(IDOK)->y(), label->geometry().bottom());
            EXPECT_LE(dlg->Item(IDOK)->geometry().bottom(), dlg->height());
            dlg->EndDialog(IDOK);
        });
        box.DoModal();
    }
}

TEST(Msgbox, OkBeforeTheEndReturnsOkAndStopsTheCount) {
    CDlgCustomMsgbox box;
    box.m_strTitle = L"T";
    WhenModal<CDlgCustomMsgbox>([](CDlgCustomMsgbox* dlg) {
        dlg->SendMessage(WM_TIMER, CDlgCustomMsgbox::kCountdownTimer, 0);
        QTest::mouseClick(dlg->ItemAs<QPushButton>(IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(box.DoModal(), IDOK);
    EXPECT_EQ(box.m_nSeconds, 4);
    EXPECT_FALSE(box.IsTimerRunning(CDlgCustomMsgbox::kCountdownTimer));
}

TEST(Msgbox, CancelButtonCloseBoxAndEscapeReturnCancel) {
    for (int way = 0; way < 3; ++way) {
        CDlgCustomMsgbox box;
        WhenModal<CDlgCustomMsgbox>([way](CDlgCustomMsgbox* dlg) {
            if (way == 0) QTest::mouseClick(dlg->ItemAs<QPushButton>(IDCANCEL), Qt::LeftButton);
            if (way == 1) dlg->close();
            if (way == 2) QTest::keyClick(dlg, Qt::Key_Escape);
        });
        EXPECT_EQ(box.DoModal(), IDCANCEL) << way;
        EXPECT_FALSE(box.IsTimerRunning(CDlgCustomMsgbox::kCountdownTimer)) << way;
    }
}

TEST(Msgbox, ButtonsTakeTheLanguageTexts) {
    CDlgCustomMsgbox box;
    WhenModal<CDlgCustomMsgbox>([](CDlgCustomMsgbox* dlg) {
        EXPECT_EQ(dlg->GetDlgItemText(IDOK), QStringLiteral("OK"));
        EXPECT_EQ(dlg->GetDlgItemText(IDCANCEL), QStringLiteral("Cancel"));
        EXPECT_EQ(dlg->focusWidget(), dlg->Item(IDOK));
        dlg->EndDialog(IDOK);
    });
    box.DoModal();
}

TEST(Msgbox, RealTimerClosesTheBoxAfterItsSeconds) {
    // The one case on the real 1000 ms timer, with a single second.
    CDlgCustomMsgbox box;
    box.m_strTitle = L"Real";
    box.m_nSeconds = 1;
    EXPECT_EQ(box.DoModal(), IDCANCEL);
    EXPECT_EQ(box.m_nSeconds, 0);
}

}  // namespace
