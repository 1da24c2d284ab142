// The scoped session: what each mode opens, that the link is closed once on
// every way out of the scope, that nothing else opens the link meanwhile, and
// the two ways of reading a reply.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "link/AppContext.h"
#include "link/LinkSession.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDriver.h"

namespace ktx {
namespace {

using test::ScriptedDriver;

struct SessionFixture : ::testing::Test {
    VirtualTimeSource time;
    ScriptedDriver driver{&time};
    UsbLink link{driver, time};
    test::RecordingSink log;
    DeviceInfo device;
    AppContext context{link, time, log, device};

    std::vector<int64_t> argsOf(const std::string& name) const
    {
        for (const auto& call : driver.calls())
            if (call.name == name)
                return call.args;
        return {};
    }
};

TEST_F(SessionFixture, EachModeOpensWithItsSettingsAndClosesOnceAtScopeEnd)
{
    struct Case {
        LinkMode mode;
        const char* setting;  // the call that tells the modes apart
        std::vector<int64_t> args;
    };
    const Case cases[] = {
        {LinkMode::Fast, "FT_SetTimeouts", {1, 1}},
        {LinkMode::Normal, "FT_SetTimeouts", {100, 100}},
        {LinkMode::Update, "FT_SetDivisor", {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting + std::to_string(static_cast<int>(c.mode)));
        driver.clearCalls();
        {
            LinkSession session(context, c.mode);
            ASSERT_TRUE(session);
            EXPECT_TRUE(link.inSession());
            EXPECT_EQ(argsOf(c.setting), c.args);
            EXPECT_EQ(driver.countCalls("FT_Close"), 0);
        }
        EXPECT_FALSE(link.inSession());
        EXPECT_EQ(driver.countCalls("FT_ResetDevice"), 1);
        EXPECT_EQ(driver.countCalls("FT_Close"), 1);
        EXPECT_EQ(driver.callNames().back(), "FT_Close");
    }
}

TEST_F(SessionFixture, ClosedOnceOnEveryWayOut)
{
    // An early close, then the end of the scope: one close, not two.
    {
        LinkSession session(context, LinkMode::Normal);
        session.close();
        EXPECT_FALSE(session);
        EXPECT_FALSE(link.inSession());
    }
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);

    // An exception out of the action still closes the link.
    driver.clearCalls();
    EXPECT_THROW(
        {
            LinkSession session(context, LinkMode::Normal);
            throw std::runtime_error("parse failed");
        },
        std::runtime_error);
    EXPECT_EQ(driver.countCalls("FT_Close"), 1);
    EXPECT_FALSE(link.inSession());

    // A failed open leaves nothing to close, and the next session opens.
    driver.clearCalls();
    driver.failCall("FT_Open", FT_DEVICE_NOT_FOUND);
    {
        LinkSession session(context, LinkMode::Fast);
        EXPECT_FALSE(session);
        EXPECT_FALSE(link.inSession());
    }
    EXPECT_EQ(driver.callNames(), std::vector<std::string>{"FT_Open"});
}

TEST_F(SessionFixture, NoOtherOpenWhileASessionHoldsTheLink)
{
    LinkSession outer(context, LinkMode::Normal);
    ASSERT_TRUE(outer);
    driver.clearCalls();
    {
        // An action re-entered from inside another: refused and said.
        LinkSession inner(context, LinkMode::Fast);
        EXPECT_FALSE(inner);
    }
    EXPECT_FALSE(link.OpenLink(true));
    EXPECT_FALSE(link.OpenUpdateLink());
    EXPECT_EQ(driver.calls().size(), 0u) << "the device was not touched, nor closed under the outer action";
    ASSERT_EQ(log.debug.size(), 1u);
    EXPECT_EQ(log.debug[0], reopenRefusedText());
    EXPECT_TRUE(link.inSession());

    outer.close();
    LinkSession next(context, LinkMode::Fast);
    EXPECT_TRUE(next);
}

TEST_F(SessionFixture, ExchangeReadsOnceOrUntilTheTerminator)
{
    LinkSession session(context, LinkMode::Normal);
    ASSERT_TRUE(session);

    // One read after the wait, which passes in the link's time.
    driver.clearCalls();
    driver.scriptRead("GTIMER=1");
    ReplyBuffer<8> timer;  // filled by the one read, so it costs no read timeout
    const int64_t start = time.monotonicMs();
    EXPECT_STREQ(session.exchange("GTIMER$", timer, {250}), "GTIMER=1");
    EXPECT_EQ(time.monotonicMs() - start, 250);
    EXPECT_EQ(driver.callNames(), (std::vector<std::string>{"FT_Purge", "FT_Write", "FT_Read"}));
    EXPECT_EQ(driver.writes(), std::vector<std::string>{"GTIMER$"});

    // Reads on through empty reads until a terminator, and no further; the
    // buffer is cleared of what it held first.
    driver.clearCalls();
    driver.scriptRead("ACC=");
    driver.scriptEmptyReads(2);
    driver.scriptRead("1,2;");
    ReplyBuffer<16> reply;
    std::fill(reply.bytes.begin(), reply.bytes.end() - 1, 'X');  // an earlier, longer reply
    EXPECT_STREQ(session.exchange("GACCELERATE$", reply, {0, 5}), "ACC=1,2;");
    EXPECT_EQ(link.transferred(), 8u);
    EXPECT_EQ(driver.readCount(), 4);

    // Into a fresh buffer: the text up to the first zero byte, never past
    // the capacity.
    driver.scriptRead(std::string("0123456789", 10));
    EXPECT_EQ(session.exchange("X$", 4), "0123");
}

}  // namespace
}  // namespace ktx
