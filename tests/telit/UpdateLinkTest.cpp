#include <gtest/gtest.h>

#include <algorithm>

#include "FirmwareBuilder.h"
#include "TelitBench.h"
#include "link/ReplyBuffer.h"
#include "support/ScriptedDriver.h"
#include "telit/RawBlock.h"

namespace ktx::telit::test {
namespace {

using ktx::test::ScriptedDriver;

TEST(UpdateLink, OpensAtOneMegabaudWithOneMillisecondReads)
{
    VirtualTimeSource time;
    ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    ASSERT_TRUE(link.OpenUpdateLink());
    const std::vector<std::string> expected = {"FT_Open", "FT_SetDivisor", "FT_SetTimeouts",
        "FT_SetDataCharacteristics", "FT_SetFlowControl", "FT_SetLatencyTimer"};
    EXPECT_EQ(driver.callNames(), expected);
    const auto& calls = driver.calls();
    EXPECT_EQ(calls[1].args, (std::vector<int64_t>{3}));
    EXPECT_EQ(calls[2].args, (std::vector<int64_t>{1, 0}));
    EXPECT_EQ(calls[3].args, (std::vector<int64_t>{8, 0, 0}));
    EXPECT_EQ(calls[4].args, (std::vector<int64_t>{0, 0, 0}));
    EXPECT_EQ(calls[5].args, (std::vector<int64_t>{1}));

    for (const char* refused : {"FT_SetDivisor", "FT_SetLatencyTimer"}) {
        ScriptedDriver failing;
        failing.failCall(refused);
        UsbLink failingLink(failing, time);
        EXPECT_FALSE(failingLink.OpenUpdateLink()) << refused;
        EXPECT_EQ(failing.countCalls("FT_ResetDevice"), 1) << refused;
        EXPECT_EQ(failing.callNames().back(), "FT_Close") << refused;
    }
    ScriptedDriver absent;
    absent.failCall("FT_Open", FT_DEVICE_NOT_FOUND);
    UsbLink absentLink(absent, time);
    EXPECT_FALSE(absentLink.OpenUpdateLink());
    EXPECT_EQ(absent.callNames(), std::vector<std::string>{"FT_Open"});
}

TEST(UpdateLink, EachBlockIsOneWriteOfItsExactBytesBetweenPurges)
{
    UpdateBench bench;
    ScriptedDriver driver{&bench.time};
    UsbLink link{driver, bench.time};
    AppContext context{link, bench.time, bench.log, bench.device};
    FirmwareBuilder firmware;
    firmware.record(payloadOf(581));
    std::string full, rest;
    RawBlock::frame(0, std::string_view(firmware.payloads[0]).substr(0, 580), full);
    RawBlock::frame(1, std::string_view(firmware.payloads[0]).substr(580), rest);
    driver.onCommand("WORKGSM=1;$", {"WORKGSM=1;"});
    driver.onCommand("TELITENTER;$", {"TELITENTER=1;"});
    driver.onCommand(full, {"ok;"});
    driver.onCommand(rest, {"ok;"});
    driver.onCommand("GSMWAIT", {"GSMWAIT=1;"});
    firmware.writeTo(bench.dir.path / "fw.bin");

    FirmwareUpdate update(context, bench.view, bench.dir.path.string());
    ASSERT_EQ(update.run(bench.dir.file("fw.bin")), UpdateOutcome::Done);
    EXPECT_EQ(driver.writes(), (std::vector<std::string>{"WORKGSM=1;$", "TELITENTER;$", full, rest, "GSMWAIT"}));
    // Both buffers are purged before each block and after a full block's reply.
    std::vector<std::string> order;
    for (const auto& call : driver.calls()) {
        if (call.name == "FT_Write")
            order.push_back(call.bytes == full ? "full" : call.bytes == rest ? "rest" : call.bytes);
        else if (call.name == "FT_Purge")
            order.push_back("purge");
    }
    const auto first = std::find(order.begin(), order.end(), "full");
    ASSERT_NE(first, order.begin());
    EXPECT_EQ(std::vector<std::string>(first - 1, order.end()),
              (std::vector<std::string>{"purge", "full", "purge", "purge", "rest", "purge", "GSMWAIT"}));
    EXPECT_EQ(bench.view.powerOffs, 1);
}

}  // namespace
}  // namespace ktx::telit::test

namespace ktx::telit::test {
namespace {

TEST(UpdateLink, SimulatedBlocksTakeTheirTimeOnTheWire)
{
    VirtualTimeSource time;
    sim::Scenario scenario = sim::defaultScenario();
    scenario.latencyMs = 0;
    scenario.telit.enterDelayMs = 0;
    scenario.telit.ackDelayMs = 1;
    sim::SimDriver driver(time, scenario);
    UsbLink link(driver, time);
    ASSERT_TRUE(link.OpenUpdateLink());
    ReplyBuffer<999> reply;
    link.SendCommand("TELITENTER;$");
    link.AwaitReply(reply.data(), reply.capacity(), 100);
    ASSERT_STREQ(reply.c_str(), "TELITENTER=1;");

    std::string frame;
    RawBlock::frame(0, payloadOf(580), frame);
    uint32_t written = 0;
    const int64_t start = time.monotonicUs();
    driver.FT_Write(link.handle(), frame.data(), uint32_t(frame.size()), &written);
    reply.clear();
    link.AwaitReply(reply.data(), reply.capacity(), 500);
    EXPECT_STREQ(reply.c_str(), "GSMRAW=OK;");
    // 595 bytes of 10 bits at 1 000 000 baud, then the 1 ms acknowledgement,
    // seen at the end of the 1 ms read it falls in.
    EXPECT_EQ(time.monotonicUs() - start, 7000);
}

}  // namespace
}  // namespace ktx::telit::test
