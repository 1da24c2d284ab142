#include "onewire/OneWireReplies.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/CNumbers.h"
#include "base/LogSink.h"
#include "base/FloatText.h"

namespace ktx::onewire {
namespace {

constexpr std::string_view kIdentifierName = "1WIRE=";
constexpr size_t kSerialFirst = 7;  // after the name and the family code
constexpr size_t kSerialBytes = 6;
constexpr size_t kAnsweredAt = 15;  // after the eight ROM bytes and ':'
constexpr std::string_view kAnswered = "true";

}  // namespace

IdentifierReply parseIdentifierReply(std::string_view reply)
{
    IdentifierReply parsed;
    if (reply.size() < kIdentifierReplyBytes || !reply.starts_with(kIdentifierName))
        return parsed;
    parsed.kind = IdentifierKind::Identifier;
    if (reply.substr(kAnsweredAt, kAnswered.size()) != kAnswered) {
        parsed.text = "NC";
        return parsed;
    }
    char text[2 * kSerialBytes + 1];
    for (size_t i = 0; i < kSerialBytes; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", static_cast<unsigned char>(reply[kSerialFirst + i]));
    parsed.text.assign(text, 2 * kSerialBytes);
    return parsed;
}

std::optional<float> parseTemperatureReply(const char* reply)
{
    float value = 0;
    const CNumbersScope cNumbers;  // "-17.5" is -17.5 in any process locale
    if (std::sscanf(reply, "TEMPFROMADDR=%f", &value) != 1 || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string addressForDevice(std::string_view cp1251)
{
    std::string_view address = cp1251.substr(0, cp1251.find('\0'));
    return std::string(address.substr(0, kAddressBytes));
}

TemperatureLook temperatureLook(float value, std::string_view decimalPoint)
{
    const double truncated = std::trunc(static_cast<double>(value));
    const double position = std::clamp(-truncated, double(kScaleMinimum), double(kScaleMaximum));
    return {io::generalText(value, 15, decimalPoint), static_cast<int>(position)};
}

std::string temperatureLogFields(const std::string& address, float value)
{
    return formatText("TEMP(%s)=%.03f\r\n", address.c_str(), static_cast<double>(value));
}

}  // namespace ktx::onewire
