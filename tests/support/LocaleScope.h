#pragma once
// Makes a locale Qt's default for a scope (tabs read it when they are built
// and when they write numbers), then puts the system's back, so no test
// leaves its locale to the next one.
#include <QLocale>
#include <clocale>
#include <string>

namespace ktx::test {

class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
};

// Puts the whole process (the C library's printf and scanf included) into a
// locale for a scope. ok() is false when the system lacks the locale.
class ProcessLocaleScope {
public:
    explicit ProcessLocaleScope(const char* name) : previous_(std::setlocale(LC_ALL, nullptr))
    {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ProcessLocaleScope() { std::setlocale(LC_ALL, previous_.c_str()); }
    ProcessLocaleScope(const ProcessLocaleScope&) = delete;
    ProcessLocaleScope& operator=(const ProcessLocaleScope&) = delete;
    bool ok() const { return ok_; }

private:
    std::string previous_;
    bool ok_ = false;
};

inline constexpr const char* kRussianProcessLocale = "ru_RU.UTF-8";

inline QLocale russianLocale() { return QLocale(QLocale::Russian, QLocale::Russia); }

}  // namespace ktx::test
