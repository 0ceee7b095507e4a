#include "ui/main/main_menu.h"

#include <QMenuBar>

#include "res/strings/stringtable.h"
#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"

namespace {

constexpr UINT WM_SYSCOMMAND = 0x0112;

}  // namespace

QMenuBar* CMainMenu::Install(CDialog& dlg)
{
    auto* bar = new QMenuBar(&dlg);
    bar->setObjectName(QStringLiteral("menubar"));
    bar->setNativeMenuBar(false);

    QMenu* language = bar->addMenu(QStringLiteral("语言"));
    QAction* chinese = language->addAction(QStringLiteral("中文"));
    QAction* english = language->addAction(QStringLiteral("英文"));
    chinese->setObjectName(QString::number(mainwnd::ID_LANG_CHINESE));
    english->setObjectName(QString::number(mainwnd::ID_LANG_ENGLISH));
    QObject::connect(chinese, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, mainwnd::ID_LANG_CHINESE); });
    QObject::connect(english, &QAction::triggered, &dlg,
                     [&dlg] { dlg.SendMessage(WM_COMMAND, mainwnd::ID_LANG_ENGLISH); });

    // The program's own string 101, not a pack text; no entry when empty.
    const wchar_t* about = corvexa::res::LoadBuiltinString(101);
    if (about != nullptr && *about != L'\0') {
        QAction* item = bar->addAction(QString::fromWCharArray(about));
        item->setObjectName(QString::number(mainwnd::IDM_ABOUTBOX));
        QObject::connect(item, &QAction::triggered, &dlg,
                         [&dlg] { dlg.SendMessage(WM_SYSCOMMAND, mainwnd::IDM_ABOUTBOX); });
    }

    const int height = bar->sizeHint().height();
    for (QObject* child : dlg.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w != nullptr && w != bar && !w->isWindow())
            w->move(w->x(), w->y() + height);
    }
    bar->setGeometry(0, 0, dlg.width(), height);
    dlg.setFixedSize(dlg.width(), dlg.height() + height);
    return bar;
}
