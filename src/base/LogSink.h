#pragma once
// Where the areas report: the four consoles and the per-device data logs.
// Texts are Windows-1251, as the device and the files use them.
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "base/FileWriter.h"

namespace ktx {

class LogSink {
public:
    virtual ~LogSink() = default;

    virtual int debugLevel() const = 0;
    virtual void debugLine(std::string_view text) = 0;   // DebugMemo
    virtual void modemLine(std::string_view text) = 0;   // GSMMemo
    virtual void rs485Line(std::string_view text) = 0;   // memo485
    virtual void telitLine(std::string_view text) = 0;   // TelitMemo and telitdebug.txt
    // Appends "<date time> | " + fields to ./<directory>/<stem>-<serial>.txt;
    // fields carry their own line end.
    virtual void streamLine(std::string_view directory, std::string_view stem, std::string_view fields) = 0;

    // A failed write is said once per file: a data log that can't be written
    // would otherwise repeat the same line on every poll. Once the whole
    // working directory was said to be unwritable, the permission failures
    // of its files are not said again one by one. Safe from any thread.
    bool firstWriteFailure(const WriteResult& result);
    void workDirUnwritableSaid();

private:
    std::mutex writesMutex_;
    std::set<std::string> failedWrites_;
    bool workDirUnwritableSaid_ = false;
};

// printf formatting in the C locale: a number always gets a decimal point.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The console writers. LogDebug expands nothing when level is above the sink's
// debug level.
void LogDebug(LogSink& sink, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
void LogModem(LogSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Log485(LogSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogTelit(LogSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace ktx
