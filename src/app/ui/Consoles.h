#pragma once
// The four on-screen consoles behind the log writers, and the data logs
// named after the connected device.
//
// Threads: the device worker writes through every method (the GUI thread
// too, for the firmware header check, and in tests on a virtual clock).
// Console lines are appended by the GUI thread, in the order they were
// written (posted when written elsewhere), and wait there for a console
// not attached yet; data log and telitdebug.txt lines
// are appended by the writing thread, one at a time, in the order of the
// calls. The serial number in the data log names is read where
// identification writes it: on the worker.
#include <QPlainTextEdit>
#include <QPointer>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/LogSink.h"
#include "app/StreamLog.h"
#include "link/TimeSource.h"

namespace ktx {

class Consoles : public LogSink {
public:
    explicit Consoles(TimeSource& time, std::string workDir = ".");
    Consoles(const Consoles&) = delete;
    Consoles& operator=(const Consoles&) = delete;

    enum Console { Debug, Modem, Rs485, Telit, kConsoleCount };

    // Lines written to a console before its memo is attached (its tab not
    // built yet) wait and appear when it is. A null memo, or one destroyed,
    // drops its lines. GUI thread only.
    void attach(Console console, QPlainTextEdit* memo);
    void attach(QPlainTextEdit* debugMemo, QPlainTextEdit* gsmMemo, QPlainTextEdit* memo485,
                QPlainTextEdit* telitMemo);
    // SerPanel's caption (Windows-1251 bytes); "10000" while none is set.
    void setSerialSource(std::function<std::string()> serialText);

    int debugLevel() const override { return DebugLevel; }
    void debugLine(std::string_view text) override;
    void modemLine(std::string_view text) override;
    void rs485Line(std::string_view text) override;
    void telitLine(std::string_view text) override;
    void streamLine(std::string_view directory, std::string_view stem, std::string_view fields) override;

    std::atomic<int> DebugLevel = 2;

private:
    void write(Console console, std::string_view cp1251);
    void writeHere(Console console, std::string_view cp1251);
    void appendTo(Console console, std::string_view cp1251) const;

    TimeSource& time_;
    // Lives on the GUI thread: lines written elsewhere are posted to it, and
    // dropped with it. The memos and the waiting lines are the GUI thread's.
    QObject guiThread_;
    std::mutex streamMutex_;  // one file append at a time
    StreamLog stream_;
    std::function<std::string()> serialText_;
    std::array<QPointer<QPlainTextEdit>, kConsoleCount> memos_;
    std::array<bool, kConsoleCount> attached_{};
    std::array<std::vector<std::string>, kConsoleCount> waiting_;
};

}  // namespace ktx
