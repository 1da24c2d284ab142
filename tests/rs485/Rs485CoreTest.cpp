#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "io/IoFixture.h"
#include "base/TextCodec.h"
#include "rs485/Crc8.h"
#include "rs485/ExtenderFrame.h"
#include "rs485/ExtenderPoll.h"
#include "rs485/FuelSensors.h"
#include "link/UsbAccess.h"

namespace ktx::rs485 {
namespace {

std::vector<std::string> utf8Lines(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    for (const auto& line : lines)
        out.push_back(utf8FromCp1251(line));
    return out;
}

TEST(Crc8Test, KnownVectors)
{
    struct Case {
        std::vector<uint8_t> bytes;
        uint8_t crc;
    };
    const Case cases[] = {
        {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0xA1},  // the check value
        {{0x31, 0xFD, 0x05, 0x00}, 0xA5},                        // the request
        {{0x3E, 0xFD, 0x07, 0x00, 0xFF, 0x00}, 0xB3},
        {{0x3E, 0xFD, 0x07, 0x00, 0xFE, 0x01}, 0x29},
        // A 1-Wire ROM code with its CRC byte checks to zero.
        {{0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xA2}, 0x00},
        {{}, 0x00},
    };
    for (const Case& c : cases)
        EXPECT_EQ(crc8(c.bytes), c.crc);
}

TEST(ExtenderFrameTest, RequestCommandIsFixed)
{
    EXPECT_EQ(extenderCommand(), "S485=5:7:50:19200:31FD0500A5;");
}

TEST(ExtenderFrameTest, AnswersAreCheckedInOrder)
{
    struct Case {
        const char* reply;
        AnswerCheck check;
        std::string logged;  // for accepted answers
    };
    const Case cases[] = {
        {"S485=7:3EFD0700FF00B3;", AnswerCheck::Accepted, "P:FF (00000000) M:00 (00000000)\r\n"},
        {"S485=7:3EFD0700FE0129;", AnswerCheck::Accepted, "P:FE (10000000) M:01 (10000000)\r\n"},
        {"S485=7:3efd0700fe0129", AnswerCheck::Accepted, "P:FE (10000000) M:01 (10000000)\r\n"},  // no ';' needed
        {"S485=7:3EFD0700FF0000;", AnswerCheck::CrcMismatch, ""},
        {"S485=7:3FFD0700FF0084;", AnswerCheck::UnknownHeader, ""},  // CRC right, first byte 3F
        {"S485=7:3EFD07;", AnswerCheck::Unparsed, ""},
        {"S485=5:3EFD0700FF00B3;", AnswerCheck::Unparsed, ""},
        {"S485=7:-EFD0700FF00B3;", AnswerCheck::Unparsed, ""},
        {"", AnswerCheck::Unparsed, ""},
    };
    for (const Case& c : cases) {
        const ExtenderAnswer answer = parseExtenderAnswer(c.reply);
        EXPECT_EQ(answer.check, c.check) << c.reply;
        if (c.check == AnswerCheck::Accepted) {
            EXPECT_EQ(extenderLogFields(answer.p(), answer.m()), c.logged) << c.reply;
        }
    }
    const ExtenderAnswer bad = parseExtenderAnswer("S485=7:3EFD0700FF0000;");
    EXPECT_EQ(bad.bytes[6], 0);
    EXPECT_EQ(bad.computedCrc, 179);
}

TEST(ExtenderFrameTest, InputSenseDiffersBetweenTheGroups)
{
    const auto states = extenderInputStates(0xA5, 0x3C);
    // P = 1010 0101: inputs 9..16 read 1 where the bit is 0.
    const std::array<bool, 16> expected{false, true, false, true, true, false, true, false,
        false, false, true, true, true, true, false, false};
    EXPECT_EQ(states, expected);
    EXPECT_EQ(extenderLogFields(0xA5, 0x3C), "P:A5 (01011010) M:3C (00111100)\r\n");
}

struct ExtenderPollTest : ::testing::Test, io::test::IoBench {};

TEST_F(ExtenderPollTest, AcceptedAnswerIsLoggedAndShown)
{
    driver.onCommand("S485=5:7:50:19200:31FD0500A5;", {"S485=7:3EFD0700FE0129;"});
    const ExtenderOutcome outcome = pollExtender(context);
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.command, "S485=5:7:50:19200:31FD0500A5;");
    EXPECT_EQ(outcome.reply, "S485=7:3EFD0700FE0129;");
    ASSERT_TRUE(outcome.states);
    EXPECT_TRUE((*outcome.states)[0]);
    EXPECT_TRUE((*outcome.states)[8]);
    ASSERT_EQ(log.streams.size(), 1u);
    EXPECT_EQ(log.streams[0].directory, "485");
    EXPECT_EQ(log.streams[0].stem, "485rash");
    EXPECT_EQ(log.streams[0].fields, "P:FE (10000000) M:01 (10000000)\r\n");
    EXPECT_TRUE(log.rs485.empty());
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);
    // The 55 ms wait, then one read that times out on the short reply.
    EXPECT_EQ(time.monotonicMs(), 155);
}

TEST_F(ExtenderPollTest, RefusedAnswersSayWhy)
{
    struct Case {
        const char* reply;
        const char* message;
    };
    const Case cases[] = {
        {"S485=7:3EFD0700FF0000;", "Ошибка CRC (0 != 179"},
        {"S485=7:3FFD0700FF0084;", "Неизвестные параметры ответа: S485=7:3FFD0700FF0084;"},
        {"S485=7:3EFD07;", "Ошибка в разборе ответа: S485=7:3EFD07;"},
    };
    for (const Case& c : cases) {
        log.rs485.clear();
        driver.onCommand("S485=5:7:50:19200:31FD0500A5;", {c.reply});
        const ExtenderOutcome outcome = pollExtender(context);
        EXPECT_FALSE(outcome.states) << c.reply;
        EXPECT_EQ(utf8Lines(log.rs485), std::vector<std::string>{c.message});
    }
    EXPECT_TRUE(log.streams.empty());

    // No answer at all: nothing to say.
    log.rs485.clear();
    driver.onCommand("S485=5:7:50:19200:31FD0500A5;", {});
    EXPECT_TRUE(pollExtender(context).opened);
    EXPECT_TRUE(log.rs485.empty());

    driver.failCall("FT_Open");
    EXPECT_FALSE(pollExtender(context).opened);
    EXPECT_EQ(utf8Lines(log.rs485), std::vector<std::string>{"Ошибка открытия порта USB"});
}

TEST(FuelSensorsTest, CommandCarriesTheAddressesAsTyped)
{
    FuelAddresses addresses{"1", "2", "3", "4", "5", "6", "7", "8"};
    EXPECT_EQ(fuelCommand(addresses), "LLSTEST=1,2,3,4,5,6,7,8;$");
    addresses[1].clear();
    EXPECT_EQ(fuelCommand(addresses), "LLSTEST=1,,3,4,5,6,7,8;$");
}

TEST(FuelSensorsTest, ReplyNeedsAllSixteenIntegers)
{
    const auto readings = parseFuelReply("LLSTEST=100,20:200,21:300,22:400,23:500,24:600,25:700,26:800,27;");
    ASSERT_TRUE(readings);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ((*readings)[static_cast<size_t>(k)].level, 100 * (k + 1));
        EXPECT_EQ((*readings)[static_cast<size_t>(k)].temperature, 20 + k);
    }
    const FuelAddresses addresses{"1", "", "3", "4", "5", "6", "7", "8"};
    EXPECT_EQ(fuelLogFields(addresses, *readings),
        "1(100)\t(200)\t3(300)\t4(400)\t5(500)\t6(600)\t7(700)\t8(800)\r\n");

    // Blanks before numbers, signs, anything after the sixteenth, 32-bit limits.
    const auto odd = parseFuelReply("LLSTEST= -1, +5:2,3:4,5:6,7:8,9:10,11:12,13:99999999999,-99999999999xyz");
    ASSERT_TRUE(odd);
    EXPECT_EQ((*odd)[0].level, -1);
    EXPECT_EQ((*odd)[0].temperature, 5);
    EXPECT_EQ((*odd)[7].level, 2147483647);
    EXPECT_EQ((*odd)[7].temperature, -2147483647 - 1);

    for (const char* partial : {"LLSTEST=100,20:200,21:300,22:400,23:500,24:600,25:700,26:800",
             "LLSTEST=100,20;200,21:300,22:400,23:500,24:600,25:700,26:800,27", "ADD_TEST=1,2", "LLSTEST=", ""})
        EXPECT_FALSE(parseFuelReply(partial)) << partial;
}

TEST(FuelSensorsTest, BarHoldsLevelsWithinItsRange)
{
    EXPECT_EQ(levelBarPosition(5000), 4095);
    EXPECT_EQ(levelBarPosition(-1), 0);
    EXPECT_EQ(levelBarPosition(1234), 1234);
}

TEST(FuelSensorsTest, AdvancedAddress)
{
    struct Case {
        const char* text;
        std::optional<std::string> advanced;
    };
    const Case cases[] = {{"1", "9"}, {"16", "24"}, {" 7 ", "15"}, {"-10", "-2"}, {"+3", "11"},
        {"2147483647", "2147483655"}, {"", std::nullopt}, {"abc", std::nullopt}, {"1.5", std::nullopt},
        {"0x10", std::nullopt}, {"2147483648", std::nullopt}, {"+-3", std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(advancedAddress(c.text), c.advanced) << c.text;
}

struct FuelPollTest : ::testing::Test, io::test::IoBench {};

TEST_F(FuelPollTest, CompleteReplyIsLoggedShortOneIsNot)
{
    const FuelAddresses addresses{"1", "2", "3", "4", "5", "6", "7", "8"};
    driver.onCommand("LLSTEST=1,2,3,4,5,6,7,8;$", {"LLSTEST=1,2:3,4:5,6:7,8:9,10:11,12:13,14:15,16;"});
    FuelOutcome outcome = pollFuelSensors(context, addresses);
    EXPECT_TRUE(outcome.opened);
    ASSERT_TRUE(outcome.readings);
    ASSERT_EQ(log.streams.size(), 1u);
    EXPECT_EQ(log.streams[0].stem, "485stream");
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);

    driver.onCommand("LLSTEST=1,2,3,4,5,6,7,8;$", {"LLSTEST=1,2:3,4:5,6:7,8:9,10:11,12:13,14:15;"});
    outcome = pollFuelSensors(context, addresses);
    EXPECT_FALSE(outcome.readings);
    EXPECT_EQ(log.streams.size(), 1u);
    EXPECT_TRUE(log.debug.empty());

    driver.failCall("FT_Open");
    EXPECT_FALSE(pollFuelSensors(context, addresses).opened);
    EXPECT_EQ(utf8Lines(log.debug), std::vector<std::string>{"Устройство не подключено"});
}

// A tracker the system won't let the console open: each 485 poll says why
// and what to do (the fuel poll in the debug console, the extender poll in
// its own console too), whichever of them meets it first.
TEST(Rs485AccessTest, EachPollSaysTheUsbPermissionProblem)
{
    const std::string explanation = utf8FromCp1251(usbAccessDeniedText());
    const FuelAddresses addresses{"1", "2", "3", "4", "5", "6", "7", "8"};
    struct Case {
        const char* poll;
        std::function<bool(AppContext&)> opened;
        std::vector<std::string> ktx::test::RecordingSink::*console;
    };
    const Case cases[] = {
        {"fuel", [&](AppContext& context) { return pollFuelSensors(context, addresses).opened; },
            &ktx::test::RecordingSink::debug},
        {"extender", [](AppContext& context) { return pollExtender(context).opened; }, &ktx::test::RecordingSink::debug},
        {"extender", [](AppContext& context) { return pollExtender(context).opened; }, &ktx::test::RecordingSink::rs485},
    };
    for (const Case& c : cases) {
        io::test::IoBench bench;
        bench.driver.denyAccess("LIBUSB_ERROR_ACCESS");
        EXPECT_FALSE(c.opened(bench.context)) << c.poll;
        const std::vector<std::string> said = utf8Lines(bench.log.*c.console);
        EXPECT_NE(std::find(said.begin(), said.end(), explanation), said.end()) << c.poll << ": " << testing::PrintToString(said);
    }
}

}  // namespace
}  // namespace ktx::rs485
