#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "io/IoFixture.h"
#include "base/FloatText.h"
#include "support/LocaleScope.h"
#include "base/TextCodec.h"
#include "onewire/IdentifierRead.h"
#include "onewire/OneWireReplies.h"
#include "onewire/TemperatureTest.h"

namespace ktx::onewire {
namespace {

using namespace std::string_literals;

struct Bench : ::testing::Test, io::test::IoBench {
    std::vector<std::string> debugUtf8() const
    {
        std::vector<std::string> lines;
        for (const auto& line : log.debug)
            lines.push_back(utf8FromCp1251(line));
        return lines;
    }
};

// "1WIRE=" + eight ROM bytes + ':' + four bytes + ';'
std::string idReply(std::string rom, std::string word = "true")
{
    return "1WIRE=" + rom + ":" + word + ";";
}

TEST(IdentifierReplyTest, SerialBytesBecomeTwelveDigitsOrNc)
{
    struct Case {
        std::string reply;
        IdentifierKind kind;
        std::string text;
    };
    const Case cases[] = {
        {idReply("\x28\xA2\xB3\xC4\xD5\xE6\xF7\x99"), IdentifierKind::Identifier, "a2b3c4d5e6f7"},
        // Zero bytes are digit pairs, not the end of the text.
        {idReply("\x28\x00\x01\x00\x00\x10\x00\x00"s), IdentifierKind::Identifier, "000100001000"},
        // "false;" cut to twenty bytes.
        {idReply("\x28\xA2\xB3\xC4\xD5\xE6\xF7\x99", "fals"), IdentifierKind::Identifier, "NC"},
        {idReply("\x28\xA2\xB3\xC4\xD5\xE6\xF7\x99", "TRUE"), IdentifierKind::Identifier, "NC"},
        {"1WIRX=" + idReply("\x28\xA2\xB3\xC4\xD5\xE6\xF7\x99").substr(6), IdentifierKind::WrongPrefix, ""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.reply.size(), kIdentifierReplyBytes);
        const IdentifierReply parsed = parseIdentifierReply(c.reply);
        EXPECT_EQ(parsed.kind, c.kind) << c.text;
        EXPECT_EQ(parsed.text, c.text);
    }
}

TEST_F(Bench, IdentifierReadRetriesShortRepliesWithTheSameText)
{
    const std::string reply = idReply("\x28\xA2\xB3\xC4\xD5\xE6\xF7\x99");
    driver.scriptRead(reply.substr(0, 19));
    driver.scriptRead(reply.substr(0, 19));
    driver.scriptRead(reply);
    const IdentifierResult result = readIdentifier(context);
    EXPECT_EQ(result.outcome, IdentifierOutcome::Read);
    EXPECT_EQ(result.text, "a2b3c4d5e6f7");
    EXPECT_EQ(driver.writes(), (std::vector<std::string>(3, "G1WIRE$")));
    EXPECT_EQ(driver.countCalls("FT_Purge"), 3);
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);
    EXPECT_TRUE(log.debug.empty());
}

TEST_F(Bench, FiveShortIdentifierRepliesGiveUpAfterAboutOneSecond)
{
    driver.onCommand("G1WIRE$", {std::string(19, 'x')});
    const IdentifierResult result = readIdentifier(context);
    EXPECT_EQ(result.outcome, IdentifierOutcome::SendFailed);
    EXPECT_EQ(driver.writes().size(), 5u);
    EXPECT_EQ(debugUtf8(), std::vector<std::string>{"Ошибка отправки данных устройству"});
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);
    // Each attempt: the 100 ms read timeout, then a 100 ms pause.
    EXPECT_EQ(time.monotonicMs(), 1000);
}

TEST_F(Bench, WrongIdentifierPrefixStopsAtOnceAndClosesTheLink)
{
    driver.onCommand("G1WIRE$", {"TEMPFROMADDR=-17.500"});
    const IdentifierResult result = readIdentifier(context);
    EXPECT_EQ(result.outcome, IdentifierOutcome::WrongPrefix);
    EXPECT_EQ(driver.writes().size(), 1u);
    EXPECT_EQ(debugUtf8(), std::vector<std::string>{"Ошибка считывания ID iButton"});
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);

    driver.failCall("FT_Open");
    EXPECT_EQ(readIdentifier(context).outcome, IdentifierOutcome::OpenFailed);
    EXPECT_EQ(debugUtf8().back(), "Ошибка при открытии порта USB");
}

TEST(TemperatureTextTest, ReplyToLabelScaleAndLogLine)
{
    struct Case {
        const char* reply;
        const char* comma;  // label under a decimal comma
        const char* point;  // label under a decimal point
        int scale;
        const char* logged;
    };
    const Case cases[] = {
        {"TEMPFROMADDR=-17.5000;", "-17,5", "-17.5", 17, "TEMP(0)=-17.500\r\n"},
        {"TEMPFROMADDR=23.8750;", "23,875", "23.875", -23, "TEMP(0)=23.875\r\n"},
        // What single precision makes of 23.9, to fifteen digits.
        {"TEMPFROMADDR=23.9000;", "23,8999996185303", "23.8999996185303", -23, "TEMP(0)=23.900\r\n"},
        {"TEMPFROMADDR=-0.5000;", "-0,5", "-0.5", 0, "TEMP(0)=-0.500\r\n"},
        // Beyond the scale: held at its ends.
        {"TEMPFROMADDR=125.0000;", "125", "125", -110, "TEMP(0)=125.000\r\n"},
        {"TEMPFROMADDR=-300;", "-300", "-300", 55, "TEMP(0)=-300.000\r\n"},
    };
    for (const Case& c : cases) {
        const auto value = parseTemperatureReply(c.reply);
        ASSERT_TRUE(value) << c.reply;
        EXPECT_EQ(temperatureLook(*value, ",").label, c.comma);
        EXPECT_EQ(temperatureLook(*value, ".").label, c.point);
        EXPECT_EQ(temperatureLook(*value, ",").scalePosition, c.scale) << c.reply;
        EXPECT_EQ(temperatureLogFields("0", *value), c.logged);
    }
    for (const char* unreadable : {"TEMPFROMADDR=;", "TEMPFROMADDR=nan;", "TEMPFROMADDR=inf;", "1WIRE=12;", ""})
        EXPECT_FALSE(parseTemperatureReply(unreadable)) << unreadable;
}

// The technician's desktop writes a decimal comma; replies and log lines
// keep their point whatever locale the process runs in.
TEST(TemperatureTextTest, ProcessLocaleDoesNotReachReplyOrLogLine)
{
    test::ProcessLocaleScope russian(test::kRussianProcessLocale);
    ASSERT_TRUE(russian.ok()) << "generate " << test::kRussianProcessLocale << " (scripts/install-deps.sh)";
    const auto cold = parseTemperatureReply("TEMPFROMADDR=-17.5000;");
    ASSERT_TRUE(cold);
    EXPECT_EQ(*cold, -17.5f);
    const auto warm = parseTemperatureReply("TEMPFROMADDR=23.8750;");
    ASSERT_TRUE(warm);
    EXPECT_EQ(temperatureLogFields("0", *warm), "TEMP(0)=23.875\r\n");
    EXPECT_EQ(temperatureLook(*warm, ",").label, "23,875");
    EXPECT_EQ(io::generalText(23.875L, 15, "."), "23.875");
    EXPECT_EQ(io::fixedText(-17.5L, 3, 1, "."), "-17.5");
    EXPECT_EQ(io::generalText(1.5e-7L, 15, "."), "1.5E-7");
}

TEST(TemperatureTextTest, AddressIsCutToTwelveBytes)
{
    EXPECT_EQ(addressForDevice("0123456789abcdef"), "0123456789ab");
    EXPECT_EQ(addressForDevice("0"), "0");
    EXPECT_EQ(addressForDevice("ab\0cd"s), "ab");
}

TEST_F(Bench, TemperaturePollLogsAValidReading)
{
    driver.onCommand("GTEMPFROMADDR=0123456789ab;$", {"TEMPFROMADDR=-17.5000;"});
    TemperatureTest test(context);
    EXPECT_EQ(test.advance(), 1);  // the first tick after start-up serves sensor 2
    const TickResult tick = test.poll("0123456789abcdef");
    EXPECT_EQ(tick.outcome, TickOutcome::Reading);
    EXPECT_FLOAT_EQ(tick.value, -17.5f);
    ASSERT_EQ(log.streams.size(), 1u);
    EXPECT_EQ(log.streams[0].directory, "1WIRE");
    EXPECT_EQ(log.streams[0].stem, "1WIREstream");
    EXPECT_EQ(log.streams[0].fields, "TEMP(0123456789ab)=-17.500\r\n");
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);
}

TEST_F(Bench, TemperaturePollFailures)
{
    TemperatureTest test(context);

    // Replies no longer than the name: five quick attempts, nothing said.
    driver.onCommand("GTEMPFROMADDR=1;$", {"TEMPFROMADDR="});
    EXPECT_EQ(test.poll("1").outcome, TickOutcome::NoReply);
    EXPECT_EQ(driver.writes().size(), 5u);
    EXPECT_TRUE(log.debug.empty());
    EXPECT_EQ(time.monotonicMs(), 500);  // five read timeouts, no pauses

    // Longer replies without a number: a pause after each, then the message.
    driver.clearCalls();
    driver.onCommand("GTEMPFROMADDR=2;$", {"TEMPFROMADDR=CRC ERR;"});
    const int64_t before = time.monotonicMs();
    EXPECT_EQ(test.poll("2").outcome, TickOutcome::Unreadable);
    EXPECT_EQ(driver.writes().size(), 5u);
    EXPECT_EQ(time.monotonicMs() - before, 1000);  // read timeout and pause, five times
    EXPECT_EQ(debugUtf8(), std::vector<std::string>{"Ошибка отправки данных устройству"});
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);

    // The firmware's "no reading": neither logged nor shown.
    driver.onCommand("GTEMPFROMADDR=3;$", {"TEMPFROMADDR=-55.0000;"});
    EXPECT_EQ(test.poll("3").outcome, TickOutcome::NoReading);
    EXPECT_TRUE(log.streams.empty());

    driver.failCall("FT_Open");
    EXPECT_EQ(test.poll("3").outcome, TickOutcome::OpenFailed);
    EXPECT_EQ(debugUtf8().back(), "Ошибка при открытии порта USB");
}

TEST_F(Bench, ShortReplyDoesNotInheritTheTailOfAnEarlierOne)
{
    driver.scriptRead("TEMPFROMADDR=?12345;xx");  // unreadable, 22 bytes
    driver.scriptRead("TEMPFROMADDR=2");          // 14 bytes: reads 2, not 212345
    TemperatureTest test(context);
    const TickResult tick = test.poll("5");
    EXPECT_EQ(tick.outcome, TickOutcome::Reading);
    EXPECT_FLOAT_EQ(tick.value, 2.0f);
}

}  // namespace
}  // namespace ktx::onewire
