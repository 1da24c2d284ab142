#include "check/Exchanges.h"

#include <cstdio>

#include "base/TextCodec.h"

namespace ktx::check {

// Long replies (modem start-up, CAN frames) are kept whole up to this size.
constexpr size_t kLongestLine = 4096;

std::string readableBytes(std::string_view bytes)
{
    std::string cp1251;
    std::string text;
    auto flush = [&] {
        text += utf8FromCp1251(cp1251);
        cp1251.clear();
    };
    for (unsigned char byte : bytes.substr(0, kLongestLine)) {
        const bool control = byte < 0x20 && byte != '\r' && byte != '\n' && byte != '\t';
        // 0x98 is the one byte Windows-1251 leaves without a letter.
        if (control || byte == 0x7F || byte == 0x98) {
            flush();
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            cp1251 += static_cast<char>(byte);
        }
    }
    flush();
    if (bytes.size() > kLongestLine)
        text += "...";
    return text;
}

void ExchangeLog::begin()
{
    startUs_ = time_.monotonicUs();
    pendingReceived_.clear();
    lines_.clear();
}

void ExchangeLog::add(const char* kind, std::string text)
{
    lines_.push_back({(time_.monotonicUs() - startUs_) / 1000, kind, std::move(text)});
}

void ExchangeLog::flushReceived()
{
    if (pendingReceived_.empty())
        return;
    add("received", readableBytes(pendingReceived_));
    pendingReceived_.clear();
}

void ExchangeLog::sent(std::string_view bytes)
{
    flushReceived();
    add("sent", readableBytes(bytes));
}

void ExchangeLog::received(std::string_view bytes)
{
    if (pendingReceived_.size() < kLongestLine + 1)
        pendingReceived_.append(bytes.substr(0, kLongestLine + 1 - pendingReceived_.size()));
}

void ExchangeLog::console(std::string_view cp1251Text)
{
    flushReceived();
    add("console", readableBytes(cp1251Text));
}

std::vector<Exchange> ExchangeLog::take()
{
    flushReceived();
    return std::move(lines_);
}

FT_STATUS RecordingDriver::FT_Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written)
{
    const FT_STATUS status = inner_.FT_Write(h, buffer, count, written);
    if (status == FT_OK && written && *written > 0)
        log_.sent(std::string_view(static_cast<const char*>(buffer), *written));
    return status;
}

FT_STATUS RecordingDriver::FT_Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* received)
{
    const FT_STATUS status = inner_.FT_Read(h, buffer, count, received);
    if (status == FT_OK && received && *received > 0)
        log_.received(std::string_view(static_cast<const char*>(buffer), *received));
    return status;
}

FT_STATUS RecordingDriver::deviceCount(uint32_t& count)
{
    return inner_.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
}

FT_STATUS RecordingDriver::deviceString(uint32_t index, uint32_t which, std::string& text)
{
    char buffer[kFtListBufferSize] = {};
    void* const indexArg = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
    const FT_STATUS status = inner_.FT_ListDevices(indexArg, buffer, FT_LIST_BY_INDEX | which);
    text = buffer;
    return status;
}

}  // namespace ktx::check
