#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/DeviceModel.h"
#include "io/sim/IoModule.h"
#include "sim/SimRandom.h"
#include "support/SimScenario.h"

namespace ktx::sim {
namespace {

using Collected = test::CollectedReplies;

using test::replyTo;

// Output states last set by DEVICE_TEST, as the input module keeps them.
const std::array<int, 2>& outputsOf(const DeviceModel& model)
{
    return model.module<IoModule>()->outputs();
}

// The console's own scans of the status replies.
struct DeviceTestFields {
    int v[10] = {};
    int count = 0;
};

DeviceTestFields scanDeviceTest(const std::string& reply)
{
    DeviceTestFields f;
    f.count = std::sscanf(reply.c_str(), "%d,%d,%d,%d,%d,%d,%d,%d,%d,tt=%d", &f.v[0], &f.v[1], &f.v[2], &f.v[3],
        &f.v[4], &f.v[5], &f.v[6], &f.v[7], &f.v[8], &f.v[9]);
    return f;
}

int scanAddTest(const std::string& reply, int (&v)[12])
{
    return std::sscanf(reply.c_str(), "ADD_TEST=%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3],
        &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10], &v[11]);
}

Scenario quietScenario()
{
    Scenario s = defaultScenario();
    s.noise = 0;
    s.power = 512;
    s.ain1 = 100;
    s.ain2 = 200;
    s.battery = 700;
    s.inputs = {1, 0, 0, 1, 1, 0, 1, 0};
    s.counterRates = {10, 2.5, 100, 0, 1, 2, 3, 4};
    s.deviceTimeStartMs = 1000;
    return s;
}

TEST(DeviceModel, DeviceTestReportsTheScenarioAndRemembersOutputs)
{
    DeviceModel model(quietScenario());
    EXPECT_EQ(outputsOf(model), (std::array<int, 2>{0, 0}));
    const std::string reply = replyTo(model, "DEVICE_TEST,1,0$", 2000);
    EXPECT_EQ(reply, "512,1,0,100,200,20,5,700,10,tt=3000\r\n");
    EXPECT_EQ(scanDeviceTest(reply).count, 10);
    EXPECT_EQ(outputsOf(model), (std::array<int, 2>{1, 0}));
    replyTo(model, "DEVICE_TEST,0,1$", 2100);
    EXPECT_EQ(outputsOf(model), (std::array<int, 2>{0, 1}));
}

TEST(DeviceModel, DeviceTestWithoutDeviceTimeHasNineFields)
{
    Scenario s = quietScenario();
    s.deviceTime = false;
    DeviceModel model(s);
    const std::string reply = replyTo(model, "DEVICE_TEST,0,0$", 2000);
    EXPECT_EQ(reply, "512,1,0,100,200,20,5,700,10\r\n");
    EXPECT_EQ(scanDeviceTest(reply).count, 9);
}

TEST(DeviceModel, MalformedDeviceTestIsIgnored)
{
    DeviceModel model(quietScenario());
    for (const char* command : {"DEVICE_TEST,1$", "DEVICE_TEST,a,0$", "DEVICE_TEST,1,0,1$", "DEVICE_TEST,$"}) {
        EXPECT_EQ(replyTo(model, command, 10), "") << command;
        EXPECT_EQ(outputsOf(model), (std::array<int, 2>{0, 0})) << command;
    }
}

TEST(DeviceModel, AddTestShortAndLongForms)
{
    Scenario s = quietScenario();
    DeviceModel longModel(s);
    int v[12] = {};
    const std::string longReply = replyTo(longModel, "ADD_TEST$", 4000);
    EXPECT_EQ(longReply, "ADD_TEST=400,0,970,1,0,1,0,5000,4,8,12,16;\r\n");
    EXPECT_EQ(scanAddTest(longReply, v), 12);

    s.longAddTest = false;
    s.deviceTime = false;
    DeviceModel shortModel(s);
    const std::string shortReply = replyTo(shortModel, "ADD_TEST$", 4000);
    EXPECT_EQ(shortReply, "ADD_TEST=400,0,970,1,0,1,0,0;\r\n");
    EXPECT_EQ(scanAddTest(shortReply, v), 8);
}

TEST(DeviceModel, CountersClimbAtTheirRatesAndTimeAdvances)
{
    DeviceModel model(quietScenario());
    int a[12] = {};
    int b[12] = {};
    const DeviceTestFields first = scanDeviceTest(replyTo(model, "DEVICE_TEST,0,0$", 10000));
    ASSERT_EQ(scanAddTest(replyTo(model, "ADD_TEST$", 10000), a), 12);
    const DeviceTestFields second = scanDeviceTest(replyTo(model, "DEVICE_TEST,0,0$", 20000));
    ASSERT_EQ(scanAddTest(replyTo(model, "ADD_TEST$", 20000), b), 12);

    // Ten seconds later every counter moved by ten times its rate.
    EXPECT_EQ(second.v[5] - first.v[5], 100);
    EXPECT_EQ(second.v[6] - first.v[6], 25);
    EXPECT_EQ(second.v[9] - first.v[9], 10000);
    EXPECT_EQ(b[0] - a[0], 1000);
    EXPECT_EQ(b[1] - a[1], 0);
    EXPECT_EQ(b[7] - a[7], 10000) << "device time";
    for (int k = 8; k < 12; ++k)
        EXPECT_EQ(b[k] - a[k], 10 * (k - 7)) << "counter " << k - 3;
}

TEST(DeviceModel, NoiseIsBoundedAndPredictable)
{
    Scenario s = quietScenario();
    s.noise = 4;
    s.seed = 77;
    s.power = 1021;
    s.ain2 = 1;
    DeviceModel model(s);
    bool varied = false;
    for (int64_t t = 0; t < 2000; t += 200) {
        const DeviceTestFields f = scanDeviceTest(replyTo(model, "DEVICE_TEST,0,0$", t));
        EXPECT_EQ(f.v[0], std::min(1023, 1021 + noiseAt(77, 0, t, 4)));
        EXPECT_EQ(f.v[4], std::max(0, 1 + noiseAt(77, 2, t, 4)));
        EXPECT_GE(f.v[7], 696);
        EXPECT_LE(f.v[7], 704);
        varied |= f.v[7] != 700;
    }
    EXPECT_TRUE(varied);
}

TEST(DeviceModel, SplitsTheByteStreamIntoCommands)
{
    DeviceModel model(quietScenario());
    Collected sink;
    model.receive("FL_READ_", 0, sink);
    EXPECT_TRUE(sink.replies.empty());
    model.receive("VERSION$ADD_TEST$NOSUCH$DEVICE_TEST,1,1$", 1, sink);
    ASSERT_EQ(sink.replies.size(), 3u) << "the unknown command gets no reply";
    EXPECT_EQ(sink.replies[0], "SUMI-5.7ab");
    EXPECT_TRUE(sink.replies[1].starts_with("ADD_TEST="));
    EXPECT_EQ(outputsOf(model), (std::array<int, 2>{1, 1}));

    // The remains of an interrupted command do not spoil the next one.
    sink.replies.clear();
    model.receive("GSMRAW=001,", 10, sink);
    model.receive("FL_READ_VERSION$", 500, sink);
    EXPECT_EQ(sink.replies, std::vector<std::string>{"SUMI-5.7ab"});

    // A flood without terminators stays bounded and is forgotten.
    model.receive(std::string(100000, 'x'), 600, sink);
    EXPECT_LE(model.partialCommand().size(), 1024u);
}

// A module of a ';'-terminated command no real module claims.
struct SemicolonModule : SimModule {
    bool handles(std::string_view command) const override { return command.starts_with("FAKE="); }
    void reply(std::string_view command, int64_t, std::string& out) override { out.append(command); }
    bool endsAtSemicolon(std::string_view start) const override { return start.starts_with("FAKE="); }
};

TEST(DeviceModel, SemicolonEndsOnlyTheCommandsThatClaimIt)
{
    DeviceModel model(quietScenario());
    model.addModule(std::make_unique<SemicolonModule>());
    Collected sink;
    model.receive("FAKE=1:2:3:4:5:6:7;", 0, sink);
    model.receive("NOSUCH;$", 0, sink);  // known to no module: no reply
    model.receive("FAKE=9;$", 0, sink);  // the ";$" shape still ends at '$'
    EXPECT_EQ(sink.replies, (std::vector<std::string>{"FAKE=1:2:3:4:5:6:7;", "FAKE=9;$"}));
    EXPECT_TRUE(model.partialCommand().empty());
}

TEST(DeviceModel, ShortVersionRepliesComeFirst)
{
    Scenario s = quietScenario();
    s.faults.shortVersionReplies = -1;
    DeviceModel always(s);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(replyTo(always, "FL_READ_VERSION$", i), "SUMI-5.7a");
}

}  // namespace
}  // namespace ktx::sim
