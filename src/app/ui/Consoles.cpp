#include "app/ui/Consoles.h"

#include "widgets/DeviceActions.h"
#include "widgets/LocaleText.h"
#include "base/TextCodec.h"
#include "link/WriteReport.h"

namespace ktx {
namespace {

// Lines a console keeps: the oldest go first. At its busiest (every poll on
// a tracker that often answers wrong) the debug console takes about 7,000
// lines an hour, some 200,000 characters; this keeps well over an hour to
// scroll back through, and an eight-hour shift no longer grows the window
// by tens of megabytes. The data logs keep everything.
constexpr int kConsoleLines = 10000;

}  // namespace

Consoles::Consoles(TimeSource& time, std::string workDir)
    : time_(time),
      stream_(std::move(workDir), [this] { return dateTimeTextCp1251(time_.wallClockUtcMs()); })
{
}

void Consoles::attach(Console console, QPlainTextEdit* memo)
{
    memos_[console] = memo;
    attached_[console] = true;
    // A cap also ends the undo history, which kept a second copy of every
    // line appended.
    if (memo)
        memo->setMaximumBlockCount(kConsoleLines);
    std::vector<std::string> waiting = std::move(waiting_[console]);
    waiting_[console].clear();
    for (const std::string& line : waiting)
        appendTo(console, line);
}

void Consoles::attach(QPlainTextEdit* debugMemo, QPlainTextEdit* gsmMemo, QPlainTextEdit* memo485,
                      QPlainTextEdit* telitMemo)
{
    attach(Debug, debugMemo);
    attach(Modem, gsmMemo);
    attach(Rs485, memo485);
    attach(Telit, telitMemo);
}

void Consoles::setSerialSource(std::function<std::string()> serialText)
{
    serialText_ = std::move(serialText);
}

void Consoles::write(Console console, std::string_view cp1251)
{
    onGuiThread(&guiThread_, [this, console, line = std::string(cp1251)] { writeHere(console, line); });
}

void Consoles::writeHere(Console console, std::string_view cp1251)
{
    if (attached_[console])
        appendTo(console, cp1251);
    else
        waiting_[console].emplace_back(cp1251);
}

void Consoles::appendTo(Console console, std::string_view cp1251) const
{
    QPlainTextEdit* memo = memos_[console];
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
    if (console != Debug && memo->document()->isEmpty())
        memo->setPlainText(QLatin1Char('\n') + text);
    else
        memo->appendPlainText(text);
}

void Consoles::debugLine(std::string_view text)
{
    write(Debug, text);
}

void Consoles::modemLine(std::string_view text)
{
    write(Modem, text);
}

void Consoles::rs485Line(std::string_view text)
{
    write(Rs485, text);
}

void Consoles::telitLine(std::string_view text)
{
    const auto written = [&] {
        const std::lock_guard lock(streamMutex_);
        return stream_.appendText("telitdebug.txt", text);
    }();
    reportWrite(*this, written);
    write(Telit, text);
}

void Consoles::streamLine(std::string_view directory, std::string_view stem, std::string_view fields)
{
    const std::string serial = serialText_ ? serialText_() : std::string("10000");
    const auto written = [&] {
        const std::lock_guard lock(streamMutex_);
        return stream_.append(directory, stem, serial, fields);
    }();
    // Said outside the lock: the report is itself a console line.
    reportWrite(*this, written);
}

}  // namespace ktx
