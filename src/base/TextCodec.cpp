#include "base/TextCodec.h"

#include <array>
#include <cstdint>

namespace ktx {
namespace {

// The upper half of Windows-1251 (0x80..0xFF) in Unicode; 0x98 has no
// character. A table rather than the system's converter: the same bytes on
// every system, with or without iconv.
constexpr std::array<char16_t, 128> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr char kNoForm = '?';

char cp1251ByteFor(char32_t codePoint)
{
    if (codePoint < 0x80)
        return static_cast<char>(codePoint);
    if (codePoint >= 0x0410 && codePoint <= 0x044F)  // А..я, most of any Russian text
        return static_cast<char>(0xC0 + (codePoint - 0x0410));
    for (size_t i = 0; i < kUpperHalf.size(); ++i)
        if (kUpperHalf[i] != 0 && kUpperHalf[i] == codePoint)
            return static_cast<char>(0x80 + i);
    return kNoForm;
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point at utf8[at], advancing at past it; false for a broken,
// overlong or surrogate sequence (at then points at its first byte).
bool decodeUtf8(std::string_view utf8, size_t& at, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(utf8[at]);
    size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        ++at;
        return true;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (utf8.size() - at < length)
        return false;
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(utf8[at + i]);
        if (!isContinuation(byte))
            return false;
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return false;
    at += length;
    return true;
}

void appendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace

std::string cp1251FromUtf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t at = 0;
    while (at < utf8.size()) {
        char32_t codePoint = 0;
        if (decodeUtf8(utf8, at, codePoint)) {
            out += cp1251ByteFor(codePoint);
            continue;
        }
        // A broken sequence gives one '?' for its lead byte and whatever
        // continuation bytes follow it.
        out += kNoForm;
        ++at;
        while (at < utf8.size() && isContinuation(static_cast<unsigned char>(utf8[at])))
            ++at;
    }
    return out;
}

std::string utf8FromCp1251(std::string_view cp1251)
{
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char c : cp1251) {
        const auto byte = static_cast<unsigned char>(c);
        const char32_t codePoint = byte < 0x80 ? byte : kUpperHalf[byte - 0x80];
        if (byte >= 0x80 && codePoint == 0)
            out += kNoForm;
        else
            appendUtf8(out, codePoint);
    }
    return out;
}

}  // namespace ktx
