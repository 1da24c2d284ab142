#include <gtest/gtest.h>

#include "io/FrequencyCalc.h"

namespace ktx::io {
namespace {

using Captions = std::array<std::string, 8>;

TEST(FrequencyCalc, FirstTickSetsTheBaselineLaterTicksShowTheRate)
{
    FrequencyCalc calc;
    StatusStamps stamps{5000, 1, 5000, 0, 5000};
    FrequencyTick tick = calc.tick({"1000", "0", "10", "10", "1", "1", "1", "1"}, stamps);
    for (const auto& caption : tick.captions)
        EXPECT_FALSE(caption);
    EXPECT_TRUE(tick.writeLine);  // the stamps moved from 0

    stamps = {15000, 1, 15000, 0, 25000};
    tick = calc.tick({"2000", "0", "510", "9", "5001", "1", "1", "abc"}, stamps);
    EXPECT_EQ(tick.captions[0], "=50.0 Hz");
    EXPECT_FALSE(tick.captions[1]);          // reads 0
    EXPECT_EQ(tick.captions[2], "~25.0 Hz");  // PC clock
    EXPECT_FALSE(tick.captions[3]);          // went backwards
    EXPECT_EQ(tick.captions[4], "=125.0 Hz");
    EXPECT_FALSE(tick.captions[5]);          // stayed still
    EXPECT_FALSE(tick.captions[7]);          // not a number
    EXPECT_TRUE(tick.writeLine);

    // Nothing new: no panel, no line.
    tick = calc.tick({"3000", "0", "510", "9", "5001", "1", "1", "1"}, stamps);
    for (const auto& caption : tick.captions)
        EXPECT_FALSE(caption);
    EXPECT_FALSE(tick.writeLine);
}

TEST(FrequencyCalc, GroupsWaitForTheirOwnStampAndResetForgets)
{
    FrequencyCalc calc;
    EXPECT_FALSE(calc.tick({"1", "1", "1", "1", "1", "1", "1", "1"}, StatusStamps{}).writeLine);  // no poll yet

    calc.tick({"100", "100", "100", "100", "100", "100", "100", "100"}, {1000, 0, 0, 0, 0});
    // T2 arrives only now: its group just sets the baseline; T3 never came.
    FrequencyTick tick = calc.tick({"200", "200", "200", "200", "200", "200", "200", "200"}, {2000, 0, 2000, 1, 0});
    EXPECT_EQ(tick.captions[0], "~50.0 Hz");
    EXPECT_FALSE(tick.captions[2]);
    EXPECT_FALSE(tick.captions[4]);

    calc.reset();
    tick = calc.tick({"300", "300", "300", "300", "300", "300", "300", "300"}, {3000, 0, 3000, 1, 0});
    for (const auto& caption : tick.captions)
        EXPECT_FALSE(caption);
}

TEST(FrequencyCalc, StampThatWentBackwardsGivesNoValue)
{
    FrequencyCalc calc;
    calc.tick({"100", "100", "100", "100", "0", "0", "0", "0"}, {90000, 1, 90000, 1, 0});
    // The device restarted: its clock starts again from a small value.
    const FrequencyTick tick = calc.tick({"200", "200", "200", "200", "0", "0", "0", "0"}, {500, 1, 500, 1, 0});
    for (const auto& caption : tick.captions)
        EXPECT_FALSE(caption);
    EXPECT_TRUE(tick.writeLine);
    // ...and the next interval is measured from the new stamp.
    const FrequencyTick next = calc.tick({"300", "200", "200", "200", "0", "0", "0", "0"}, {10500, 1, 500, 1, 0});
    EXPECT_EQ(next.captions[0], "=5.0 Hz");
}

TEST(FrequencyCalc, ExtremeValuesNeitherOverflowNorCrash)
{
    EXPECT_EQ(frequencyHz(INT32_MAX, INT32_MIN + 1, 2, 1), std::optional<double>(double(UINT32_MAX - 1) * 500.0));
    EXPECT_FALSE(frequencyHz(5, 1, INT32_MIN, INT32_MAX));  // the difference is negative, not wrapped
    EXPECT_EQ(counterValue("12"), 12);
    EXPECT_EQ(counterValue("-3"), -3);
    for (const char* bad : {"", "ждите", "12a", " 12", "99999999999"})
        EXPECT_EQ(counterValue(bad), 0) << bad;
}

TEST(FrequencyCalc, LogLineHoldsTheEightCaptions)
{
    EXPECT_EQ(frequencyLine({"=50.0 Hz", "b", "c", "d", "e", "f", "g", "h"}),
        "F1 =50.0 Hz\tF2 b\tF3 c\tF4 d\tF5 e\tF6 f\tF7 g\tF8 h\r\n");
}

}  // namespace
}  // namespace ktx::io
