// The simulated receiver and clock as the firmware answers them.
#include <gtest/gtest.h>

#include <filesystem>

#include "gnss/ClockRegisters.h"
#include "gnss/PointFix.h"
#include "gnss/sim/ClockModule.h"
#include "sim/DeviceModel.h"
#include "support/SimScenario.h"
#include "gnss/sim/GnssModule.h"

namespace ktx::sim {
namespace {

struct CollectingSink : ReplySink {
    void onReply(std::string_view reply, int64_t) override { replies.emplace_back(reply); }
    std::vector<std::string> replies;
};

using test::replyTo;

Scenario still()
{
    Scenario s = defaultScenario();
    s.noise = 0;
    s.gnss.positionNoise = 0;
    return s;
}

TEST(GnssSim, CoordinatesBecomeWordsTheConsoleReadsBack)
{
    const struct {
        double latitude, longitude;
        const char* lat;
        const char* lon;
    } cases[] = {
        {55.1520575, 61.3909445, "55 09,12336 N", "61 23,45664 E"},
        {-33.8688, -151.2093, "33 52,12800 S", "151 12,55792 W"},
        {0.0, 179.9999999, "00 00,00000 N", "179 59,99984 E"},
    };
    for (const auto& c : cases) {
        gnss::PointWords words;
        words.fields = 3;
        words.latitude = coordinateWord(c.latitude, 0);
        words.longitude = coordinateWord(c.longitude, 0);
        const gnss::PointFix fix = gnss::decodePoint(words);
        EXPECT_EQ(gnss::coordinateText(fix.latitude), c.lat);
        EXPECT_EQ(gnss::coordinateText(fix.longitude), c.lon);
    }
    // Noise that carries into the next minute or degree.
    EXPECT_EQ(coordinateWord(1.0 - 1.0 / 6e6, 20), 10000016);  // 01 00,00019 with the low nibble cleared
}

TEST(GnssSim, FixFollowsUtcAndTheScenario)
{
    Scenario s = still();
    s.gnss.receiver = ReceiverKind::Glonass;
    DeviceModel model(s);
    model.module<GnssModule>()->setUtcAtStartMs(1300192496250);  // 15.03.2011 12:34:56.250
    const std::string reply = replyTo(model, "GPOINT$", 10000);
    EXPECT_TRUE(reply.ends_with(",0;\r\n")) << reply;
    const auto view = gnss::positionView(gnss::scanPoint(reply.c_str()));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->letter, "A");
    EXPECT_EQ(view->source, "ГЛОНАСС приемник");
    EXPECT_EQ(view->date, "15.03.2011");
    EXPECT_EQ(view->time, "12:35:06");
    EXPECT_EQ(view->latitude, "55 09,12336 N");

    s.gnss.fixValid = false;
    s.gnss.receiver = ReceiverKind::Unreported;
    DeviceModel lost(s);
    const auto stale = gnss::positionView(gnss::scanPoint(replyTo(lost, "GPOINT$", 0).c_str()));
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->letter, "V");
    EXPECT_EQ(stale->source, "Неизвестен");
    EXPECT_EQ(stale->longitude, "61 23,45664 E");
}

TEST(GnssSim, AntennaSupplyTravelsInTheStatusRecord)
{
    const struct {
        AntennaWiring wiring;
        bool on;
        int low, high;
    } cases[] = {
        {AntennaWiring::Normal, true, 960, 980},
        {AntennaWiring::Break, true, 981, 1022},
        {AntennaWiring::Short, true, 0, 959},
        {AntennaWiring::Normal, false, 1023, 1023},
    };
    for (const auto& c : cases) {
        Scenario s = defaultScenario();
        s.noise = 100;  // however noisy, the wiring stays what it is
        s.gnss.antenna = c.wiring;
        s.gnss.receiverOn = c.on;
        DeviceModel model(s);
        for (int64_t t = 0; t < 3000; t += 100) {
            int f[10] = {};
            const std::string reply = replyTo(model, "ADD_TEST$", t);
            ASSERT_EQ(std::sscanf(reply.c_str(), "ADD_TEST=%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", &f[0], &f[1], &f[2], &f[3],
                          &f[4], &f[5], &f[6], &f[7], &f[8], &f[9]),
                10);
            EXPECT_GE(f[2], c.low);
            EXPECT_LE(f[2], c.high);
        }
    }
}

TEST(ClockSim, SetThroughTheCommandStreamThenRuns)
{
    DeviceModel model(still());
    model.module<ClockModule>()->setUtcAtStartMs(1300192496250);
    CollectingSink sink;
    // "TIMER=...;" ends at its ';' even when written together with the next command.
    model.receive("TIMER=0:0:0:7:1:1:0;GTIMER$", 1000, sink);
    ASSERT_EQ(sink.replies.size(), 2u);
    EXPECT_EQ(sink.replies[0], "TIMER=0:0:0:7:1:1:0;\r\n");
    EXPECT_EQ(sink.replies[1], "TIMER=0:0:0:7:1:1:0;\r\n");
    const std::string later = replyTo(model, "GTIMER$", 1000 + 86400000 + 61000);
    EXPECT_EQ(gnss::clockText(*gnss::scanTimer(later.c_str())), "02.01.2000 00:01:01 GMT");
    EXPECT_TRUE(later.starts_with("TIMER=1:1:0:1:2:1:0;"));  // a Sunday

    // Registers that name no time leave the clock as it was; garbage gets no answer.
    for (const char* bad : {"TIMER=0:0:0:1:1:19:0;", "TIMER=0:0:36:1:1:1:0;", "TIMER=0:0:0:1:48:2:0;",
             "TIMER=0:0:0:1:26:1:0;", "TIMER=0:0:0:9:1:1:0;", "TIMER=-1:0:0:1:1:1:0;"}) {
        EXPECT_EQ(gnss::clockText(*gnss::scanTimer(replyTo(model, bad, 1000).c_str())), "01.01.2000 00:00:00 GMT") << bad;
    }
    for (const char* garbage : {"TIMER=1:2:3;", "TIMER=a:0:0:1:1:1:0;", "TIMER=0:0:0:1:1:1:0:0;", "TIMER=99999999999:0:0:1:1:1:0;"})
        EXPECT_EQ(replyTo(model, garbage, 1000), "") << garbage;
}

TEST(GnssScenarioKeys, ReadAndRejected)
{
    Scenario s;
    std::string error;
    ASSERT_TRUE(parseScenario(R"({"gnss": {"antenna": "short", "receiverOn": false, "receiver": "none",
        "latitude": -12.5, "longitude": 100.25, "acquireMs": 5000, "fixValid": false, "positionNoise": 0,
        "clockOffsetS": -90}})", s, error)) << error;
    EXPECT_EQ(s.gnss.antenna, AntennaWiring::Short);
    EXPECT_FALSE(s.gnss.receiverOn);
    EXPECT_EQ(s.gnss.receiver, ReceiverKind::Unreported);
    EXPECT_EQ(s.gnss.latitude, -12.5);
    EXPECT_EQ(s.gnss.longitude, 100.25);
    EXPECT_EQ(s.gnss.acquireMs, 5000);
    EXPECT_FALSE(s.gnss.fixValid);
    EXPECT_EQ(s.gnss.clockOffsetS, -90);

    const struct {
        const char* json;
        const char* message;
    } bad[] = {
        {R"({"gnss": {"antenna": "cut"}})", "gnss.antenna: expected \"normal\", \"break\", \"short\""},
        {R"({"gnss": {"antenna": 1}})", "gnss.antenna: expected a string"},
        {R"({"gnss": {"receiver": "galileo"}})", "gnss.receiver: expected \"gps\", \"glonass\", \"none\""},
        {R"({"gnss": {"latitude": 91}})", "gnss.latitude: expected a number from -90 to 90"},
        {R"({"gnss": {"longitude": "61"}})", "gnss.longitude: expected a number from -180 to 180"},
        {R"({"gnss": {"acquireMs": -1}})", "gnss.acquireMs: expected an integer from 0 to 3600000"},
        {R"({"gnss": 5})", "gnss: expected a JSON object"},
    };
    // The shipped default file spells out the same receiver and sensor.
    Scenario shipped;
    const auto file = std::filesystem::path(__FILE__).parent_path() / "../../sim/scenarios/default.json";
    ASSERT_TRUE(loadScenarioFile(file.string(), shipped, error)) << error;
    const Scenario defaults = defaultScenario();
    EXPECT_EQ(shipped.gnss.antenna, defaults.gnss.antenna);
    EXPECT_EQ(shipped.gnss.acquireMs, defaults.gnss.acquireMs);
    EXPECT_EQ(shipped.gnss.latitude, defaults.gnss.latitude);
    EXPECT_EQ(shipped.gnss.longitude, defaults.gnss.longitude);
    EXPECT_EQ(shipped.gnss.positionNoise, defaults.gnss.positionNoise);
    EXPECT_EQ(shipped.accel.gravity, defaults.accel.gravity);
    EXPECT_EQ(shipped.accel.tiltDeg, defaults.accel.tiltDeg);
    EXPECT_EQ(shipped.accel.tiltPeriodS, defaults.accel.tiltPeriodS);
    EXPECT_EQ(shipped.accel.noise, defaults.accel.noise);

    for (const auto& c : bad) {
        Scenario unchanged;
        EXPECT_FALSE(parseScenario(c.json, unchanged, error)) << c.json;
        EXPECT_EQ(error, c.message);
        EXPECT_EQ(unchanged.gnss.antenna, AntennaWiring::Normal);
    }
}

}  // namespace
}  // namespace ktx::sim
