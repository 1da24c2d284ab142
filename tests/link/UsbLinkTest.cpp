#include <gtest/gtest.h>

#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "support/ScriptedDriver.h"

namespace ktx {
namespace {

using test::ScriptedDriver;

struct LinkFixture : ::testing::Test {
    VirtualTimeSource time;
    ScriptedDriver driver{&time};
    UsbLink link{driver, time};
};

TEST_F(LinkFixture, OpenConfiguresTheDeviceInOrder)
{
    ASSERT_TRUE(link.OpenLink(true));
    const std::vector<std::string> expected = {"FT_Open", "FT_SetBaudRate", "FT_SetTimeouts",
        "FT_SetDataCharacteristics", "FT_SetFlowControl", "FT_SetLatencyTimer"};
    EXPECT_EQ(driver.callNames(), expected);
    const auto& calls = driver.calls();
    EXPECT_EQ(calls[1].args, (std::vector<int64_t>{115200}));
    EXPECT_EQ(calls[2].args, (std::vector<int64_t>{1, 1}));
    EXPECT_EQ(calls[3].args, (std::vector<int64_t>{8, 0, 0}));
    EXPECT_EQ(calls[4].args, (std::vector<int64_t>{0, 0, 0}));
    EXPECT_EQ(calls[5].args, (std::vector<int64_t>{1}));

    driver.clearCalls();
    ASSERT_TRUE(link.OpenLink(false));
    EXPECT_EQ(driver.calls()[2].args, (std::vector<int64_t>{100, 100}));
}

TEST_F(LinkFixture, FailedOpenClosesNothing)
{
    driver.failCall("FT_Open", FT_DEVICE_NOT_FOUND);
    EXPECT_FALSE(link.OpenLink(true));
    EXPECT_EQ(driver.callNames(), std::vector<std::string>{"FT_Open"});
}

TEST_F(LinkFixture, RefusedSettingResetsAndClosesOnce)
{
    for (const char* refused : {"FT_SetBaudRate", "FT_SetTimeouts", "FT_SetDataCharacteristics", "FT_SetFlowControl",
             "FT_SetLatencyTimer"}) {
        SCOPED_TRACE(refused);
        ScriptedDriver failing;
        failing.failCall(refused);
        UsbLink failingLink(failing, time);
        EXPECT_FALSE(failingLink.OpenLink(false));
        EXPECT_EQ(failing.countCalls("FT_ResetDevice"), 1);
        EXPECT_EQ(failing.countCalls("FT_Close"), 1);
        EXPECT_EQ(failing.callNames().back(), "FT_Close");
        // Nothing after the refused setting is tried.
        EXPECT_EQ(failing.callNames()[failing.callNames().size() - 3], refused);
    }
}

TEST_F(LinkFixture, OpensTheChosenDevice)
{
    link.setDeviceIndex(2);
    ASSERT_TRUE(link.OpenLink(true));
    EXPECT_EQ(driver.calls()[0].args, std::vector<int64_t>{2});
}

TEST_F(LinkFixture, AwaitReplyStopsAfterTheChunkHoldingATerminator)
{
    ASSERT_TRUE(link.OpenLink(true));
    driver.scriptRead("abc;efg");
    ReplyBuffer<128> buffer;
    link.AwaitReply(buffer.data(), 128, 100);
    EXPECT_EQ(driver.readCount(), 1);
    EXPECT_EQ(link.transferred(), 7u);
    EXPECT_STREQ(buffer.c_str(), "abc;efg");
}

TEST_F(LinkFixture, AwaitReplyCollectsChunksUntilLineFeed)
{
    ASSERT_TRUE(link.OpenLink(true));
    driver.scriptRead("512,1,0,");
    driver.scriptEmptyReads(3);
    driver.scriptRead("100,200\r\n");
    driver.scriptRead("late");
    ReplyBuffer<128> buffer;
    link.AwaitReply(buffer.data(), 128, 100);
    EXPECT_EQ(driver.readCount(), 5);
    EXPECT_EQ(link.ReadBudget, 97u);
    EXPECT_STREQ(buffer.c_str(), "512,1,0,100,200\r\n");
}

TEST_F(LinkFixture, AwaitReplyOnSilenceSpendsItsBudget)
{
    struct Case {
        uint32_t budget;
        int reads;
    };
    for (const Case c : {Case{100, 100}, Case{1, 1}, Case{0, 1}}) {
        SCOPED_TRACE(c.budget);
        driver.clearCalls();
        ASSERT_TRUE(link.OpenLink(true));
        driver.clearCalls();
        const int64_t before = time.monotonicMs();
        ReplyBuffer<128> buffer;
        link.AwaitReply(buffer.data(), 128, c.budget);
        EXPECT_EQ(driver.readCount(), c.reads);
        EXPECT_EQ(link.transferred(), 0u);
        EXPECT_EQ(link.ReadBudget, 0u);
        // Each empty read waits out the 1 ms timeout of the fast open.
        EXPECT_EQ(time.monotonicMs() - before, c.reads);
    }
}

TEST_F(LinkFixture, AwaitReplyWithoutTerminatorEndsAtN)
{
    ASSERT_TRUE(link.OpenLink(true));
    for (int i = 0; i < 50; ++i)
        driver.scriptRead(std::string(10, 'x'));
    ReplyBuffer<128> buffer;
    link.AwaitReply(buffer.data(), 128, 100);
    EXPECT_EQ(link.transferred(), 128u);
    EXPECT_EQ(driver.readCount(), 13);
    // The byte behind n stays zero: the reply is always a terminated string.
    EXPECT_EQ(std::string(buffer.c_str()).size(), 128u);
}

TEST_F(LinkFixture, SendPurgesAStaleReplyFirst)
{
    ASSERT_TRUE(link.OpenLink(false));
    driver.queueReceived("TIMER=1:2:3;");  // answer to an earlier, unread exchange
    driver.onCommand("GPOINT$", {"POINT=1,2,3;"});
    link.SendCommand("GPOINT$");
    ReplyBuffer<127> buffer;
    link.ReadReply(buffer.data(), 127);
    EXPECT_STREQ(buffer.c_str(), "POINT=1,2,3;");
    const auto names = driver.callNames();
    EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
        (std::vector<std::string>{"FT_Purge", "FT_Write", "FT_Read"}));
    EXPECT_EQ(driver.calls()[names.size() - 3].args, std::vector<int64_t>{3});
}

TEST_F(LinkFixture, WriteCommandRepeatsThePendingText)
{
    ASSERT_TRUE(link.OpenLink(false));
    link.FormatCommand("GTEMPFROMADDR=%s;$", "28FF01");
    EXPECT_EQ(driver.countCalls("FT_Write"), 0);  // formatting alone sends nothing
    link.PurgeLink();
    link.WriteCommand();
    link.WriteCommand();
    EXPECT_EQ(driver.writes(), (std::vector<std::string>{"GTEMPFROMADDR=28FF01;$", "GTEMPFROMADDR=28FF01;$"}));
    EXPECT_EQ(link.transferred(), 22u);

    link.SendCommand("");
    EXPECT_EQ(driver.writes().back(), "");
    EXPECT_EQ(link.transferred(), 0u);
}

TEST_F(LinkFixture, CloseResetsThenClosesWhateverFails)
{
    ASSERT_TRUE(link.OpenLink(true));
    driver.failCall("FT_ResetDevice");
    driver.clearCalls();
    link.CloseLink();
    EXPECT_EQ(driver.callNames(), (std::vector<std::string>{"FT_ResetDevice", "FT_Close"}));
}

}  // namespace
}  // namespace ktx
