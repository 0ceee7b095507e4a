#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tests/ui/dialogs/modal.h"
#include "tests/ui/framework/snapshot.h"
#include "ui/dialogs/aboutdlg.h"
#include "ui/dialogs/appstate.h"
#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/dialogs/dlglogin.h"
#include "ui/dialogs/dlgpwdinput.h"

namespace {

// Stands in for the main window: records what reaches it.
class FakeMain : public CDialog {
public:
    FakeMain() : CDialog(133) {
        MapMessage(UM_SHOW_MAIN, [this](WPARAM w, LPARAM l) -> LRESULT {
            shows.emplace_back(w, l);
            return 0;
        });
        MapMessage(WM_CLOSE, [this](WPARAM, LPARAM) -> LRESULT {
            ++closes;
            return 0;
        });
    }
    std::vector<std::pair<WPARAM, LPARAM>> shows;
    int closes = 0;
};

// Types the password and presses OK; a wrong one is answered by the timed
// box, which is counted, photographed once and ended by its countdown.
void EnterPassword(CDlgPwdInput* dlg, const QString& text, int* boxes) {
    auto* edit = dlg->ItemAs<QLineEdit>(CDlgPwdInput::kPasswordEdit);
    ASSERT_NE(edit, nullptr);
    edit->clear();
    // Typed key by key where the test keyboard has the keys.
    bool latin = true;
    for (QChar c : text) latin = latin && c.unicode() < 0x80;
    if (latin) {
        QTest::keyClicks(edit, text);
    } else {
        edit->insert(text);
    }
    if (text == QStringLiteral("5862")) {
        QTest::mouseClick(dlg->ItemAs<QPushButton>(IDOK), Qt::LeftButton);
        return;
    }
    WhenModal<CDlgCustomMsgbox>([boxes](CDlgCustomMsgbox* box) {
        ++*boxes;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Enter Password(5S)"));
        EXPECT_EQ(box->GetDlgItemText(1057),
                  QStringLiteral("Password is incorrect, please re-enter"));
        if (*boxes == 1) SaveSnapshot(box, QStringLiteral("wrong_password"));
        while (box->isVisible()) box->SendMessage(WM_TIMER, CDlgCustomMsgbox::kCountdownTimer, 0);
    });
    QTest::mouseClick(dlg->ItemAs<QPushButton>(IDOK), Qt::LeftButton);
}

class PasswordCheck : public ::testing::TestWithParam<const char*> {};

TEST_P(PasswordCheck, OnlyTheExactTextOpens) {
    const QString typed = QString::fromUtf8(GetParam());
    const bool right = typed == QStringLiteral("5862");
    CDlgPwdInput dlg;
    int boxes = 0;
    bool stayed = false;
    WhenModal<CDlgPwdInput>([&](CDlgPwdInput* d) {
        EXPECT_EQ(d->focusWidget(), d->Item(CDlgPwdInput::kPasswordEdit));
        EXPECT_EQ(d->ItemAs<QLineEdit>(CDlgPwdInput::kPasswordEdit)->echoMode(),
                  QLineEdit::Password);
        EnterPassword(d, typed, &boxes);
        stayed = d->isVisible();
        if (stayed) {
            EXPECT_EQ(d->GetDlgItemText(CDlgPwdInput::kPasswordEdit), typed);
            d->EndDialog(IDCANCEL);
        }
    });
    EXPECT_EQ(dlg.DoModal(), right ? IDOK : IDCANCEL);
    EXPECT_EQ(boxes, right ? 0 : 1);
    EXPECT_EQ(stayed, !right);
    EXPECT_EQ(dlg.m_strPassword, typed.toStdWString());
}

INSTANTIATE_TEST_SUITE_P(Table, PasswordCheck,
                         ::testing::Values("5862", "", " 5862", "5862 ", "586", "58620",
                                           "５８６２"));

TEST(Password, FiveWrongAttemptsThenTheRightOne) {
    CDlgPwdInput dlg;
    int boxes = 0;
    WhenModal<CDlgPwdInput>([&](CDlgPwdInput* d) {
        SaveSnapshot(d, QStringLiteral("password"));
        for (int i = 0; i < 5; ++i) EnterPassword(d, QStringLiteral("1111"), &boxes);
        EnterPassword(d, QStringLiteral("5862"), &boxes);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(boxes, 5);
}

TEST(Password, TextsComeFromTheLanguage) {
    CDlgPwdInput dlg;
    WhenModal<CDlgPwdInput>([](CDlgPwdInput* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Enter Password"));
        EXPECT_EQ(d->GetDlgItemText(IDOK), QStringLiteral("OK"));
        EXPECT_EQ(d->GetDlgItemText(IDCANCEL), QStringLiteral("Cancel"));
        EXPECT_EQ(d->GetDlgItemText(1067), QStringLiteral("Password"));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

class StartDialog : public ::testing::Test {
protected:
    void SetUp() override {
        factoryMode = 0;
        SetMainWindow(&main);
        ASSERT_TRUE(login->Create(&main));
        login->CenterWindow();
        login->show();
    }
    void TearDown() override { SetMainWindow(nullptr); }

    FakeMain main;
    CDlgLogin* login = new CDlgLogin;  // owned by main once created
};

TEST_F(StartDialog, ShowsTwoButtonsAndNeverTheLanguageRadios) {
    SaveSnapshot(login, QStringLiteral("start"));
    EXPECT_EQ(login->windowTitle(), QStringLiteral("Corvexa Utility"));
    EXPECT_EQ(login->GetDlgItemText(1042), QStringLiteral("User Version"));
    EXPECT_EQ(login->GetDlgItemText(1043), QStringLiteral("Factory Version"));
    EXPECT_TRUE(login->IsDlgButtonChecked(1062));
    EXPECT_FALSE(login->Item(1062)->isVisible());
    EXPECT_FALSE(login->Item(1063)->isVisible());
    EXPECT_EQ(login->focusWidget(), login->Item(1042));
}

TEST_F(StartDialog, UserVersionTellsTheParentAndHides) {
    factoryMode = 1;  // proves the button writes 0
    QTest::mouseClick(login->ItemAs<QPushButton>(1042), Qt::LeftButton);
    EXPECT_EQ(factoryMode, 0);
    EXPECT_FALSE(login->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(main.shows, (std::vector<std::pair<WPARAM, LPARAM>>{{0, 1}}));
    EXPECT_EQ(main.closes, 0);
}

TEST_F(StartDialog, FactoryVersionCancelledChangesNothing) {
    for (int way = 0; way < 2; ++way) {
        WhenModal<CDlgPwdInput>([way](CDlgPwdInput* d) {
            if (way == 0) QTest::mouseClick(d->ItemAs<QPushButton>(IDCANCEL), Qt::LeftButton);
            if (way == 1) d->close();
        });
        QTest::mouseClick(login->ItemAs<QPushButton>(1043), Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(factoryMode, 0) << way;
        EXPECT_TRUE(login->isVisible()) << way;
        EXPECT_TRUE(main.shows.empty()) << way;
    }
}

TEST_F(StartDialog, FactoryVersionWithThePasswordTellsTheMainWindow) {
    int boxes = 0;
    WhenModal<CDlgPwdInput>(
        [&](CDlgPwdInput* d) { EnterPassword(d, QStringLiteral("5862"), &boxes); });
    QTest::mouseClick(login->ItemAs<QPushButton>(1043), Qt::LeftButton);
    EXPECT_EQ(factoryMode, 1);
    EXPECT_FALSE(login->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(main.shows, (std::vector<std::pair<WPARAM, LPARAM>>{{0, 1}}));
}

TEST_F(StartDialog, CloseBoxAndEscapeCloseTheMainWindow) {
    for (int way = 0; way < 2; ++way) {
        login->show();
        if (way == 0) {
            login->close();
        } else {
            QTest::keyClick(login, Qt::Key_Escape);
        }
        EXPECT_FALSE(login->isVisible()) << way;
        QCoreApplication::processEvents();
        EXPECT_EQ(main.closes, way + 1);
        EXPECT_TRUE(main.shows.empty());
    }
}

TEST_F(StartDialog, EnterWithoutAFocusedButtonDoesNotHideIt) {
    login->Item(1042)->clearFocus();
    login->SendMessage(WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(login->isVisible());
}

TEST(StartDialogAlone, CloseWithoutMainWindowOnlyCloses) {
    SetMainWindow(nullptr);
    CDlgLogin login;
    ASSERT_TRUE(login.Create(nullptr));
    login.show();
    login.close();
    EXPECT_FALSE(login.isVisible());
}

TEST(AboutBox, ShowsIconLineAndOk) {
    CAboutDlg about;
    WhenModal<CAboutDlg>([](CAboutDlg* d) {
        SaveSnapshot(d, QStringLiteral("about"));
        EXPECT_EQ(d->windowTitle(), QStringLiteral("关于 Corvexa"));
        auto* icon = d->ItemAs<QLabel>(128);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
        QTest::mouseClick(d->ItemAs<QPushButton>(IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(about.DoModal(), IDOK);
}

}  // namespace
