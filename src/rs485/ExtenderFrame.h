#pragma once
// The input extender's frames as they travel inside "S485=" texts: the fixed
// request with its CRC, the seven-byte answer, its checks and the sixteen
// input states it carries.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ktx::rs485 {

constexpr int kExtenderInputs = 16;
constexpr int kFirstExtenderInput = 9;
constexpr size_t kAnswerBytes = 7;

// 31 FD 05 00 and their CRC.
std::array<uint8_t, 5> extenderRequest();
// "S485=5:7:50:19200:" + the request as upper-case hex + ";".
std::string extenderCommand();

enum class AnswerCheck {
    Unparsed,       // not "S485=7:" and seven hex bytes
    CrcMismatch,    // byte 7 is not the CRC of bytes 1 to 6
    UnknownHeader,  // bytes 1 to 4 are not 3E FD 07 00
    Accepted,
};

struct ExtenderAnswer {
    AnswerCheck check = AnswerCheck::Unparsed;
    std::array<uint8_t, kAnswerBytes> bytes{};
    uint8_t computedCrc = 0;  // valid from CrcMismatch on

    uint8_t p() const { return bytes[4]; }
    uint8_t m() const { return bytes[5]; }
};

// "S485=7:%02X%02X%02X%02X%02X%02X%02X" on a zero-terminated reply: each
// byte one or two hex digits, blanks before a byte skipped, the closing ";"
// not required.
ExtenderAnswer parseExtenderAnswer(const char* reply);

// Shown states of inputs 9 to 24: group P reads 1 for a 0 bit, group M for
// a 1 bit; bit 0 first.
std::array<bool, kExtenderInputs> extenderInputStates(uint8_t p, uint8_t m);

// The 485rash data log fields: "P:%02X (bits) M:%02X (bits)\r\n".
std::string extenderLogFields(uint8_t p, uint8_t m);

}  // namespace ktx::rs485
