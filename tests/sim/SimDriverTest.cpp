#include <gtest/gtest.h>

#include <string>

#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "io/sim/IoModule.h"
#include "sim/SimDriver.h"

namespace ktx::sim {
namespace {

struct SimFixture : ::testing::Test {
    VirtualTimeSource time;
    Scenario scenario = defaultScenario();

    // Builds the driver from the scenario as changed by the test so far.
    SimDriver& driver()
    {
        if (!driver_) {
            driver_ = std::make_unique<SimDriver>(time, scenario);
            link_ = std::make_unique<UsbLink>(*driver_, time);
        }
        return *driver_;
    }
    UsbLink& link()
    {
        driver();
        return *link_;
    }
    int64_t elapsedUs(int64_t sinceUs) const { return time.monotonicUs() - sinceUs; }

private:
    std::unique_ptr<SimDriver> driver_;
    std::unique_ptr<UsbLink> link_;
};

TEST_F(SimFixture, ListsItsIdentityOnlyWhilePlugged)
{
    scenario.description = "KALDERNIT";
    scenario.serial = "7654321";
    uint32_t count = 0;
    ASSERT_EQ(driver().FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);
    char text[kFtListBufferSize] = {};
    ASSERT_EQ(driver().FT_ListDevices(nullptr, text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_STREQ(text, "KALDERNIT");
    ASSERT_EQ(driver().FT_ListDevices(nullptr, text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
    EXPECT_STREQ(text, "7654321");
    EXPECT_NE(driver().FT_ListDevices(reinterpret_cast<void*>(uintptr_t{1}), text,
                  FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);

    driver().setPlugged(false);
    ASSERT_EQ(driver().FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(driver().FT_ListDevices(nullptr, text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
}

TEST_F(SimFixture, OpensDeviceZeroOnlyAndOnlyOnce)
{
    FT_HANDLE handle = nullptr;
    EXPECT_NE(driver().FT_Open(1, &handle), FT_OK);
    ASSERT_EQ(driver().FT_Open(0, &handle), FT_OK);
    FT_HANDLE second = nullptr;
    EXPECT_NE(driver().FT_Open(0, &second), FT_OK);
    EXPECT_EQ(driver().FT_Close(handle), FT_OK);
    EXPECT_EQ(driver().FT_Open(0, &second), FT_OK);
}

TEST_F(SimFixture, VersionReplyIsReadWithOneTenByteRead)
{
    scenario.version = "DRAL-5.12a";
    ASSERT_TRUE(link().OpenLink(false));
    EXPECT_EQ(driver().baudRate(), 115200u);
    EXPECT_EQ(driver().readTimeoutMs(), 100u);
    ReplyBuffer<63> buffer;
    const int64_t start = time.monotonicUs();
    link().SendCommand("FL_READ_VERSION$");
    link().ReadReply(buffer.data(), 10);
    EXPECT_EQ(link().transferred(), 10u);
    EXPECT_STREQ(buffer.c_str(), "DRAL-5.12a");
    EXPECT_EQ(elapsedUs(start), 5000) << "the reply arrives after the scenario's latency";
    link().CloseLink();
}

TEST_F(SimFixture, FirstVersionRepliesCanBeShort)
{
    scenario.faults.shortVersionReplies = 2;
    ASSERT_TRUE(link().OpenLink(false));
    std::vector<uint32_t> lengths;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ReplyBuffer<63> buffer;
        link().SendCommand("FL_READ_VERSION$");
        link().ReadReply(buffer.data(), 10);
        lengths.push_back(link().transferred());
    }
    EXPECT_EQ(lengths, (std::vector<uint32_t>{9, 9, 10}));
}

TEST_F(SimFixture, LongReplyArrivesInChunks)
{
    scenario.chunkBytes = 16;
    scenario.chunkIntervalUs = 2000;
    scenario.latencyMs = 0;
    ASSERT_TRUE(link().OpenLink(true));
    link().SendCommand("ADD_TEST$");
    std::string reply;
    std::vector<uint32_t> reads;
    for (int i = 0; i < 20 && reply.find('\n') == std::string::npos; ++i) {
        char chunk[128] = {};
        uint32_t got = 0;
        driver().FT_Read(link().handle(), chunk, sizeof chunk, &got);
        reads.push_back(got);
        reply.append(chunk, got);
    }
    ASSERT_GT(reply.size(), 32u);
    EXPECT_TRUE(reply.starts_with("ADD_TEST=")) << reply;
    EXPECT_TRUE(reply.ends_with(";\r\n")) << reply;
    // A 1 ms read catches at most one 16-byte chunk; a 2 ms gap leaves an
    // empty read between chunks.
    for (const uint32_t got : reads)
        EXPECT_LE(got, 16u);
    EXPECT_GT(std::count_if(reads.begin(), reads.end(), [](uint32_t got) { return got > 0; }), 2);
}

TEST_F(SimFixture, AwaitReplyCollectsAChunkedReplyUpToItsTerminator)
{
    scenario.chunkBytes = 8;
    ASSERT_TRUE(link().OpenLink(true));
    ReplyBuffer<128> buffer;
    link().SendCommand("DEVICE_TEST,0,0$");
    link().AwaitReply(buffer.data(), 128, 100);
    const std::string reply = buffer.c_str();
    EXPECT_EQ(link().transferred(), reply.size());
    EXPECT_TRUE(reply.ends_with("\r\n")) << reply;
    EXPECT_NE(reply.find(",tt="), std::string::npos) << reply;
}

TEST_F(SimFixture, SilentDeviceCostsTheReadTimeoutInVirtualTime)
{
    scenario.faults.silent = 1;
    ASSERT_TRUE(link().OpenLink(false));
    ReplyBuffer<127> buffer;
    link().SendCommand("FL_READ_VERSION$");
    int64_t start = time.monotonicUs();
    link().ReadReply(buffer.data(), 10);
    EXPECT_EQ(link().transferred(), 0u);
    EXPECT_EQ(elapsedUs(start), 100000);
    link().CloseLink();

    ASSERT_TRUE(link().OpenLink(true));
    link().SendCommand("DEVICE_TEST,0,0$");
    start = time.monotonicUs();
    link().AwaitReply(buffer.data(), 127, 100);
    EXPECT_EQ(link().transferred(), 0u);
    EXPECT_EQ(elapsedUs(start), 100000) << "100 empty reads of 1 ms";
}

TEST_F(SimFixture, PurgeDropsALateReply)
{
    scenario.latencyMs = 50;
    ASSERT_TRUE(link().OpenLink(true));
    ReplyBuffer<127> buffer;
    link().SendCommand("FL_READ_VERSION$");
    link().ReadReply(buffer.data(), 10);
    EXPECT_EQ(link().transferred(), 0u) << "the reply is still on its way";
    link().PurgeLink();
    time.advanceMs(200);
    link().ReadReply(buffer.data(), 10);
    EXPECT_EQ(link().transferred(), 0u);

    // The next command's reply is whole, with nothing of the old one before it.
    link().SendCommand("FL_READ_VERSION$");
    time.advanceMs(50);
    link().ReadReply(buffer.data(), 127);
    EXPECT_STREQ(buffer.c_str(), "SUMI-5.7ab");
}

TEST_F(SimFixture, UnplugKillsTheOpenLinkAndLaterOpens)
{
    scenario.faults.unplugAtMs = 300;
    ASSERT_TRUE(link().OpenLink(true));
    EXPECT_FALSE(driver().pollPlugChange());
    time.advanceMs(300);
    EXPECT_FALSE(driver().plugged());

    ReplyBuffer<127> buffer;
    link().SendCommand("FL_READ_VERSION$");
    EXPECT_EQ(link().transferred(), 0u) << "nothing is written to a pulled-out device";
    link().AwaitReply(buffer.data(), 127, 5);
    EXPECT_EQ(link().transferred(), 0u);
    link().CloseLink();
    EXPECT_FALSE(link().OpenLink(true));

    EXPECT_TRUE(driver().pollPlugChange());
    EXPECT_FALSE(driver().pollPlugChange()) << "reported once per change";
    driver().setPlugged(true);
    EXPECT_TRUE(driver().pollPlugChange());
    ASSERT_TRUE(link().OpenLink(false));
    link().SendCommand("FL_READ_VERSION$");
    link().ReadReply(buffer.data(), 10);
    EXPECT_EQ(link().transferred(), 10u);
}

TEST_F(SimFixture, ReplugAtItsTimeMakesItANewDeviceAgain)
{
    scenario.faults.unplugAtMs = 300;
    scenario.faults.replugAtMs = 800;
    ASSERT_TRUE(link().OpenLink(false));
    uint32_t count = 0;
    time.advanceMs(300);
    EXPECT_TRUE(driver().pollPlugChange());
    ASSERT_EQ(driver().FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);

    time.advanceMs(500);
    EXPECT_TRUE(driver().plugged());
    EXPECT_TRUE(driver().pollPlugChange());
    EXPECT_FALSE(driver().pollPlugChange());
    ASSERT_EQ(driver().FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);
    // The handle from before the unplug belongs to the old device.
    ReplyBuffer<127> buffer;
    link().SendCommand("FL_READ_VERSION$");
    EXPECT_EQ(link().transferred(), 0u);
    link().CloseLink();
    ASSERT_TRUE(link().OpenLink(false));
    link().SendCommand("FL_READ_VERSION$");
    link().ReadReply(buffer.data(), 10);
    EXPECT_STREQ(buffer.c_str(), "SUMI-5.7ab");
}

TEST_F(SimFixture, UnplugAndReplugBetweenTwoChecksAreOneChange)
{
    scenario.faults.unplugAtMs = 300;
    scenario.faults.replugAtMs = 400;
    driver();
    time.advanceMs(1000);
    EXPECT_TRUE(driver().plugged());
    EXPECT_TRUE(driver().pollPlugChange());
    EXPECT_FALSE(driver().pollPlugChange());
}

TEST_F(SimFixture, HandsOverItsStringsAsTheVendorDriverDoes)
{
    // Windows-1251 bytes, '?' for what that code page lacks.
    scenario.serial = "12345Ж";
    scenario.description = "Корвантикс ✓";
    char text[kFtListBufferSize] = {};
    ASSERT_EQ(driver().FT_ListDevices(nullptr, text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
    EXPECT_STREQ(text, "12345\xC6");
    ASSERT_EQ(driver().FT_ListDevices(nullptr, text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_STREQ(text, "\xCA\xEE\xF0\xE2\xE0\xED\xF2\xE8\xEA\xF1 ?");
}

TEST_F(SimFixture, UnplugDuringAReadEndsIt)
{
    scenario.faults.unplugAtMs = 20;
    scenario.faults.silent = 1;
    ASSERT_TRUE(link().OpenLink(false));
    ReplyBuffer<127> buffer;
    link().SendCommand("FL_READ_VERSION$");
    link().ReadReply(buffer.data(), 10);
    EXPECT_EQ(link().transferred(), 0u);
    EXPECT_EQ(time.monotonicUs(), 20000);
}

TEST_F(SimFixture, FaultsChangeTheReplyBytes)
{
    scenario.latencyMs = 0;
    scenario.faults.shortReplies = 1;
    {
        ASSERT_TRUE(link().OpenLink(false));
        ReplyBuffer<127> buffer;
        link().SendCommand("FL_READ_VERSION$");
        link().ReadReply(buffer.data(), 127);
        EXPECT_STREQ(buffer.c_str(), "SUMI-");
        link().CloseLink();
    }
    scenario.faults.shortReplies = 0;
    scenario.faults.garbage = 1;
    SimDriver garbled(time, scenario);
    UsbLink link(garbled, time);
    ASSERT_TRUE(link.OpenLink(true));
    ReplyBuffer<128> buffer;
    link.SendCommand("ADD_TEST$");
    link.AwaitReply(buffer.data(), 128, 3);
    const std::string_view reply = buffer.view(link.transferred());
    std::string clean;
    DeviceModel(scenario).execute("ADD_TEST$", garbled.modelMs(), clean);
    EXPECT_EQ(reply.size(), clean.size());
    EXPECT_EQ(reply.find_first_of(";\n"), std::string_view::npos);
    EXPECT_FALSE(reply.starts_with("ADD_TEST="));
}

// Everything that arrives for a command within its wait, read in pieces.
std::string readAll(SimDriver& driver, FT_HANDLE handle)
{
    std::string bytes;
    char piece[4096];
    for (uint32_t got = 1; got > 0;) {
        got = 0;
        if (driver.FT_Read(handle, piece, sizeof piece, &got) != FT_OK)
            break;
        bytes.append(piece, got);
    }
    return bytes;
}

// The reply faults a running tracker can take up, and drop again.
TEST_F(SimFixture, ReplyFaultsChangeWhileItRuns)
{
    ASSERT_TRUE(link().OpenLink(false));
    const auto versionReply = [&] {
        link().SendCommand("FL_READ_VERSION$");
        return readAll(driver(), link().handle());
    };
    EXPECT_EQ(versionReply(), "SUMI-5.7ab");

    Faults faults;
    faults.lineBreaks = 1;
    driver().setReplyFaults(faults);
    EXPECT_EQ(versionReply(), "SUMI-\r\n5.7ab");

    faults = {};
    faults.floods = 1;
    driver().setReplyFaults(faults);
    const std::string flood = versionReply();
    EXPECT_EQ(flood.size(), 64u * 1024) << "the receive buffer, full";
    EXPECT_TRUE(flood.starts_with("SUMI-5.7ab"));
    for (char c : {'\0', '\r', '\n', '\xff'})
        EXPECT_NE(flood.find(c, 10), std::string::npos) << int(c);

    driver().setReplyFaults({});
    // Late, but inside the read's 100 ms wait.
    driver().setLatencyMs(70);
    const int64_t start = time.monotonicUs();
    EXPECT_EQ(versionReply(), "SUMI-5.7ab");
    EXPECT_GE(elapsedUs(start), 70000);
    link().CloseLink();
}

TEST_F(SimFixture, AnUnplugDueMidExchangeKillsTheOpenLink)
{
    ASSERT_TRUE(link().OpenLink(false));
    driver().unplugAfterMs(2);  // before the reply's 5 ms latency
    link().SendCommand("FL_READ_VERSION$");
    EXPECT_EQ(readAll(driver(), link().handle()), "");
    EXPECT_FALSE(driver().plugged());
    EXPECT_TRUE(driver().pollPlugChange());
    link().CloseLink();
    FT_HANDLE handle = nullptr;
    EXPECT_NE(driver().FT_Open(0, &handle), FT_OK);
}

// A reply held to the edge of the console's wait: just inside, the read that
// waits for it takes it whole at its very end; just outside, no read of the
// wait gets it and it lands, past the purge, in the next command's read.
TEST_F(SimFixture, RepliesAtTheWaitEdgeLandJustInsideOrJustOutsideIt)
{
    ASSERT_TRUE(link().OpenLink(false));  // 100 ms reads
    ReplyBuffer<127> buffer;
    auto received = [&] { return std::string(buffer.data(), link().transferred()); };

    driver().setRepliesAtWaitEdge(-200);
    link().SendCommand("FL_READ_VERSION$");
    const int64_t start = time.monotonicUs();
    time.advanceMs(30);  // the console's pause before its read is part of the wait
    link().ReadReply(buffer.data(), 127);
    EXPECT_EQ(received(), "SUMI-5.7ab");
    EXPECT_EQ(elapsedUs(start), 130000) << "the read waited to its end";

    driver().setRepliesAtWaitEdge(200);
    link().SendCommand("FL_READ_VERSION$");
    link().ReadReply(buffer.data(), 127);
    EXPECT_EQ(received(), "");
    link().AwaitReply(buffer.data(), 127, 3);
    EXPECT_EQ(received(), "") << "a wait of several reads never gets it either";
    link().SendCommand("ADD_TEST$");
    link().ReadReply(buffer.data(), 127);
    EXPECT_EQ(received(), "SUMI-5.7ab") << "the late reply in the next command's read";

    driver().setRepliesAtWaitEdge(std::nullopt);
    link().SendCommand("FL_READ_VERSION$");
    link().ReadReply(buffer.data(), 127);
    EXPECT_EQ(received(), "SUMI-5.7ab");
}

// A tracker that restarts mid-exchange: the reply is cut, nothing answers
// while it boots, its outputs are off again and it comes back with the new
// firmware; with its USB chip restarted it is a new device with a new serial.
TEST_F(SimFixture, ARebootCutsTheReplyAndComesBackWithTheNewIdentity)
{
    Scenario identity = defaultScenario();
    identity.version = "SUMI-5.8ab";
    identity.serial = "7654321";
    for (const bool usbDrops : {false, true}) {
        SCOPED_TRACE(usbDrops ? "USB drops" : "USB stays");
        SimDriver sim(time, defaultScenario());
        UsbLink link(sim, time);
        ASSERT_TRUE(link.OpenLink(false));
        link.SendCommand("DEVICE_TEST,1,1$");
        time.advanceMs(50);
        ASSERT_EQ(sim.device().module<IoModule>()->outputs()[0], 1);

        sim.rebootAfterMs(2, 500, identity, usbDrops);  // before the reply's 5 ms latency
        link.SendCommand("FL_READ_VERSION$");
        EXPECT_EQ(readAll(sim, link.handle()), "");
        time.advanceMs(100);
        link.SendCommand("FL_READ_VERSION$");
        EXPECT_EQ(readAll(sim, link.handle()), "") << "still booting";

        time.advanceMs(500);
        EXPECT_EQ(sim.pollPlugChange(), usbDrops);
        link.CloseLink();
        ASSERT_TRUE(link.OpenLink(false));
        link.SendCommand("FL_READ_VERSION$");
        EXPECT_EQ(readAll(sim, link.handle()), "SUMI-5.8ab");
        EXPECT_EQ(sim.device().module<IoModule>()->outputs()[0], 0);
        char serial[kFtListBufferSize] = {};
        ASSERT_EQ(sim.FT_ListDevices(nullptr, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
        EXPECT_STREQ(serial, usbDrops ? "7654321" : "1234567");
        link.CloseLink();
    }
}

}  // namespace
}  // namespace ktx::sim
