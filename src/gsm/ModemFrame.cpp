#include "gsm/ModemFrame.h"

#include <cstdint>

namespace ktx::gsm {

std::string ModemFrame(int64_t timeoutMs, std::string_view payload, FrameEnding ending)
{
    std::string frame(kReplyName);
    frame += std::to_string(timeoutMs);
    frame += ',';
    frame += payload;
    switch (ending) {
    case FrameEnding::CrDollar:
        frame += "\r;$";
        break;
    case FrameEnding::CrSemicolon:
        frame += "\r;";
        break;
    case FrameEnding::CrLfSemicolon:
        frame += "\r\n;";
        break;
    }
    return frame;
}

std::string EscapeFrame(int64_t timeoutMs)
{
    return std::string(kReplyName) + std::to_string(timeoutMs) + ",+++;$";
}

int64_t ModemWait(int64_t timeoutMs)
{
    if (timeoutMs <= 0)
        return 0;
    if (timeoutMs > INT64_MAX / 11 * 10)
        return INT64_MAX;
    // Split so that no timeout can overflow the product.
    return timeoutMs / 10 * 11 + timeoutMs % 10 * 11 / 10;
}

TimedFrame timedFrame(int64_t timeoutMs, std::string_view payload, FrameEnding ending)
{
    return {ModemFrame(timeoutMs, payload, ending), ModemWait(timeoutMs)};
}

TimedFrame timedEscape(int64_t timeoutMs)
{
    return {EscapeFrame(timeoutMs), ModemWait(timeoutMs)};
}

bool hasDeviceAnswer(std::string_view reply)
{
    return reply.find(kReplyName) != std::string_view::npos;
}

std::string_view modemText(std::string_view reply)
{
    return reply.size() > kReplyName.size() ? reply.substr(kReplyName.size()) : std::string_view{};
}

}  // namespace ktx::gsm
