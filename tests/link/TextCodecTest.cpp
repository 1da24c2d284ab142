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

}  // namespace
}  // namespace ktx
