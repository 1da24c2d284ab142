#include "app/ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ktx {

bool installQtTranslations(QCoreApplication& app, QTranslator& translator, const QLocale& locale)
{
    // qtbase holds the widgets' texts; "qt" would add modules the console
    // doesn't use.
    if (!translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return app.installTranslator(&translator);
}

}  // namespace ktx
