#include "base/LogSink.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "base/CNumbers.h"

namespace ktx {
namespace {

// Number texts always carry a decimal point, whatever the process locale.
std::string formatList(const char* format, va_list args)
{
    const CNumbersScope cNumbers;
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

}  // namespace

bool LogSink::firstWriteFailure(const WriteResult& result)
{
    if (result.ok)
        return false;
    const std::lock_guard<std::mutex> lock(writesMutex_);
    const int error = result.errorNumber;
    if (workDirUnwritableSaid_ && (error == EACCES || error == EPERM || error == EROFS))
        return false;
    return failedWrites_.insert(result.path).second;
}

void LogSink::workDirUnwritableSaid()
{
    const std::lock_guard<std::mutex> lock(writesMutex_);
    workDirUnwritableSaid_ = true;
}

std::string formatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = formatList(format, args);
    va_end(args);
    return text;
}

void LogDebug(LogSink& sink, int level, const char* format, ...)
{
    if (level > sink.debugLevel())
        return;
    va_list args;
    va_start(args, format);
    const std::string text = formatList(format, args);
    va_end(args);
    sink.debugLine(text);
}

#define KTX_CONSOLE_WRITER(name, method)          \
    void name(LogSink& sink, const char* format, ...) \
    {                                             \
        va_list args;                             \
        va_start(args, format);                   \
        const std::string text = formatList(format, args); \
        va_end(args);                             \
        sink.method(text);                        \
    }

KTX_CONSOLE_WRITER(LogModem, modemLine)
KTX_CONSOLE_WRITER(Log485, rs485Line)
KTX_CONSOLE_WRITER(LogTelit, telitLine)

#undef KTX_CONSOLE_WRITER

}  // namespace ktx
