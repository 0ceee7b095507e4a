#include "ui/framework/dialog.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "tests/ui/framework/snapshot.h"
#include "ui/framework/updownctrl.h"

namespace {

DialogTemplate TestTemplate() {
    QString error;
    auto dlg =
        ParseDialogTemplate(QStringLiteral("DIALOG 900 200 100\n"
                                           "CAPTION \"Probe\"\n"
                                           "FONT 8 \"MS Shell Dlg\"\n"
                                           "STYLE POPUP CAPTION SYSMENU MODALFRAME\n"
                                           "CONTROL 1 DEFPUSHBUTTON \"OK\" 10 70 50 14\n"
                                           "CONTROL 2 PUSHBUTTON \"Cancel\" 70 70 50 14\n"
                                           "CONTROL 10 EDITTEXT \"start\" 10 10 60 14 BORDER\n"
                                           "CONTROL 11 COMBOBOX \"\" 80 10 60 60\n"
                                           "CONTROL 12 UPDOWN \"\" 72 10 8 14\n"
                                           "CONTROL 13 LTEXT \"label\" 10 30 60 8 HIDDEN\n"
                                           "CONTROL 14 PUSHBUTTON \"Act\" 130 70 50 14 DISABLED\n"),
                            &error);
    EXPECT_TRUE(dlg) << error.toStdString();
    return *dlg;
}

class ProbeDialog : public CDialog {
public:
    ProbeDialog() : CDialog(TestTemplate()) {
        MapCommand(14, &ProbeDialog::OnAct);
        MapDeltaPos(12, &ProbeDialog::OnSpin);
        BindText(10, &text);
    }
    void OnAct() { ++acts; }
    LRESULT OnSpin(int delta) {
        deltas.push_back(delta);
        return refuse ? 1 : 0;
    }
    void OnTimer(int id) override { ticks.push_back(id); }
    bool Build() { return Create(nullptr); }

    std::wstring text = L"from field";
    int acts = 0;
    bool refuse = false;
    std::vector<int> deltas;
    std::vector<int> ticks;
};

TEST(Dialog, ControlsAreBuiltByIdAtDialogUnitPositions) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    const DialogUnits& u = dlg.Units();
    QWidget* edit = dlg.Item(10);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->objectName(), QStringLiteral("10"));
    EXPECT_EQ(edit->geometry(), QRect(u.X(10), u.Y(10), u.X(60), u.Y(14)));
    EXPECT_EQ(dlg.size(), QSize(u.X(200), u.Y(100)));
    EXPECT_EQ(dlg.findChild<QWidget*>(QStringLiteral("11")), dlg.Item(11));
    EXPECT_EQ(dlg.Item(99), nullptr);
    EXPECT_TRUE(dlg.Item(13)->isHidden());
    EXPECT_FALSE(dlg.Item(14)->isEnabled());
    EXPECT_TRUE(dlg.ItemAs<QPushButton>(1)->isDefault());
    EXPECT_EQ(dlg.GetWindowText(), QStringLiteral("Probe"));
    // The default initialisation copies bound fields into their controls.
    EXPECT_EQ(dlg.GetDlgItemText(10), QStringLiteral("from field"));
}

TEST(Dialog, DialogUnitsFollowTheFontMetrics) {
    DialogUnits u{7, 15};
    EXPECT_EQ(u.X(4), 7);
    EXPECT_EQ(u.X(2), 4);  // 3.5 rounds up
    EXPECT_EQ(u.Y(8), 15);
    EXPECT_EQ(u.Y(1), 2);  // 1.875
    EXPECT_EQ(u.ToPixels(QRect(49, 33, 81, 35)), QRect(86, 62, 142, 66));
}

TEST(Dialog, DataExchangeGoesBothWays) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    dlg.ItemAs<QLineEdit>(10)->setText(QStringLiteral("typed 中"));
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.text, L"typed 中");
    dlg.text = L"42";
    dlg.UpdateData(false);
    EXPECT_EQ(dlg.GetDlgItemText(10), QStringLiteral("42"));
}

TEST(Dialog, ButtonClicksAreCommandsById) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    dlg.EnableItem(14, true);
    dlg.show();
    QTest::mouseClick(dlg.ItemAs<QPushButton>(14), Qt::LeftButton);
    EXPECT_EQ(dlg.acts, 1);
    dlg.SendMessage(WM_COMMAND, 14 | (0 << 16), 0);
    EXPECT_EQ(dlg.acts, 2);
    SaveSnapshot(&dlg, QStringLiteral("framework_probe"));
    QTest::mouseClick(dlg.ItemAs<QPushButton>(1), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), IDOK);
    EXPECT_FALSE(dlg.isVisible());
}

TEST(Dialog, EscapeAndCloseBoxEndWithCancel) {
    for (bool escape : {true, false}) {
        ProbeDialog dlg;
        ASSERT_TRUE(dlg.Build());
        QTimer::singleShot(0, &dlg, [&] {
            if (escape) {
                QTest::keyClick(&dlg, Qt::Key_Escape);
            } else {
                dlg.close();
            }
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << escape;
    }
}

TEST(Dialog, EnterPressesTheDefaultButton) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    QTimer::singleShot(0, &dlg, [&] {
        dlg.Item(10)->setFocus();
        QTest::keyClick(dlg.Item(10), Qt::Key_Return);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST(Dialog, ComboFillSelectAndItemData) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    EXPECT_EQ(dlg.ComboAddString(11, QStringLiteral("b")), 0);
    EXPECT_EQ(dlg.ComboGetCurSel(11), -1);  // adding selects nothing
    EXPECT_EQ(dlg.ComboInsertString(11, 0, QStringLiteral("a")), 0);
    EXPECT_EQ(dlg.ComboInsertString(11, -1, QStringLiteral("c")), 2);
    EXPECT_EQ(dlg.ComboInsertString(11, 9, QStringLiteral("x")), -1);
    EXPECT_EQ(dlg.ComboGetCount(11), 3);
    EXPECT_EQ(dlg.ComboGetCurSel(11), -1);
    dlg.ComboSetItemData(11, 2, 7);
    dlg.ComboSetCurSel(11, 2);
    EXPECT_EQ(dlg.ComboGetCurSel(11), 2);
    EXPECT_EQ(dlg.GetDlgItemText(11), QStringLiteral("c"));
    EXPECT_EQ(dlg.ComboGetItemData(11, 2), 7);
    EXPECT_EQ(dlg.ComboGetLBText(11, 1), QStringLiteral("b"));
    dlg.ComboSetCurSel(11, 0xFFFF);  // out of range clears the selection
    EXPECT_EQ(dlg.ComboGetCurSel(11), -1);
    dlg.ComboResetContent(11);
    EXPECT_EQ(dlg.ComboGetCount(11), 0);
}

TEST(Dialog, UpDownReportsStepsByRangeDirection) {
    struct Case {
        int lower, upper;
        bool up;
        int delta;
    };
    const Case cases[] = {
        {0, -1, true, -1},  // inverted range: the up arrow steps towards -1
        {0, -1, false, +1},
        {0, 100, true, +1},
        {0, 100, false, -1},
    };
    for (const Case& c : cases) {
        ProbeDialog dlg;
        ASSERT_TRUE(dlg.Build());
        auto* spin = dynamic_cast<CUpDownCtrl*>(dlg.Item(12));
        ASSERT_NE(spin, nullptr);
        spin->SetRange(c.lower, c.upper);
        QTest::mouseClick(c.up ? static_cast<QWidget*>(spin->UpButton())
                               : static_cast<QWidget*>(spin->DownButton()),
                          Qt::LeftButton);
        EXPECT_EQ(dlg.deltas, std::vector<int>{c.delta})
            << c.lower << " " << c.upper << " " << c.up;
    }
}

TEST(Dialog, RefusedUpDownStepKeepsThePosition) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    auto* spin = dynamic_cast<CUpDownCtrl*>(dlg.Item(12));
    spin->SetRange(0, 10);
    spin->SetPos(5);
    dlg.refuse = true;
    spin->Step(true);
    EXPECT_EQ(spin->Pos(), 5);
    dlg.refuse = false;
    spin->Step(true);
    EXPECT_EQ(spin->Pos(), 6);
}

TEST(Dialog, TimersTickAsWmTimerUntilKilled) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    dlg.SetTimer(3, 1);
    EXPECT_TRUE(dlg.IsTimerRunning(3));
    QTRY_VERIFY_WITH_TIMEOUT(dlg.ticks.size() >= 2, 5000);
    dlg.KillTimer(3);
    EXPECT_FALSE(dlg.IsTimerRunning(3));
    const std::size_t seen = dlg.ticks.size();
    QTest::qWait(20);
    EXPECT_EQ(dlg.ticks.size(), seen);
    EXPECT_EQ(dlg.ticks.front(), 3);
}

TEST(Dialog, SubclassedControlKeepsIdPlaceAndVisibility) {
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    const QRect where = dlg.Item(13)->geometry();
    auto* custom = new QWidget;
    ASSERT_TRUE(dlg.SubclassDlgItem(13, custom));
    EXPECT_EQ(dlg.Item(13), custom);
    EXPECT_EQ(custom->parentWidget(), &dlg);
    EXPECT_EQ(custom->geometry(), where);
    EXPECT_TRUE(custom->isHidden());
    EXPECT_EQ(dlg.findChildren<QWidget*>(QStringLiteral("13")).size(), 1);
    EXPECT_FALSE(dlg.SubclassDlgItem(99, new QWidget(&dlg)));
}

TEST(Dialog, PlacementCentresOnTheScreenOrOverAVisibleOwner) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.Build());
    dlg.MoveWindow(0, 0, 400, 300);
    EXPECT_EQ(dlg.frameGeometry().size(), QSize(400, 300));
    dlg.CenterWindow();
    EXPECT_EQ(dlg.frameGeometry().topLeft(), QPoint(screen.x() + (screen.width() - 400) / 2,
                                                    screen.y() + (screen.height() - 300) / 2));

    QWidget owner;
    owner.setGeometry(100, 50, 600, 500);
    owner.show();
    ProbeDialog child;
    ASSERT_TRUE(child.Create(&owner));
    child.MoveWindow(0, 0, 200, 100);
    child.CenterWindow();
    const QRect over = owner.frameGeometry();
    EXPECT_EQ(child.frameGeometry().center().x() / 2, over.center().x() / 2);
    EXPECT_EQ(child.frameGeometry().center().y() / 2, over.center().y() / 2);
    // A hidden owner (the main window before it is shown) does not count.
    owner.hide();
    child.CenterWindow();
    EXPECT_EQ(child.frameGeometry().topLeft(), QPoint(screen.x() + (screen.width() - 200) / 2,
                                                      screen.y() + (screen.height() - 100) / 2));
}

TEST(Dialog, MissingTemplateFailsToBuild) {
    CDialog dlg(4711);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.BuildError(), QStringLiteral("no dialog template 4711"));
}

}  // namespace
