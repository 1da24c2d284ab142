#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FirmwareBuilder.h"
#include "sim/DeviceModel.h"
#include "telit/sim/TelitModule.h"

namespace ktx::telit::test {
namespace {

struct Replies : sim::ReplySink {
    std::vector<std::string> texts;
    void onReply(std::string_view reply, int64_t) override { texts.emplace_back(reply); }
};

struct ModelBench {
    sim::Scenario scenario = sim::defaultScenario();
    sim::DeviceModel model{scenario};
    Replies replies;
    int64_t nowMs = 0;

    void write(std::string_view bytes) { model.receive(bytes, nowMs, replies); }
    sim::TelitModule& modem() { return *model.module<sim::TelitModule>(); }
};

TEST(TelitModule, TakesRawBlocksWithTerminatorAndZeroBytesAsTheyAre)
{
    ModelBench bench;
    bench.write("TELITENTER;$");
    const std::string payload = std::string("$;\0\n;$", 6) + test::payloadOf(574);
    // A full block split over two writes, then a short one and the
    // unterminated poll in one write with an ordinary command behind them.
    const std::string full = "GSMRAW=000,580," + payload;
    bench.write(full.substr(0, 9));
    bench.write(full.substr(9));
    bench.write(std::string("GSMRAW=001,3,;\0$", 16) + "GSMWAITFL_READ_VERSION$");
    ASSERT_EQ(bench.modem().records(), std::vector<std::string>{payload + std::string(";\0$", 3)});
    EXPECT_EQ(bench.modem().framingErrors(), 0u);
    EXPECT_EQ(bench.replies.texts,
              (std::vector<std::string>{"TELITENTER=1;", "GSMRAW=OK;", "GSMRAW=OK;", "GSMWAIT=1;", bench.replies.texts.back()}));
    EXPECT_TRUE(bench.replies.texts.back() == bench.scenario.version) << "commands after a frame are read as before";
}

TEST(TelitModule, RefusesBlocksWhoseFramingIsWrong)
{
    const struct {
        const char* what;
        std::vector<std::string> frames;
    } cases[] = {
        {"number skips one", {"GSMRAW=000,2,ab", "GSMRAW=002,2,ab"}},
        {"number not three digits", {"GSMRAW=0,2,ab"}},
        {"short count padded", {"GSMRAW=000,002,ab"}},
        {"count of zero", {"GSMRAW=000,0,"}},
        {"full block after the short one", {"GSMRAW=000,2,ab", "GSMRAW=001,580," + test::payloadOf(580)}},
        {"before the mode switch", {"GSMRAW=000,2,ab"}},
    };
    for (const auto& c : cases) {
        ModelBench bench;
        if (std::string_view(c.what) != "before the mode switch")
            bench.write("TELITENTER;$");
        for (const auto& frame : c.frames)
            bench.write(frame);
        EXPECT_EQ(bench.modem().framingErrors(), 1u) << c.what;
        // The refused frame, the last, is not acknowledged.
        const auto acks = std::count(bench.replies.texts.begin(), bench.replies.texts.end(), "GSMRAW=OK;");
        EXPECT_EQ(size_t(acks), c.frames.size() - 1) << c.what;
    }
}

}  // namespace
}  // namespace ktx::telit::test

namespace ktx::telit::test {
namespace {

TEST(TelitScenario, ReadsItsSectionAndNamesAWrongKey)
{
    sim::Scenario scenario = sim::defaultScenario();
    std::string error;
    ASSERT_TRUE(sim::parseScenario(R"({"telit": {"modemVersion": 2, "enterDelayMs": 0, "ackDelayMs": 4, "erasePolls": 9,
        "silentBlock": 300, "eraseFails": true, "wrongAnswerRecord": 7}})", scenario, error)) << error;
    EXPECT_EQ(scenario.telit.modemVersion, 2);
    EXPECT_EQ(scenario.telit.enterDelayMs, 0);
    EXPECT_EQ(scenario.telit.ackDelayMs, 4);
    EXPECT_EQ(scenario.telit.erasePolls, 9);
    EXPECT_EQ(scenario.telit.silentBlock, 300);
    EXPECT_TRUE(scenario.telit.eraseFails);
    EXPECT_EQ(scenario.telit.wrongAnswerRecord, 7);

    for (const char* bad : {R"({"telit": {"modemVersion": 3}})", R"({"telit": {"eraseFails": 1}})",
                            R"({"telit": {"silentBlock": -2}})", R"({"telit": []})"}) {
        sim::Scenario unchanged = sim::defaultScenario();
        EXPECT_FALSE(sim::parseScenario(bad, unchanged, error)) << bad;
        EXPECT_TRUE(error.starts_with("telit")) << error;
        EXPECT_EQ(unchanged.telit.modemVersion, 1) << bad;
    }
}

}  // namespace
}  // namespace ktx::telit::test
