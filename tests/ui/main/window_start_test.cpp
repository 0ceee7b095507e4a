// The two versions as the start dialog opens them, and how the window
// closes.

#include <gtest/gtest.h>

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/dialogs/appstate.h"
#include "ui/dialogs/dlglogin.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_table.h"
#include "window_harness.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>

using namespace mainwnd;
using mainwnd_test::MainWindowHarness;

namespace {

// Controls both versions show.
constexpr int kCommonControls[] = {1041, 1040, 1066, 1000, 1001, 1013, 1053, 1014, 1002,
                                   1003, 1015, 1016, 1004, 1054, 1005, 1064, 1017, 1006,
                                   1055, 1007, 1018, 1008, 1056, 1009, 1065};

TEST(MainWindowStart, HiddenBehindTheStartDialogUntilAVersionIsChosen) {
    MainWindowHarness h({.factory = false});
    MainWindowHarness::WaitFor([] { return false; }, 50);
    EXPECT_FALSE(h.Dlg().isVisible());
    ASSERT_NE(h.Login(), nullptr);
    EXPECT_TRUE(h.Login()->isVisible());
    EXPECT_EQ(MainWindow(), &h.Dlg());
    // Template texts until the first refresh.
    EXPECT_EQ(h.Text(IDC_STATUS), QStringLiteral("设备断开连接"));
    EXPECT_EQ(h.Text(IDC_CONNECT), QStringLiteral("设备连接"));
    EXPECT_EQ(CCorvexaDlgTestPeer::LampBitmap(h.Dlg()), IDB_OFFLINE);
    for (int id : ParameterControls()) EXPECT_FALSE(h.Enabled(id)) << id;
}

TEST(MainWindowStart, UserVersionIs400By500WithTheFactoryControlsHidden) {
    MainWindowHarness h({.factory = false});
    h.ChooseVersion();
    ASSERT_TRUE(h.Dlg().isVisible());
    EXPECT_FALSE(h.Login()->isVisible());
    EXPECT_EQ(factoryMode.load(), 0);
    EXPECT_EQ(h.Dlg().frameGeometry().size(), QSize(400, 500));
    for (int id : FactoryOnlyControls()) EXPECT_FALSE(h.Visible(id)) << id;
    for (int id : {IDC_TRIM_METER, IDC_TREND, IDC_ZERO_STABILITY, IDC_FULL_STABILITY})
        EXPECT_FALSE(h.Visible(id)) << id;
    for (int id : kCommonControls) {
        EXPECT_TRUE(h.Visible(id)) << id;
        // The whole left column fits into the small window.
        const QRect r = h.Dlg().Item(id)->geometry();
        EXPECT_LE(r.right(), h.Dlg().width()) << id;
        EXPECT_LE(r.bottom(), h.Dlg().height()) << id;
    }
    EXPECT_EQ(h.Text(IDC_STATUS), QStringLiteral("Device is offline"));
    EXPECT_EQ(h.Text(IDC_CONNECT), QStringLiteral("Connect Device"));
    EXPECT_EQ(h.Dlg().ComboGetCount(IDC_SOURCE), 15);
    EXPECT_EQ(h.Dlg().ComboGetCurSel(IDC_SOURCE), -1);
    EXPECT_EQ(h.Dlg().ComboGetLBText(IDC_BAUD, h.Dlg().ComboGetCurSel(IDC_BAUD)),
              QStringLiteral("9600"));
    h.Snapshot(QStringLiteral("main_user_version"));
}

TEST(MainWindowStart, FactoryVersionKeepsTheTemplateSizeWithEverythingShown) {
    MainWindowHarness h({.factory = true});
    h.ChooseVersion();
    ASSERT_TRUE(h.Dlg().isVisible());
    EXPECT_EQ(factoryMode.load(), 1);
    const auto* bar = h.Dlg().findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    // The template's size, or the screen's where that is smaller (the
    // offscreen screen is 800 x 800): the page then scrolls.
    const QSize frame = h.Dlg().frameGeometry().size() - h.Dlg().size();
    const QRect area = h.Dlg().screen()->availableGeometry();
    const QSize full(h.Dlg().Units().X(560), h.Dlg().Units().Y(458) + bar->height());
    EXPECT_LE(h.Dlg().width(), area.width() - frame.width());
    EXPECT_EQ(h.Dlg().height(), std::min(full.height(), area.height() - frame.height()));
    auto* scroll = h.Dlg().findChild<QScrollArea*>(QStringLiteral("pageScroll"));
    ASSERT_NE(scroll, nullptr);
    QCoreApplication::processEvents();  // the scroll area sets its bars on a posted layout
    EXPECT_EQ(scroll->verticalScrollBar()->isVisible(), h.Dlg().height() < full.height());
    // Cut in height only, the window makes room for the vertical bar.
    const int side = scroll->verticalScrollBar()->sizeHint().width();
    if (area.width() - frame.width() >= full.width() + side) {
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    }
    for (int id : FactoryOnlyControls()) EXPECT_TRUE(h.Visible(id)) << id;
    // No control covers another, and all lie on the page the window shows.
    auto* page = h.Dlg().findChild<QWidget*>(QStringLiteral("page"));
    ASSERT_NE(page, nullptr);
    std::vector<QWidget*> controls;
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (bool numeric = false; w->objectName().toInt(&numeric), numeric) controls.push_back(w);
    ASSERT_EQ(controls.size(), 65u);  // every control of the template
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(page->rect().contains(controls[i]->geometry()))
            << controls[i]->objectName().toStdString();
        for (size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " / "
                << controls[j]->objectName().toStdString();
    }
    h.Snapshot(QStringLiteral("main_factory_version"));

    // Smaller than the template, the page keeps its size and scrolls;
    // larger, the trend takes the room.
    QWidget* trend = h.Dlg().Item(IDC_TREND);
    h.Dlg().resize(700, 500);
    QCoreApplication::processEvents();
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    const QSize least = trend->size();
    h.Dlg().resize(full + QSize(300, 200));
    QCoreApplication::processEvents();
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
    EXPECT_EQ(trend->size(), least + QSize(300, 200));
}

TEST(MainWindowStart, PortBoxListsTheExtraPortFirstByItsPath) {
    MainWindowHarness h;
    EXPECT_EQ(h.Dlg().ComboGetCurSel(IDC_PORT), 0);
    EXPECT_EQ(h.Dlg().ComboGetLBText(IDC_PORT, 0), QString::fromStdString(h.Sim().SlavePath()));
    for (int i = 0; i < h.Dlg().ComboGetCount(IDC_PORT); ++i)
        EXPECT_EQ(h.Dlg().ComboGetItemData(IDC_PORT, i), i);
}

// Escape leaves a field; closing the program there would lose the session.
TEST(MainWindowStart, NeitherEscapeNorEnterInAnEditClosesTheWindow) {
    const struct {
        int key;
        bool closes;
    } cases[] = {{Qt::Key_Escape, false}, {Qt::Key_Return, false}, {Qt::Key_Enter, false}};
    for (const auto& c : cases) {
        MainWindowHarness h({.factory = false});
        h.ChooseVersion();
        // The technician typed a value; the edit does not take the key itself.
        QWidget* edit = h.Dlg().Item(IDC_OFFSET);
        edit->setEnabled(true);
        edit->setFocus();
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(edit, &press);
        EXPECT_EQ(c.closes, MainWindowHarness::WaitFor([&] { return !h.Dlg().isVisible(); },
                                                       c.closes ? 5000 : 300))
            << c.key;
    }
}

TEST(MainWindowStart, ClosingTheStartDialogClosesTheHiddenWindow) {
    MainWindowHarness h;
    bool finished = false;
    QObject::connect(&h.Dlg(), &QDialog::finished, [&] { finished = true; });
    h.Login()->close();
    EXPECT_TRUE(MainWindowHarness::WaitFor([&] { return finished; }));
    EXPECT_FALSE(h.Dlg().isVisible());
    EXPECT_FALSE(h.Login()->isVisible());
}

}  // namespace
