#include "ui/main/main_menu.h"

#include <QMenuBar>

#include "lang/language.h"

#include "ui/main/calibration_text_ids.h"
#include "ui/main/certificate_text_ids.h"
#include "ui/main/configuration_text_ids.h"
#include "ui/main/history_text_ids.h"
#include "ui/main/main_text.h"

#include "res/strings/stringtable.h"
#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/traffic_ids.h"

using namespace maintext;

namespace {

const QString kLanguageMenu = QStringLiteral("language");
const QString kConfigurationMenu = QStringLiteral("configuration");

// "&History…", "历史(&H)…": Alt and the letter open the entry whatever the
// language. A text in another script keeps the letter in brackets, before
// its ellipsis.
QString WithMnemonic(QString text, QChar letter) {
    text.replace(u'&', QStringLiteral("&&"));
    bool latin = true;
    for (QChar c : text)
        if (c.unicode() > 0x2000 && c != QChar(0x2026)) latin = false;
    const int at = latin ? text.indexOf(letter, 0, Qt::CaseInsensitive) : -1;
    if (at >= 0) return text.insert(at, u'&');
    const int end = text.endsWith(QChar(0x2026)) ? text.size() - 1 : text.size();
    return text.insert(end, QStringLiteral("(&") + letter + u')');
}

void AddCommand(CDialog& dlg, QMenu& menu, int command) {
    QAction* action = menu.addAction(QString());
    action->setObjectName(QString::number(command));
    QObject::connect(action, &QAction::triggered, &dlg,
                     [&dlg, command] { dlg.SendMessage(WM_COMMAND, command); });
}

}  // namespace

QMenuBar* CMainMenu::Install(CDialog& dlg) {
    auto* bar = new QMenuBar(&dlg);
    bar->setObjectName(QStringLiteral("menubar"));
    bar->setNativeMenuBar(false);

    QMenu* language = bar->addMenu(QString());
    language->setObjectName(kLanguageMenu);
    QAction* chinese = language->addAction(QString());
    QAction* english = language->addAction(QString());
    chinese->setObjectName(QString::number(mainwnd::ID_LANG_CHINESE));
    english->setObjectName(QString::number(mainwnd::ID_LANG_ENGLISH));
    chinese->setCheckable(true);
    english->setCheckable(true);
    QObject::connect(chinese, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, mainwnd::ID_LANG_CHINESE); });
    QObject::connect(english, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, mainwnd::ID_LANG_ENGLISH); });

    QMenu* configuration = bar->addMenu(QString());
    configuration->setObjectName(kConfigurationMenu);
    for (int command : {mainwnd::ID_CONFIG_SAVE, mainwnd::ID_CONFIG_OPEN,
                        mainwnd::ID_CONFIG_COMPARE, mainwnd::ID_CONFIG_APPLY})
        AddCommand(dlg, *configuration, command);

    QAction* verify = bar->addAction(QString());
    verify->setObjectName(QString::number(mainwnd::ID_VERIFY));
    QObject::connect(verify, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, mainwnd::ID_VERIFY); });

    QAction* history = bar->addAction(QString());
    history->setObjectName(QString::number(mainwnd::ID_HISTORY));
    QObject::connect(history, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, mainwnd::ID_HISTORY); });

    QAction* report = bar->addAction(QString());
    report->setObjectName(QString::number(mainwnd::ID_CALIBRATION_REPORT));
    QObject::connect(report, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, mainwnd::ID_CALIBRATION_REPORT); });

    QAction* traffic = bar->addAction(QString());
    traffic->setObjectName(QString::number(trafficwnd::ID_VIEW_TRAFFIC));
    QObject::connect(traffic, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, trafficwnd::ID_VIEW_TRAFFIC); });

    // The program offers the about box only while its own about string is
    // there; the entry's words follow the language.
    const wchar_t* about = corvexa::res::LoadBuiltinString(kAboutBoxString);
    if (about != nullptr && *about != L'\0') {
        QAction* item = bar->addAction(QString());
        item->setObjectName(QString::number(mainwnd::IDM_ABOUTBOX));
        QObject::connect(item, &QAction::triggered, &dlg,
                         [&dlg] { dlg.SendMessage(WM_SYSCOMMAND, mainwnd::IDM_ABOUTBOX); });
    }

    bar->setGeometry(0, 0, dlg.width(), 0);
    Retranslate(dlg, *bar);
    return bar;
}

void CMainMenu::FitHeight(CDialog& dlg, QMenuBar& bar) {
    const int delta = bar.sizeHint().height() - bar.height();
    if (delta == 0) return;
    for (QObject* child : dlg.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w != nullptr && w != &bar && !w->isWindow()) w->move(w->x(), w->y() + delta);
    }
    bar.setGeometry(0, 0, dlg.width(), bar.height() + delta);
    // A window of fixed size stays fixed (the user version); one that may
    // be resized grows, and keeps that freedom.
    if (dlg.minimumSize() == dlg.maximumSize())
        dlg.setFixedSize(dlg.width(), dlg.height() + delta);
    else
        dlg.resize(dlg.width(), dlg.height() + delta);
}

void CMainMenu::Retranslate(CDialog& dlg, QMenuBar& bar) {
    if (auto* language = bar.findChild<QMenu*>(kLanguageMenu))
        language->setTitle(WithMnemonic(MainText(kLanguageText), u'L'));
    if (auto* configuration = bar.findChild<QMenu*>(kConfigurationMenu))
        configuration->setTitle(WithMnemonic(MainText(configtext::kTxtConfigMenu), u'C'));
    const struct {
        int command;
        int text;
        char16_t letter;
    } items[] = {{static_cast<int>(mainwnd::IDM_ABOUTBOX), kAboutText, u'A'},
                 {mainwnd::ID_VERIFY, certtext::kTxtVerifyMenu, u'V'},
                 {mainwnd::ID_HISTORY, historytext::kTxtHistoryMenu, u'H'},
                 {mainwnd::ID_CONFIG_SAVE, configtext::kTxtConfigSave, u'S'},
                 {mainwnd::ID_CONFIG_OPEN, configtext::kTxtConfigOpen, u'O'},
                 {mainwnd::ID_CONFIG_COMPARE, configtext::kTxtConfigCompare, u'C'},
                 {mainwnd::ID_CONFIG_APPLY, configtext::kTxtConfigApply, u'A'},
                 {mainwnd::ID_CALIBRATION_REPORT, calibtext::kTxtReportMenu, u'R'},
                 {trafficwnd::ID_VIEW_TRAFFIC, kTrafficText, u'T'}};
    for (const auto& item : items)
        if (auto* action = bar.findChild<QAction*>(QString::number(item.command)))
            action->setText(WithMnemonic(MainText(item.text), item.letter));
    // Each language by its own name, so that someone who cannot read the
    // loaded one still finds theirs; the loaded one is marked.
    const std::uint16_t loaded = GetLangIDSetting();
    const struct {
        int command;
        const char16_t* name;
        std::uint16_t id;
    } languages[] = {{mainwnd::ID_LANG_CHINESE, u"中文(&Z)", 2052},
                     {mainwnd::ID_LANG_ENGLISH, u"&English", 1033}};
    for (const auto& language : languages)
        if (auto* action = bar.findChild<QAction*>(QString::number(language.command))) {
            action->setText(QString::fromUtf16(language.name));
            action->setChecked(loaded == language.id);
        }
    FitHeight(dlg, bar);
}
