#include <gtest/gtest.h>

#include "io/StatusPoll.h"
#include "base/TextCodec.h"
#include "io/IoFixture.h"

namespace ktx::io {
namespace {

using test::IoBench;

struct StatusPollTest : ::testing::Test, IoBench {
    StatusPoll poll{context};
};

TEST_F(StatusPollTest, CommandsCarryOutputStatesAndTheChannelIsClosedOnce)
{
    EXPECT_EQ(deviceTestCommand(true, false), "DEVICE_TEST,1,0$");
    EXPECT_EQ(deviceTestCommand(false, true), "DEVICE_TEST,0,1$");

    answer("DEVICE_TEST,1,0$", "512,1,0,100,200,5,6,700,10,tt=1234\r\n", "ADD_TEST=7,8,0,1,0,0,1,2000;\r\n");
    const PollOutcome outcome = poll.poll(true, false);
    ASSERT_TRUE(outcome.opened);
    EXPECT_EQ(driver.writes(), (std::vector<std::string>{"DEVICE_TEST,1,0$", "ADD_TEST$"}));
    EXPECT_EQ(driver.calls()[2].args, (std::vector<int64_t>{1, 1}));  // fast open
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);
    EXPECT_EQ(driver.callNames().back(), "FT_Close");
    // Every read asks for what is left of the 128 bytes.
    for (const auto& call : driver.calls()) {
        if (call.name == "FT_Read") {
            EXPECT_LE(call.args[0], 128);
        }
    }

    const StatusRecord& r = poll.record();
    EXPECT_EQ(r.power, 512);
    EXPECT_EQ(r.count2, 6);
    EXPECT_EQ(r.count3, 7);
    EXPECT_EQ(r.in8, 1);
    EXPECT_EQ(poll.stamps().t1, 1234);
    EXPECT_EQ(poll.stamps().flag1, 1);
    EXPECT_EQ(poll.stamps().t2, 2000);
    EXPECT_EQ(poll.stamps().flag2, 1);
    EXPECT_EQ(poll.stamps().t3, 0);  // short ADD_TEST: no third stamp

    ASSERT_EQ(log.streams.size(), 2u);
    EXPECT_EQ(log.streams[0].directory, "AIN");
    EXPECT_EQ(log.streams[0].stem, "AINstream");
    EXPECT_EQ(log.streams[0].fields, "AIN1= 100\tAIN2= 200\tPOWER= 512\tRESERV= 700\r\n");
    EXPECT_EQ(log.streams[1].directory, "COUNT");
    EXPECT_EQ(log.streams[1].stem, "COUNTstream");
    EXPECT_EQ(log.streams[1].fields,
        "COUNT1=   5\tCOUNT2=   6\tCOUNT3=   7\tCOUNT4=   8\tCOUNT5=   0\tCOUNT6=   0\tCOUNT7=   0\tCOUNT8=   0\r\n");
}

TEST_F(StatusPollTest, SilentDeviceKeepsTheRecordAndStampsThePcClock)
{
    answer("DEVICE_TEST,0,0$", "512,1,0,100,200,5,6,700,10\r\n", "ADD_TEST=7,8,0,1,0,0,1,0,11,12,13,14;\r\n");
    time.advanceMs(777);
    poll.poll(false, false);
    // No "tt=": the PC clock at the time of the reply, flag 0; a time field
    // of 0 in ADD_TEST does the same for T2, and gives no T3.
    EXPECT_EQ(poll.stamps().flag1, 0);
    EXPECT_GE(poll.stamps().t1, 777);
    EXPECT_EQ(poll.stamps().flag2, 0);
    EXPECT_GE(poll.stamps().t2, poll.stamps().t1);
    EXPECT_EQ(poll.stamps().t3, 0);
    EXPECT_EQ(poll.record().count8, 14);

    const StatusRecord before = poll.record();
    const StatusStamps stampsBefore = poll.stamps();
    log.streams.clear();
    driver.clearCalls();
    driver.onCommand("DEVICE_TEST,0,0$", {});
    driver.onCommand("ADD_TEST$", {});
    const int64_t started = time.monotonicUs();
    const PollOutcome outcome = poll.poll(false, false);  // nothing answers now
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.addTest.fields, 0);
    EXPECT_EQ(before, poll.record());
    EXPECT_GT(poll.stamps().t1, stampsBefore.t1);  // the PC clock again
    EXPECT_EQ(poll.stamps().t2, stampsBefore.t2);  // no ADD_TEST reply: T2 stays
    // Both exchanges gave up after their budget of 100 empty 1 ms reads.
    EXPECT_EQ(driver.readCount(), 200);
    EXPECT_LE(time.monotonicUs() - started, 250'000);
    // The lines are still written, with the old values.
    ASSERT_EQ(log.streams.size(), 2u);
    EXPECT_EQ(log.streams[0].fields, "AIN1= 100\tAIN2= 200\tPOWER= 512\tRESERV= 700\r\n");
}

TEST_F(StatusPollTest, RepliesInPiecesAndOverlongRepliesStayInTheBuffer)
{
    driver.onCommand("DEVICE_TEST,0,0$", {"512,1,0,", "", "100,200,5,6,700,10,tt=99\r\n"});
    driver.onCommand("ADD_TEST$", {"ADD_TEST=" + std::string(200, '1')});
    poll.poll(false, false);
    EXPECT_EQ(poll.record().ain2, 200);
    EXPECT_EQ(poll.stamps().t1, 99);
    // 128 bytes of digits: one number that does not fit an int, no crash.
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);
}

TEST_F(StatusPollTest, OpenFailureWritesTheMessageAndSendsNothing)
{
    driver.failCall("FT_Open", FT_DEVICE_NOT_FOUND);
    const PollOutcome outcome = poll.poll(true, true);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(log.debug, std::vector<std::string>{cp1251FromUtf8("Устройство не подключено")});
    EXPECT_EQ(driver.countCalls("FT_Write"), 0);
    EXPECT_EQ(driver.countCalls("FT_Close"), 0);
    EXPECT_TRUE(log.streams.empty());
}

}  // namespace
}  // namespace ktx::io
