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

namespace {

// The length of the well-formed UTF-8 character at text[at], 0 if none.
size_t utf8Length(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    uint32_t low = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, low = 0x80, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, low = 0x800, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, low = 0x10000, code = lead & 0x07;
    else
        return 0;
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < low || code > 0x10FFFF || surrogate ? 0 : length;
}

}  // namespace

bool isUtf8(std::string_view text)
{
    for (size_t at = 0; at < text.size();) {
        const size_t length = utf8Length(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string wellFormedUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = utf8Length(text, at);
        out += length == 0 ? std::string_view("\xEF\xBF\xBD") : text.substr(at, length);
        at += length == 0 ? 1 : length;
    }
    return out;
}

std::string maskSecrets(std::string text, const std::vector<std::string>& secrets)
{
    for (const std::string& secret : secrets) {
        const std::string quoted = "\"" + secret + "\"";
        for (size_t at = text.find(quoted); at != std::string::npos; at = text.find(quoted, at + 5))
            text.replace(at, quoted.size(), "\"***\"");
    }
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
    lines_.push_back({(time_.monotonicUs() - startUs_) / 1000, kind, maskSecrets(std::move(text), secrets_)});
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

FT_STATUS RecordingDriver::FT_Open(int deviceNumber, FT_HANDLE* handle)
{
    std::string serial;
    if (!serial_.empty() && deviceNumber >= 0
        && deviceString(static_cast<uint32_t>(deviceNumber), FT_OPEN_BY_SERIAL_NUMBER, serial) == FT_OK
        && serial != serial_)
        return FT_DEVICE_NOT_FOUND;
    return inner_.FT_Open(deviceNumber, handle);
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
