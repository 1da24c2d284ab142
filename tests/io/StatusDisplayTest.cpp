#include <gtest/gtest.h>

#include "base/FloatText.h"
#include "io/StatusDisplay.h"

namespace ktx::io {
namespace {

TEST(FloatText, FixedThreeDigitsOneDecimal)
{
    struct Case {
        long double value;
        const char* text;
    };
    const Case cases[] = {
        {12.84L, "12,8"}, {40.4L, "40,4"}, {0, "0,0"}, {3.14159L, "3,1"}, {9.96L, "10,0"},
        {123.4L, "123,0"},  // three significant digits leave no decimal to show
        {99.96L, "100,0"}, {0.04L, "0,0"}, {0.06L, "0,1"}, {-0.01L, "0,0"}, {-12.84L, "-12,8"},
        {1234.0L, "1,23E3"},  // too many integer digits: general notation
        {8.3e9L, "8,3E9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(fixedText(c.value, 3, 1, ","), c.text);
    }
    EXPECT_EQ(fixedText(12.84L, 3, 1, "."), "12.8");
    EXPECT_EQ(fixedText(std::numeric_limits<long double>::infinity(), 3, 1, ","), "INF");
    EXPECT_EQ(fixedText(std::numeric_limits<long double>::quiet_NaN(), 3, 1, ","), "NAN");
}

TEST(FloatText, GeneralFifteenDigits)
{
    struct Case {
        long double value;
        const char* text;
    };
    const Case cases[] = {
        {1280, "1280"}, {1387.5L, "1387,5"}, {0.1L * 3, "0,3"}, {0, "0"}, {-2.5L, "-2,5"},
        {1.0L / 3, "0,333333333333333"}, {1e20L, "1E20"}, {1.5e-7L, "1,5E-7"}, {0.00001L, "0,00001"},
        {123456789012345.0L, "123456789012345"}, {1234567890123456.0L, "1,23456789012346E15"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(generalText(c.value, 15, ","), c.text);
    }
}

TEST(SupplyVolts, PolynomialAndLinearByVersion)
{
    EXPECT_NEAR(double(supplyVolts(555)), 12.8, 0.05);
    EXPECT_NEAR(double(supplyVolts(1023)), 40.4, 0.05);
    EXPECT_EQ(supplyVolts(0), 0);
    // It rises steadily over the whole ADC range.
    for (int x = 1; x <= 1023; ++x)
        ASSERT_GT(supplyVolts(x), supplyVolts(x - 1)) << x;
    EXPECT_EQ(voltText(supplyVoltsForVersion(555, 899), ","), "12,8");
    EXPECT_EQ(voltText(supplyVoltsForVersion(555, 900), ","), "19,4");  // 0.035 V a count
}

TEST(StatusView, PanelsBarsAndInputs)
{
    StatusRecord r;
    r.power = 555;
    r.in1 = 1;
    r.in2 = 0;
    r.ain1 = 100;
    r.ain2 = 200;
    r.count1 = 5;
    r.count2 = 6;
    r.reserve = 700;
    r.in34 = 10;

    const StatusView v = buildStatusView(r, AddTestScan{}, 57, {2.5, 1, 1, 1}, ",");
    EXPECT_EQ(v.voltagePanel, "555 (~12,8 В)");
    EXPECT_EQ(v.ainPanel1, "100 (0,8 В)");
    EXPECT_EQ(v.ainPanel2, "200 (4,7 В)");
    EXPECT_EQ(v.akkPanel, "700 (~" + voltText(supplyVolts(700), ",") + " В)");
    EXPECT_EQ(v.panelRec[0], "1387,5");
    EXPECT_EQ(v.panelRec[3], "700");
    EXPECT_EQ(v.bars, (std::array{555, 100, 200, 700}));
    EXPECT_EQ(v.counters[0], "5");
    EXPECT_EQ(v.counters[1], "6");

    // Inputs 1..4 from in1, in2 and the digits of in34; 0 raises the alarm.
    const char* captions[] = {"1", "0", "0", "1"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(v.inputs[i]);
        EXPECT_EQ(v.inputs[i]->caption, captions[i]);
        EXPECT_EQ(v.inputs[i]->zeroOverlay, captions[i][0] == '0');
        EXPECT_EQ(v.inputs[i]->alarm, captions[i][0] == '0');
    }
    // Without an ADD_TEST reply counters 3..8 and inputs 5..8 stay as shown.
    for (int i = 2; i < 8; ++i)
        EXPECT_FALSE(v.counters[i]);
    for (int i = 4; i < 8; ++i)
        EXPECT_FALSE(v.inputs[i]);
    EXPECT_FALSE(v.longCountersShown);
}

TEST(StatusView, AddTestFormsAndHighInputs)
{
    StatusRecord r;
    r.in5 = 1;
    r.in6 = 0;
    r.in7 = -4;
    r.in8 = 0;
    r.count3 = 33;
    r.count5 = 55;
    AddTestScan shortForm{8, 1, false, 0};
    StatusView v = buildStatusView(r, shortForm, 0, {1, 1, 1, 1}, ",");
    EXPECT_EQ(v.longCountersShown, false);
    EXPECT_EQ(v.counters[2], "33");
    EXPECT_FALSE(v.counters[4]);
    // Inputs 5..8 alarm when they read 1.
    EXPECT_TRUE(v.inputs[4]->alarm);
    EXPECT_FALSE(v.inputs[5]->alarm);
    EXPECT_TRUE(v.inputs[5]->zeroOverlay);
    EXPECT_EQ(v.inputs[6]->caption, "1");

    AddTestScan longForm{8, 1, true, 1};
    v = buildStatusView(r, longForm, 0, {1, 1, 1, 1}, ",");
    EXPECT_EQ(v.longCountersShown, true);
    EXPECT_EQ(v.counters[4], "55");

    // A negative in34 is taken as unsigned, as the inputs byte always was;
    // out-of-range raw values pin the bars to their ends.
    r.in34 = -1;  // 4294967295: input 3 = 5, input 4 = 9
    r.power = 5000;
    r.reserve = -3;
    v = buildStatusView(r, AddTestScan{}, 0, {1, 1, 1, 1}, ",");
    EXPECT_EQ(v.inputs[2]->caption, "1");
    EXPECT_EQ(v.inputs[3]->caption, "1");
    EXPECT_EQ(v.bars[0], 1023);
    EXPECT_EQ(v.bars[3], 0);
    r.in34 = 100;  // hundreds are no input
    v = buildStatusView(r, AddTestScan{}, 0, {1, 1, 1, 1}, ",");
    EXPECT_EQ(v.inputs[2]->caption, "0");
    EXPECT_EQ(v.inputs[3]->caption, "0");
}

}  // namespace
}  // namespace ktx::io
