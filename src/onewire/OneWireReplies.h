#pragma once
// The 1-Wire replies taken apart, and how a temperature appears on a
// sensor's thermometer and in the 1WIRE data log.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ktx::onewire {

constexpr int kSensorCount = 8;
// "1WIRE=" + eight raw ROM bytes + ":true;"
constexpr uint32_t kIdentifierReplyBytes = 20;
// The length of "TEMPFROMADDR=-17.5000;"
constexpr uint32_t kTemperatureReplyBytes = 22;
// Replies of at most this many bytes hold no more than "TEMPFROMADDR=".
constexpr uint32_t kTemperatureNameBytes = 13;
// Addresses go to the device cut to this many bytes.
constexpr size_t kAddressBytes = 12;
// The firmware's "no reading" value; such a reading is neither shown nor logged.
constexpr float kNoReading = -55.0f;
// TrackBar range: the position is the negated temperature.
constexpr int kScaleMinimum = -110;
constexpr int kScaleMaximum = 55;

enum class IdentifierKind { WrongPrefix, Identifier };

struct IdentifierReply {
    IdentifierKind kind = IdentifierKind::WrongPrefix;
    std::string text;  // twelve lowercase hex digits, or "NC" when no device answered
};

// A reply of exactly kIdentifierReplyBytes bytes (raw, zeros allowed). The
// six serial-number bytes of the ROM code become the text; the family code,
// the CRC and the separators are not looked at.
IdentifierReply parseIdentifierReply(std::string_view reply);

// "TEMPFROMADDR=%f" on a zero-terminated reply; a value that is not finite
// is no reading either.
std::optional<float> parseTemperatureReply(const char* reply);

// The address as the device gets it: Windows-1251 text cut to twelve bytes
// (and at a zero byte, as the C string it travels in).
std::string addressForDevice(std::string_view cp1251);

struct TemperatureLook {
    std::string label;  // up to 15 significant digits, the user's decimal separator
    int scalePosition;  // −(value truncated toward zero), held within the scale
};
TemperatureLook temperatureLook(float value, std::string_view decimalPoint);

// The 1WIRE data log fields: "TEMP(<address>)=<value, 3 decimals>\r\n".
std::string temperatureLogFields(const std::string& address, float value);

}  // namespace ktx::onewire
