#include "widgets/LocaleText.h"

#include <QDateTime>

#include "base/TextCodec.h"

namespace ktx {
namespace {

void chopSpaces(QString& text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
}

}  // namespace

QString timeFormatWithoutZone(const QString& format)
{
    QString out;
    bool quoted = false;
    bool dropSpaces = false;  // blanks after a leading zone field
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (dropSpaces && !quoted && c.isSpace())
            continue;
        dropSpaces = false;
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (quoted || c != u't') {
            out += c;
            continue;
        }
        while (i + 1 < format.size() && format.at(i + 1) == u't')
            ++i;
        chopSpaces(out);
        if (out.endsWith(u'(') && i + 1 < format.size() && format.at(i + 1) == u')') {
            out.chop(1);
            ++i;
            chopSpaces(out);
        }
        dropSpaces = out.isEmpty();
    }
    chopSpaces(out);
    return out;
}

QString dateTimeText(qint64 utcMs, const QLocale& locale)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(utcMs).toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + u' '
        + locale.toString(local.time(), timeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString dateTimeText(qint64 utcMs)
{
    return dateTimeText(utcMs, QLocale::system());
}

std::string dateTimeTextCp1251(qint64 utcMs)
{
    return cp1251FromUtf8(dateTimeText(utcMs).toStdString());
}

}  // namespace ktx
