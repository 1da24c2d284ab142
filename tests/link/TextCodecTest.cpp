#include <gtest/gtest.h>

#include "base/TextCodec.h"

namespace ktx {
namespace {

TEST(TextCodec, RoundTripsRussianTextThroughWindows1251)
{
    const std::string utf8 = "Устройство не подключено: ёЁ №5 «ok»";
    const std::string cp1251 = cp1251FromUtf8(utf8);
    EXPECT_EQ(cp1251.size(), 36u);  // one byte per character
    EXPECT_EQ(static_cast<unsigned char>(cp1251[0]), 0xD3);  // У
    EXPECT_EQ(utf8FromCp1251(cp1251), utf8);
}

TEST(TextCodec, UnmappableAndBrokenInputBecomesQuestionMarks)
{
    EXPECT_EQ(cp1251FromUtf8("a\xE2\x9C\x93" "b"), "a?b");     // a check mark has no cp1251 form
    EXPECT_EQ(cp1251FromUtf8("x\xC3"), "x?");                  // cut-off sequence
    EXPECT_EQ(utf8FromCp1251(std::string("\x98z", 2)), "?z");  // the one unassigned cp1251 byte
    EXPECT_EQ(cp1251FromUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// Every byte of the upper half against the published code page, both ways:
// a wrong or shifted table entry turns one letter into another.
TEST(TextCodec, UpperHalfMatchesTheCodePage)
{
    const std::string codePage = "ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—?™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕїАБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя";
    std::string allBytes;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        allBytes += static_cast<char>(byte);
    EXPECT_EQ(utf8FromCp1251(allBytes), codePage);
    std::string expectedBack = allBytes;
    expectedBack[0x98 - 0x80] = '?';  // unassigned: read as '?', written back as '?'
    EXPECT_EQ(cp1251FromUtf8(codePage), expectedBack);
}

TEST(TextCodec, EachBrokenUtf8SequenceBecomesOneQuestionMark)
{
    const struct {
        std::string input, expected;
    } cases[] = {
        {"a\xC0\xAF" "b", "a?b"},          // overlong '/'
        {"a\xED\xA0\x80" "b", "a?b"},      // a UTF-16 surrogate
        {"a\xF4\x90\x80\x80" "b", "a?b"},  // beyond U+10FFFF
        {"a\x80\x80" "b", "a?b"},          // continuation bytes without a lead
        {"a\xD0" "b", "a?b"},              // lead byte cut short
        {"\xF0\x9F\x98\x80", "?"},         // an emoji: valid, but no cp1251 form
    };
    for (const auto& c : cases)
        EXPECT_EQ(cp1251FromUtf8(c.input), c.expected) << c.input;
}

}  // namespace
}  // namespace ktx
