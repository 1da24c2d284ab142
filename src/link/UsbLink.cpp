#include "link/UsbLink.h"

#include <cstdarg>
#include <cstdio>

#include "base/TextCodec.h"

namespace ktx {

const std::string& reopenRefusedText()
{
    static const std::string text =
        cp1251FromUtf8("Канал к прибору занят другим действием: повторное открытие отклонено");
    return text;
}

bool UsbLink::openDevice()
{
    if (driver_.FT_Open(deviceIndex_, &handle_) == FT_OK) {
        openFailure_ = {};
        return true;
    }
    openFailure_ = driver_.lastFailure();
    return false;
}

bool UsbLink::OpenLink(bool fast)
{
    if (inSession_ || !openDevice())
        return false;
    const uint32_t timeoutMs = fast ? kFastTimeoutMs : kNormalTimeoutMs;
    const bool configured = driver_.FT_SetBaudRate(handle_, kLinkBaudRate) == FT_OK
        && driver_.FT_SetTimeouts(handle_, timeoutMs, timeoutMs) == FT_OK
        && driver_.FT_SetDataCharacteristics(handle_, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE) == FT_OK
        && driver_.FT_SetFlowControl(handle_, FT_FLOW_NONE, 0, 0) == FT_OK
        && driver_.FT_SetLatencyTimer(handle_, 1) == FT_OK;
    if (!configured)
        CloseLink();
    return configured;
}

bool UsbLink::OpenUpdateLink()
{
    if (inSession_ || !openDevice())
        return false;
    const bool configured = driver_.FT_SetDivisor(handle_, kUpdateLinkDivisor) == FT_OK
        && driver_.FT_SetTimeouts(handle_, kFastTimeoutMs, 0) == FT_OK
        && driver_.FT_SetDataCharacteristics(handle_, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE) == FT_OK
        && driver_.FT_SetFlowControl(handle_, FT_FLOW_NONE, 0, 0) == FT_OK
        && driver_.FT_SetLatencyTimer(handle_, 1) == FT_OK;
    if (!configured)
        CloseLink();
    return configured;
}

void UsbLink::PurgeLink()
{
    driver_.FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX);
}

void UsbLink::FormatCommand(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (length < 0) {
        pendingCommand_.clear();
    } else {
        pendingCommand_.resize(static_cast<size_t>(length));
        std::vsnprintf(pendingCommand_.data(), pendingCommand_.size() + 1, format, args);
    }
    va_end(args);
}

void UsbLink::WriteCommand()
{
    uint32_t written = 0;
    driver_.FT_Write(handle_, pendingCommand_.data(), static_cast<uint32_t>(pendingCommand_.size()), &written);
    transferred_ = written;
}

void UsbLink::SendCommand(const char* text)
{
    pendingCommand_ = text ? text : "";
    PurgeLink();
    WriteCommand();
}

void UsbLink::ReadReply(void* buffer, uint32_t n)
{
    uint32_t received = 0;
    driver_.FT_Read(handle_, buffer, n, &received);
    transferred_ = received < n ? received : n;
}

void UsbLink::AwaitReply(void* buffer, uint32_t n, uint32_t budget)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    ReadBudget = budget;
    uint32_t total = 0;
    uint32_t terminators = 0;
    do {
        uint32_t got = 0;
        driver_.FT_Read(handle_, bytes + total, n - total, &got);
        if (got > n - total)  // a misbehaving driver must not push us past the buffer
            got = n - total;
        if (got == 0)
            ReadBudget = ReadBudget > 1 ? ReadBudget - 1 : 0;
        for (uint32_t i = 0; i < got; ++i)
            if (bytes[total + i] == ';' || bytes[total + i] == '\n')
                ++terminators;
        total += got;
    } while (total < n && ReadBudget != 0 && terminators == 0);
    transferred_ = total;
}

uint32_t UsbLink::Exchange(std::string_view command, char* bytes, uint32_t capacity, ReplyWait wait)
{
    SendCommand(std::string(command).c_str());
    if (wait.sleepMs > 0)
        time_.sleepMs(wait.sleepMs);
    if (wait.emptyReads > 0)
        AwaitReply(bytes, capacity, wait.emptyReads);
    else
        ReadReply(bytes, capacity);
    return transferred_;
}

void UsbLink::CloseLink()
{
    driver_.FT_ResetDevice(handle_);
    driver_.FT_Close(handle_);
}

}  // namespace ktx
