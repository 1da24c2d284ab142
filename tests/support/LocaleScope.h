#pragma once
// Makes a locale Qt's default for a scope (tabs read it when they are built
// and when they write numbers), then puts the system's back, so no test
// leaves its locale to the next one.
#include <QLocale>

namespace ktx::test {

class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
};

inline QLocale russianLocale() { return QLocale(QLocale::Russian, QLocale::Russia); }

}  // namespace ktx::test
