// Antenna verdicts, the POINT words and the clock registers, without a device.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>

#include "gnss/AntennaCheck.h"
#include "gnss/ClockRegisters.h"
#include "gnss/PointFix.h"

namespace ktx::gnss {
namespace {

int64_t utcMs(int y, unsigned m, unsigned d, int hh, int mm, int ss)
{
    using namespace std::chrono;
    const sys_days day{year{y} / month{m} / std::chrono::day{d}};
    return duration_cast<milliseconds>((day + hours{hh} + minutes{mm} + seconds{ss}).time_since_epoch()).count();
}

TEST(AntennaCheck, VerdictsAtTheThresholdsAndForNegativeReadings)
{
    const struct {
        int32_t reading;
        AntennaState state;
    } cases[] = {
        {0, AntennaState::Short}, {959, AntennaState::Short}, {960, AntennaState::Normal},
        {980, AntennaState::Normal}, {981, AntennaState::Break}, {1022, AntennaState::Break},
        {1023, AntennaState::ModuleOff}, {1024, AntennaState::Break},
        {-1, AntennaState::Break},  // taken as unsigned: far above the band
        {INT32_MIN, AntennaState::Break},
    };
    for (const auto& c : cases)
        EXPECT_EQ(antennaState(c.reading), c.state) << c.reading;

    const AntennaLook open = antennaLook(AntennaState::Break);
    EXPECT_TRUE(open.breakPicture);
    EXPECT_FALSE(open.shortPicture);
    EXPECT_STREQ(open.verdict, "Обрыв кабеля либо антенна не подключена");
    const AntennaLook off = antennaLook(AntennaState::ModuleOff);
    EXPECT_TRUE(off.breakPicture);
    EXPECT_STREQ(off.verdict, "Возможно, модуль GPS не включен");
    const AntennaLook shorted = antennaLook(AntennaState::Short);
    EXPECT_FALSE(shorted.breakPicture);
    EXPECT_TRUE(shorted.shortPicture);
    EXPECT_STREQ(shorted.verdict, "Короткое замыкание в кабеле или антенне");
    const AntennaLook normal = antennaLook(AntennaState::Normal);
    EXPECT_FALSE(normal.breakPicture || normal.shortPicture);
    EXPECT_STREQ(normal.verdict, "Антенна нормально подключена");
}

TEST(AntennaCheck, ReadingNeedsTenIntegers)
{
    EXPECT_EQ(scanAntennaReading("ADD_TEST=1,2,970,4,5,6,7,8,9,10;\r\n"), 970);
    EXPECT_EQ(scanAntennaReading("ADD_TEST=1,2,-1,4,5,6,7,8,9,10,11,12;"), -1);
    EXPECT_EQ(scanAntennaReading("ADD_TEST=1,2,970,4,5,6,7,8;\r\n"), std::nullopt);  // the short status record
    EXPECT_EQ(scanAntennaReading("ADD_TEST=1,2,970,4,5,6,7,8,9"), std::nullopt);
    EXPECT_EQ(scanAntennaReading(""), std::nullopt);
    EXPECT_EQ(scanAntennaReading("TIMER=1,2,3,4,5,6,7,8,9,10"), std::nullopt);
}

TEST(PointFix, WorkedExampleWithGpsReceiver)
{
    const PointWords words = scanPoint("POINT=166113520,550912345,612345667,1;\r\n");
    ASSERT_EQ(words.fields, 4);
    const auto view = positionView(words);
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->valid);
    EXPECT_EQ(view->letter, "A");
    EXPECT_EQ(view->about, "Данные о координатах и времени приняты со спутника и достоверны");
    EXPECT_EQ(view->source, "GPS приемник");
    EXPECT_EQ(view->date, "15.03.2011");
    EXPECT_EQ(view->time, "12:34:56");
    EXPECT_EQ(view->latitude, "55 09,12336 N");  // the low nibble is cleared before the split
    EXPECT_EQ(view->longitude, "61 23,45664 E");  // its low nibble held the year
    EXPECT_EQ(view->mapLink,
        "https://maps.google.com/maps?f=q&source=s_q&hl=ru&geocode=&q=55+09.12336+N,61+23.45664+E");
}

TEST(PointFix, ValidityHemispheresAndReceiverKinds)
{
    // Three words, bit 27 clear: not valid, no receiver kind.
    auto view = positionView(scanPoint("POINT=31895792,550912345,612345667"));
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->valid);
    EXPECT_EQ(view->letter, "V");
    EXPECT_EQ(view->about, "Прием данных со спутника затруднен. Координаты и время могут быть не достоверны");
    EXPECT_EQ(view->source, "Неизвестен");
    EXPECT_EQ(view->date, "15.03.2011");
    EXPECT_EQ(view->time, "12:34:56");

    // The top bit is the hemisphere, not a sign.
    view = positionView(scanPoint("POINT=166113520,-1596571303,-1535137981,0"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->latitude, "55 09,12336 S");
    EXPECT_EQ(view->longitude, "61 23,45664 W");
    EXPECT_EQ(view->date, "15.03.2011");
    EXPECT_EQ(view->source, "ГЛОНАСС приемник");

    // Another kind keeps what the label showed.
    view = positionView(scanPoint("POINT=166113520,550912345,612345667,2"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->source, std::nullopt);

    // Three-digit degrees and the last year the nibble holds.
    view = positionView(scanPoint("POINT=0,0,1795999999"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->longitude, "179 59,99984 E");
    EXPECT_EQ(view->date, "00.00.2023");
    EXPECT_EQ(view->time, "00:00:00");
    EXPECT_TRUE(view->mapLink.ends_with("&q=00+00.00000+N,179+59.99984+E"));
}

TEST(PointFix, FieldsOutOfRangeAreShownUnchecked)
{
    // All time bits set: day 31, month 15, 131071 s past midnight.
    const auto view = positionView(scanPoint("POINT=-1,0,15"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->date, "31.15.2023");
    EXPECT_EQ(view->time, "36:24:31");
    EXPECT_TRUE(view->valid);
}

TEST(PointFix, RepliesWithoutThreeWords)
{
    for (const char* reply : {"", "POINT=", "POINT=1,2", "POINT=1,x,3", "point=1,2,3", "GPS_START=1;"}) {
        const PointWords words = scanPoint(reply);
        EXPECT_LT(words.fields, 3) << reply;
        EXPECT_EQ(positionView(words), std::nullopt) << reply;
    }
}

TEST(ClockRegisters, WorkedExamples)
{
    // Tuesday 15 March 2011, 12:34:56 UTC.
    EXPECT_EQ(timerCommand(encodeClock(utcMs(2011, 3, 15, 12, 34, 56) + 999)), "TIMER=86:52:18:3:21:3:17;");
    const ClockRegisters july = encodeClock(utcMs(2024, 7, 1, 0, 0, 0));
    EXPECT_EQ(july[6], 0x24);
    EXPECT_EQ(july[5], 7);
    const ClockRegisters eve = encodeClock(utcMs(2025, 12, 31, 23, 59, 59));
    EXPECT_EQ(eve[0], 0x59);
    EXPECT_EQ(eve[1], 0x59);
    EXPECT_EQ(eve[2], 0x23);
    EXPECT_EQ(eve[4], 0x31);
    EXPECT_EQ(eve[5], 0x12);
    EXPECT_EQ(encodeClock(utcMs(2026, 12, 6, 8, 0, 0))[3], 1);   // a Sunday
    EXPECT_EQ(encodeClock(utcMs(2026, 12, 12, 8, 0, 0))[3], 7);  // a Saturday
    EXPECT_EQ(encodeClock(utcMs(2100, 3, 1, 0, 0, 0))[5], 0x43);  // first century bit

    const struct {
        const char* reply;
        const char* text;
    } decoded[] = {
        {"TIMER=86:52:18:3:21:3:17;", "15.03.2011 12:34:56 GMT"},
        {"TIMER=86:52:18:7:21:3:17", "15.03.2011 12:34:56 GMT"},  // the weekday plays no part
        {"TIMER=0:0:0:1:1:1:0", "01.01.2000 00:00:00 GMT"},
        {"TIMER=0:0:0:1:1:82:0;", "01.12.2100 00:00:00 GMT"},
        {"TIMER=0:0:0:1:26:1:0;", "20.01.2000 00:00:00 GMT"},  // 0x1A: a units nibble above 9 adds its value
        {"TIMER=255:255:255:255:255:255:255;", "45.25.2465 45:85:85 GMT"},
    };
    for (const auto& c : decoded) {
        const auto registers = scanTimer(c.reply);
        ASSERT_TRUE(registers) << c.reply;
        EXPECT_EQ(clockText(*registers), c.text) << c.reply;
    }
    for (const char* reply : {"", "TIMER=1:2:3:4:5:6", "TIMER=1,2,3,4,5,6,7", "POINT=1:2:3:4:5:6:7"})
        EXPECT_EQ(scanTimer(reply), std::nullopt) << reply;
}

TEST(ClockRegisters, EncodeThenDecodeOverTheWholeRange)
{
    using namespace std::chrono;
    // 1 January 2000 was a Saturday; the weekday register then counts on from 7.
    const sys_days first{year{2000} / January / 1};
    const sys_days last{year{2399} / December / 31};
    int weekday = 7;
    for (sys_days day = first; day <= last; day += days{1}, weekday = weekday % 7 + 1) {
        const int secondOfDay = static_cast<int>((day - first).count() * 7919 % 86400);
        const int64_t ms = duration_cast<milliseconds>((day + seconds{secondOfDay}).time_since_epoch()).count();
        const ClockRegisters r = encodeClock(ms);
        const CivilTime t = decodeClock(r);
        const year_month_day date{day};
        ASSERT_EQ(t.year, static_cast<int>(date.year()));
        ASSERT_EQ(t.month, static_cast<int>(static_cast<unsigned>(date.month())));
        ASSERT_EQ(t.day, static_cast<int>(static_cast<unsigned>(date.day())));
        ASSERT_EQ(t.hours * 3600 + t.minutes * 60 + t.seconds, secondOfDay);
        ASSERT_EQ(r[3], weekday) << static_cast<int>(date.year()) << "-" << static_cast<unsigned>(date.month());
        for (const int32_t value : r)
            ASSERT_TRUE(value >= 0 && value <= 255);
    }
}

}  // namespace
}  // namespace ktx::gnss
