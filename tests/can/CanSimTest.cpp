// The simulated truck behind "CANTEST;$": frames the console can read, a
// drive that moves, the scenario's "can" keys and its faults.
#include <gtest/gtest.h>
#include <cmath>
#include <set>

#include "can/CanDecoder.h"
#include "can/CanReply.h"
#include "can/sim/CanModule.h"
#include "sim/DeviceModel.h"
#include "sim/Scenario.h"

namespace ktx::sim {
namespace {

std::string replyAt(DeviceModel& model, int64_t nowMs)
{
    std::string reply;
    model.execute("CANTEST;$", nowMs, reply);
    return reply;
}

TEST(CanSimTest, RepliesDecodeIntoTheVehicle)
{
    DeviceModel model(defaultScenario());
    CanModule& can = *model.module<CanModule>();
    can::CanGrids grids;
    std::set<uint32_t> undecoded;
    for (int poll = 0; poll < 8; ++poll) {
        const int64_t nowMs = 30000 + poll * 250;
        const auto frames = can::parseCanReply(replyAt(model, nowMs));
        ASSERT_TRUE(frames) << poll;
        EXPECT_EQ(std::count_if(frames->begin(), frames->end(), [](const can::CanSlot& s) { return s.id == 0; }), 1);
        const can::CanView view = can::decodeFrames(*frames, grids, ".");
        for (bool present : view.lampsPresent)
            EXPECT_TRUE(present);
        for (const can::RowWrite& row : view.canRows)
            undecoded.insert(static_cast<uint32_t>(std::stoul(grids.canGrid.key(row.row), nullptr, 16)));
        const VehicleState v = can.vehicleAt(nowMs);
        EXPECT_EQ(view.panels[can::kSpeed], "88");
        EXPECT_EQ(view.panels[can::kDistance], std::to_string(std::llround(v.distanceM / 5) * 5));
        EXPECT_TRUE(v.cruise && !v.brake && !v.clutch);
    }
    EXPECT_EQ(undecoded.size(), 8u);
    // Two fuel sensors and the tractor and trailer weights: the same groups
    // from different source addresses.
    EXPECT_EQ(grids.fuelGrid.rowCount(), 3);
    EXPECT_EQ(grids.axisGrid.rowCount(), 3);
    EXPECT_EQ(grids.canGrid.rowCount(), 9);
}

TEST(CanSimTest, TheDriveCycle)
{
    const CanModule can(defaultScenario());
    struct Moment {
        int64_t ms;
        bool cruise, brake, clutch;
        double speedKmh;
    };
    const Moment moments[] = {
        {1000, false, false, true, 88.0 / 24},
        {12000, false, false, false, 44},
        {60000, true, false, false, 88},
        {96000, false, true, false, 44},
        {110000, false, false, false, 0},
        {132000, false, false, false, 44},  // the next cycle
    };
    double lastDistance = -1;
    double lastFuel = -1;
    for (const Moment& m : moments) {
        SCOPED_TRACE(m.ms);
        const VehicleState v = can.vehicleAt(m.ms);
        EXPECT_EQ(v.cruise, m.cruise);
        EXPECT_EQ(v.brake, m.brake);
        EXPECT_EQ(v.clutch, m.clutch);
        EXPECT_NEAR(v.speedKmh, m.speedKmh, 1e-9);
        EXPECT_GT(v.distanceM, lastDistance);
        EXPECT_GT(v.fuelUsedL, lastFuel);
        lastDistance = v.distanceM;
        lastFuel = v.fuelUsedL;
    }
    // 88 km/h over 0.7 of a 120 s cycle.
    EXPECT_NEAR(can.vehicleAt(120000).distanceM - 1234567890, 88 / 3.6 * 84, 1e-6);
    EXPECT_LT(can.vehicleAt(3600000).fuelLevelPct, can.vehicleAt(0).fuelLevelPct);
}

TEST(CanSimTest, ScenarioKeysAndFaults)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parseScenario(R"({"can": {"startDistanceM": 21055406075, "axleKg": [], "trailerKg": 0,
        "fuelSensors": 1, "undecodedIds": 0, "fourteenLines": 1}})", scenario, error)) << error;
    EXPECT_EQ(scenario.can.startDistanceM, 21055406075);
    DeviceModel fourteen(scenario);
    const std::string reply = replyAt(fourteen, 0);
    EXPECT_FALSE(can::parseCanReply(reply));
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 15);  // the name's line and fourteen frames

    scenario.can.fourteenLines = 0;
    DeviceModel sparse(scenario);
    const auto frames = can::parseCanReply(replyAt(sparse, 0));
    ASSERT_TRUE(frames);
    EXPECT_EQ(std::count_if(frames->begin(), frames->end(), [](const can::CanSlot& s) { return s.id == 0; }), 6);
    can::CanGrids grids;
    EXPECT_EQ(can::decodeFrames(*frames, grids, ".").panels[can::kDistance], "21055406075");

    scenario.can.garbage = 1;
    DeviceModel garbled(scenario);
    const std::string garbage = replyAt(garbled, 0);
    EXPECT_FALSE(garbage.empty());
    EXPECT_FALSE(can::parseCanReply(garbage));
    scenario.can.capture = false;
    DeviceModel silent(scenario);
    EXPECT_EQ(replyAt(silent, 0), "");

    const std::pair<const char*, const char*> wrong[] = {
        {R"({"can": {"topSpeedKmh": 300}})", "can.topSpeedKmh"},
        {R"({"can": {"axleKg": [1, 2, "x"]}})", "can.axleKg[2]"},
        {R"({"can": {"axleKg": [1,1,1,1,1,1,1,1,1,1,1,1,1,1,1]}})", "can.axleKg"},
        {R"({"can": {"litresPer100Km": -1}})", "can.litresPer100Km"},
        {R"({"can": {"garbage": 2}})", "can.garbage"},
        {R"({"can": {"startDistanceM": 21055406080}})", "can.startDistanceM"},
        {R"({"can": 5})", "can"},
    };
    for (const auto& [json, key] : wrong) {
        Scenario kept;
        EXPECT_FALSE(parseScenario(json, kept, error)) << json;
        EXPECT_EQ(error.substr(0, error.find(':')), key) << error;
        EXPECT_EQ(kept.can.topSpeedKmh, 88);
    }
}

}  // namespace
}  // namespace ktx::sim
