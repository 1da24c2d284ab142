#include "rs485/ExtenderFrame.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/HexDigit.h"
#include "rs485/Crc8.h"

namespace ktx::rs485 {
namespace {

constexpr std::array<uint8_t, 4> kRequestHeader = {0x31, 0xFD, 0x05, 0x00};
constexpr std::array<uint8_t, 4> kAnswerHeader = {0x3E, 0xFD, 0x07, 0x00};
constexpr std::string_view kAnswerName = "S485=7:";

// One or two hex digits after optional blanks, as scanf's "%02X" takes them.
bool takeHexByte(const char*& text, uint8_t& out)
{
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const int high = hexDigit(*text);
    if (high < 0)
        return false;
    ++text;
    const int low = hexDigit(*text);
    if (low < 0) {
        out = static_cast<uint8_t>(high);
        return true;
    }
    ++text;
    out = static_cast<uint8_t>(high * 16 + low);
    return true;
}

std::string stateBits(const std::array<bool, kExtenderInputs>& states, size_t first)
{
    std::string bits;
    for (size_t i = first; i < first + 8; ++i)
        bits += states[i] ? '1' : '0';
    return bits;
}

}  // namespace

std::array<uint8_t, 5> extenderRequest()
{
    std::array<uint8_t, 5> request{};
    std::copy(kRequestHeader.begin(), kRequestHeader.end(), request.begin());
    request[4] = crc8(kRequestHeader);
    return request;
}

std::string extenderCommand()
{
    const auto r = extenderRequest();
    char text[48];
    std::snprintf(text, sizeof text, "S485=5:7:50:19200:%02X%02X%02X%02X%02X;", r[0], r[1], r[2], r[3], r[4]);
    return text;
}

ExtenderAnswer parseExtenderAnswer(const char* reply)
{
    ExtenderAnswer answer;
    if (std::string_view(reply).substr(0, kAnswerName.size()) != kAnswerName)
        return answer;
    const char* text = reply + kAnswerName.size();
    for (uint8_t& byte : answer.bytes)
        if (!takeHexByte(text, byte))
            return answer;
    answer.computedCrc = crc8(std::span(answer.bytes).first(6));
    if (answer.computedCrc != answer.bytes[6]) {
        answer.check = AnswerCheck::CrcMismatch;
        return answer;
    }
    if (!std::equal(kAnswerHeader.begin(), kAnswerHeader.end(), answer.bytes.begin())) {
        answer.check = AnswerCheck::UnknownHeader;
        return answer;
    }
    answer.check = AnswerCheck::Accepted;
    return answer;
}

std::array<bool, kExtenderInputs> extenderInputStates(uint8_t p, uint8_t m)
{
    std::array<bool, kExtenderInputs> states{};
    for (int bit = 0; bit < 8; ++bit) {
        states[static_cast<size_t>(bit)] = ((p >> bit) & 1) == 0;
        states[static_cast<size_t>(8 + bit)] = ((m >> bit) & 1) == 1;
    }
    return states;
}

std::string extenderLogFields(uint8_t p, uint8_t m)
{
    const auto states = extenderInputStates(p, m);
    char text[64];
    std::snprintf(text, sizeof text, "P:%02X (%s) M:%02X (%s)\r\n", p, stateBits(states, 0).c_str(), m,
        stateBits(states, 8).c_str());
    return text;
}

}  // namespace ktx::rs485
