#include "ui/main/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace {

std::unique_ptr<QTranslator> g_translator;
QString g_locale;

QString LocaleOf(std::uint16_t langId) {
    return langId == 2052 ? QStringLiteral("zh_CN") : QString();
}

}  // namespace

void FollowQtTranslations(std::uint16_t langId) {
    const QString locale = LocaleOf(langId);
    if (locale == g_locale) return;
    g_locale = locale;
    if (g_translator) {
        QCoreApplication::removeTranslator(g_translator.get());
        g_translator.reset();
    }
    if (locale.isEmpty()) return;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + locale,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    g_translator = std::move(translator);
}
