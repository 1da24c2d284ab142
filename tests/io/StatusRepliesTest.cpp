#include <gtest/gtest.h>

#include "io/StatusReplies.h"

namespace ktx::io {
namespace {

StatusRecord filledRecord()
{
    StatusRecord r;
    r.power = r.in1 = r.in2 = r.ain1 = r.ain2 = r.count1 = r.count2 = r.reserve = r.in34 = -7;
    r.count3 = r.count4 = r.in5 = r.in6 = r.in7 = r.in8 = r.count5 = r.count6 = r.count7 = r.count8 = -7;
    return r;
}

TEST(DeviceTestReply, FieldsThatConvertOverwriteTheRestStay)
{
    struct Case {
        const char* reply;
        StatusRecord expected;  // built from -7 with the converted fields set
        std::optional<int32_t> stamp;
    };
    auto with = [](std::initializer_list<int32_t> values) {
        StatusRecord r = filledRecord();
        int32_t* fields[] = {&r.power, &r.in1, &r.in2, &r.ain1, &r.ain2, &r.count1, &r.count2, &r.reserve, &r.in34};
        size_t i = 0;
        for (int32_t v : values)
            *fields[i++] = v;
        return r;
    };
    const Case cases[] = {
        {"512,1,0,100,200,5,6,700,10,tt=1234\r\n", with({512, 1, 0, 100, 200, 5, 6, 700, 10}), 1234},
        {"512,1,0,100,200,5,6,700,10\r\n", with({512, 1, 0, 100, 200, 5, 6, 700, 10}), std::nullopt},
        {"512,1,0,100,200,5,6,700,10,tt=0", with({512, 1, 0, 100, 200, 5, 6, 700, 10}), std::nullopt},
        {"512,1,0,100,200,5,6,700,10,tt=-5", with({512, 1, 0, 100, 200, 5, 6, 700, 10}), std::nullopt},
        {"512,1,0,100", with({512, 1, 0, 100}), std::nullopt},   // cut short: the tail keeps old values
        {"512,1,x,100", with({512, 1}), std::nullopt},           // stops at the first bad field
        {"", with({}), std::nullopt},                             // no reply at all
        {"ADD_TEST=1,2,3", with({}), std::nullopt},              // the other reply
        {"1,2,3,4,5,6,7,8,9,10", with({1, 2, 3, 4, 5, 6, 7, 8, 9}), std::nullopt},  // tenth without "tt="
        {" -3, +4,0,0,0,0,0,0,0,tt= 99", with({-3, 4, 0, 0, 0, 0, 0, 0, 0}), 99},   // scanf skips blanks before numbers
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        StatusRecord r = filledRecord();
        scanDeviceTest(c.reply, r);
        EXPECT_EQ(r, c.expected);
        EXPECT_EQ(deviceTestStamp(c.reply), c.stamp);
    }
}

TEST(AddTestReply, ShortAndLongFormsAndPartialReplies)
{
    StatusRecord r = filledRecord();
    AddTestScan s = scanAddTest("ADD_TEST=11,12,99,1,0,1,0,4321;\r\n", r);
    EXPECT_EQ(s.fields, 8);
    EXPECT_FALSE(s.longForm);
    EXPECT_EQ(s.time, 4321);
    EXPECT_EQ(r.count3, 11);
    EXPECT_EQ(r.count4, 12);
    EXPECT_EQ((std::array{r.in5, r.in6, r.in7, r.in8}), (std::array{1, 0, 1, 0}));
    EXPECT_EQ((std::array{r.count5, r.count6, r.count7, r.count8}), (std::array{-7, -7, -7, -7}));

    r = filledRecord();
    s = scanAddTest("ADD_TEST=11,12,99,1,0,1,0,4321,55,56,57,58;\r\n", r);
    EXPECT_EQ(s.fields, 8);
    EXPECT_TRUE(s.longForm);
    EXPECT_EQ(s.longTime, 4321);
    EXPECT_EQ((std::array{r.count5, r.count6, r.count7, r.count8}), (std::array{55, 56, 57, 58}));

    // Ten fields: not the long form, yet the two counters that converted are
    // taken, as the scan writes them in place.
    r = filledRecord();
    s = scanAddTest("ADD_TEST=11,12,99,1,0,1,0,4321,55,56;", r);
    EXPECT_FALSE(s.longForm);
    EXPECT_EQ((std::array{r.count5, r.count6, r.count7, r.count8}), (std::array{55, 56, -7, -7}));

    // Fewer than 8: the fields that converted keep their new values.
    r = filledRecord();
    s = scanAddTest("ADD_TEST=11,12,99,1", r);
    EXPECT_EQ(s.fields, 4);
    EXPECT_EQ(r.count3, 11);
    EXPECT_EQ(r.in5, 1);
    EXPECT_EQ(r.in6, -7);

    for (const char* nothing : {"", "ADD_TEST=", "TIMER=1,2", "add_test=1,2,3,4,5,6,7,8"}) {
        SCOPED_TRACE(nothing);
        const StatusRecord before = filledRecord();
        r = before;
        s = scanAddTest(nothing, r);
        EXPECT_EQ(s.fields, 0);
        EXPECT_EQ(r, before);
    }
}

}  // namespace
}  // namespace ktx::io
