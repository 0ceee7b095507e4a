// Texts of the main window and the language commands of its menu.

#include <gtest/gtest.h>
#include <QAction>
#include <QChartView>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include "lang/language.h"
#include "res/strings/stringtable.h"
#include "ui/main/control_ids.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::MainWindowHarness;

namespace {

QString Builtin(int id) {
    return QString::fromWCharArray(corvexa::res::LoadBuiltinString(id));
}

void Trigger(CCorvexaDlg& dlg, int command) {
    auto* action = dlg.findChild<QMenuBar*>()->findChild<QAction*>(QString::number(command));
    ASSERT_NE(action, nullptr) << command;
    action->trigger();
}

class Language : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitLanguage(); }

    void SetUp() override {
        SetLanguage(1033);
        ASSERT_TRUE(h.Sim().SetRegister(10, 11));
        h.ChooseVersion();
    }
    void TearDown() override { SetLanguage(1033); }

    MainWindowHarness h;
};

TEST_F(Language, MenuOffersTheTwoLanguagesAndTheAboutBoxInTheLoadedLanguage) {
    auto* bar = h.Dlg().findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    auto texts = [&] {
        QStringList all;
        for (QMenu* m : bar->findChildren<QMenu*>()) all << m->title();
        for (QAction* a : bar->findChildren<QAction*>()) all << a->text();
        return all;
    };
    const auto checked = [&](int command) {
        return bar->findChild<QAction*>(QString::number(command))->isChecked();
    };
    // Every entry opens with Alt and a letter; each language is named in
    // its own script, the loaded one marked.
    for (const char* text :
         {"&Language", "中文(&Z)", "&English", "&About Corvexa…", "&History…", "&Configuration"})
        EXPECT_TRUE(texts().contains(QString::fromUtf8(text))) << text;
    EXPECT_TRUE(checked(ID_LANG_ENGLISH));
    EXPECT_FALSE(checked(ID_LANG_CHINESE));
    Trigger(h.Dlg(), ID_LANG_CHINESE);
    for (const char* text : {"语言(&L)", "中文(&Z)", "&English", "关于 Corvexa(&A)…"})
        EXPECT_TRUE(texts().contains(QString::fromUtf8(text))) << text;
    EXPECT_TRUE(checked(ID_LANG_CHINESE));
    EXPECT_FALSE(checked(ID_LANG_ENGLISH));
    // Qt's own dialogs follow: their buttons say Cancel in Chinese.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    EXPECT_FALSE(texts().contains(QStringLiteral("&Language")));
    Trigger(h.Dlg(), IDM_ABOUTBOX);
    EXPECT_EQ(h.AboutBoxes(), 1);
}

TEST_F(Language, SwitchingWhileConnectedFollowsTheStateAndKeepsTheSelection) {
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    ASSERT_EQ(h.Text(IDC_SOURCE), QStringLiteral("WRe3/255"));
    h.Click(IDC_ZERO_SAMPLE_BTN);  // sampling changes the button's text id

    Trigger(h.Dlg(), ID_LANG_CHINESE);
    const auto zh = [](int id) { return QString::fromStdWString(GetResString(L"Main", id, L"")); };
    EXPECT_NE(zh(108), Builtin(108));  // the pack really is Chinese
    EXPECT_EQ(h.Dlg().windowTitle(), zh(102));
    EXPECT_EQ(h.Text(IDC_CONNECT), zh(108));
    EXPECT_EQ(h.Text(IDC_STATUS), zh(109));
    EXPECT_EQ(h.Text(IDC_ZERO_SAMPLE_BTN), zh(131));
    EXPECT_EQ(h.Text(IDC_FULL_SAMPLE_BTN), zh(130));
    EXPECT_EQ(h.Text(IDC_LOWER_LABEL), zh(116));
    EXPECT_EQ(h.Text(IDC_UPPER_LABEL), zh(115));
    EXPECT_EQ(h.Text(IDC_OUT_NOTE), zh(129));
    EXPECT_EQ(h.Text(IDC_FULL_OUT_LABEL), zh(128));
    EXPECT_EQ(h.Dlg().ComboGetCount(IDC_SOURCE), 15);
    EXPECT_EQ(h.Dlg().ComboGetCurSel(IDC_SOURCE), 11);
    EXPECT_EQ(h.Dlg().ComboGetLBText(IDC_SOURCE, 3), zh(143));
    EXPECT_EQ(GetLangIDSetting(), 2052);
    EXPECT_EQ(h.Text(IDC_TRIM_METER), zh(178));
    EXPECT_EQ(h.Dlg().findChild<QChartView*>(QStringLiteral("trendChart"))->chart()->title(),
              zh(177));
    // Chinese glyphs stand taller than the English the bar was sized for:
    // every entry still fits in the bar, none folds behind the extension.
    auto* bar = h.Dlg().findChild<QMenuBar*>();
    QCoreApplication::processEvents();
    for (QAction* entry : bar->actions())
        EXPECT_TRUE(bar->rect().contains(bar->actionGeometry(entry)))
            << entry->text().toStdString();
    auto* extension = bar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
    EXPECT_TRUE(extension == nullptr || !extension->isVisible());
    h.Snapshot(QStringLiteral("main_chinese"));

    Trigger(h.Dlg(), ID_LANG_ENGLISH);
    // English is en_US (1033), not the Russian id.
    EXPECT_EQ(GetLangIDSetting(), 1033);
    EXPECT_EQ(h.Text(IDC_CONNECT), QStringLiteral("Disconnect Device"));
    EXPECT_EQ(h.Text(IDC_STATUS), QStringLiteral("Device is online"));
    EXPECT_EQ(h.Text(IDC_ZERO_SAMPLE_BTN), QStringLiteral("Modify"));
    EXPECT_EQ(h.Text(IDC_FULL_SAMPLE_BTN), QStringLiteral("Read"));
    EXPECT_EQ(h.Dlg().ComboGetCurSel(IDC_SOURCE), 11);
    EXPECT_EQ(h.Dlg().ComboGetLBText(IDC_SOURCE, 14), QStringLiteral("Float Level"));
}

TEST_F(Language, MissingPackFallsBackToTheBuiltInEnglish) {
    Trigger(h.Dlg(), ID_LANG_CHINESE);
    ASSERT_EQ(GetLangIDSetting(), 2052);
    SetLanguage(1049);  // no ru_RU pack is shipped
    h.Dlg().RefreshTexts();
    const struct {
        int control;
        int text;
    } rows[] = {{IDC_PORT_LABEL, 105},   {IDC_CONNECT, 107},     {IDC_STATUS, 110},
                {IDC_SOURCE_LABEL, 111}, {IDC_OFFSET_NOTE, 114}, {IDC_RANGE_NOTE, 117},
                {IDC_NOTE_TC, 125},      {IDC_OUT_NOTE, 129},    {IDC_SOURCE_SET, 131},
                {IDC_ZERO_OUT_SET, 132}};
    for (const auto& r : rows) {
        EXPECT_FALSE(Builtin(r.text).isEmpty());
        EXPECT_EQ(h.Text(r.control), Builtin(r.text)) << r.control;
    }
    EXPECT_EQ(h.Dlg().windowTitle(), Builtin(102));
    EXPECT_EQ(h.Dlg().ComboGetLBText(IDC_SOURCE, 5), QStringLiteral("R Type"));
    // The stored choice stays with the last pack that loaded.
    EXPECT_EQ(GetLangIDSetting(), 2052);
}

TEST_F(Language, RefreshTwiceGivesTheSameWindow) {
    auto capture = [&] {
        QStringList all;
        for (QWidget* w : h.Dlg().findChildren<QWidget*>())
            if (bool ok = false; w->objectName().toInt(&ok), ok)
                all << w->objectName() + '=' + h.Dlg().GetDlgItemText(w->objectName().toInt()) +
                           (w->isHidden() ? "/h" : "/v");
        all.sort();
        return all;
    };
    h.Dlg().RefreshTexts();
    const QStringList first = capture();
    h.Dlg().RefreshTexts();
    EXPECT_EQ(capture(), first);
}

}  // namespace
