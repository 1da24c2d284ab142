#include "app/ui/Consoles.h"

#include "base/ui/LocaleText.h"
#include "base/TextCodec.h"

namespace ktx {

Consoles::Consoles(TimeSource& time, std::string workDir)
    : time_(time),
      stream_(std::move(workDir), [this] { return dateTimeTextCp1251(time_.wallClockUtcMs()); })
{
}

void Consoles::attach(QPlainTextEdit* debugMemo, QPlainTextEdit* gsmMemo, QPlainTextEdit* memo485,
                      QPlainTextEdit* telitMemo)
{
    debugMemo_ = debugMemo;
    gsmMemo_ = gsmMemo;
    memo485_ = memo485;
    telitMemo_ = telitMemo;
}

void Consoles::setSerialSource(std::function<std::string()> serialText)
{
    serialText_ = std::move(serialText);
}

void Consoles::appendTo(QPlainTextEdit* memo, std::string_view cp1251) const
{
    if (!memo)
        return;
    // CR LF, a lone CR and a lone LF each end a line, as the device's
    // replies mix them; NUL would cut the line short on screen.
    QString text = QString::fromStdString(utf8FromCp1251(cp1251));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    text.remove(QChar(u'\0'));
    // The modem, RS-485 and TELIT consoles start with one empty line, so
    // their first message lands on the second line.
    if (memo != debugMemo_ && memo->document()->isEmpty())
        memo->setPlainText(QLatin1Char('\n') + text);
    else
        memo->appendPlainText(text);
}

void Consoles::debugLine(std::string_view text)
{
    appendTo(debugMemo_, text);
}

void Consoles::modemLine(std::string_view text)
{
    appendTo(gsmMemo_, text);
}

void Consoles::rs485Line(std::string_view text)
{
    appendTo(memo485_, text);
}

void Consoles::telitLine(std::string_view text)
{
    stream_.appendText("telitdebug.txt", text);
    appendTo(telitMemo_, text);
}

void Consoles::streamLine(std::string_view directory, std::string_view stem, std::string_view fields)
{
    const std::string serial = serialText_ ? serialText_() : std::string("10000");
    stream_.append(directory, stem, serial, fields);
}

}  // namespace ktx
