#pragma once
// The date-and-time text that starts every data log line: the user's short
// date, a space and the long time, without the time zone's name.
#include <QLocale>
#include <QString>
#include <string>

namespace ktx {

// A time format with its zone field ("t" .. "tttt"), any brackets right
// around it and the blanks before it (or after it, when it leads) removed.
QString timeFormatWithoutZone(const QString& format);

// Local time of utcMs in the given locale's formats.
QString dateTimeText(qint64 utcMs, const QLocale& locale);
// The same in the system locale.
QString dateTimeText(qint64 utcMs);
// The system-locale text as Windows-1251 bytes, for the log files.
std::string dateTimeTextCp1251(qint64 utcMs);

}  // namespace ktx
