// The accelerometer reply, what the tab makes of it, and the simulated sensor.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "accel/AccelReading.h"
#include "accel/sim/AccelModule.h"
#include "sim/DeviceModel.h"

namespace ktx::accel {
namespace {

using Arrows = std::array<bool, kArrowCount>;

TEST(AccelReading, PlottedAxesAndLengthOrGaps)
{
    const auto plotted = plottedAxes(AccelReading{-7, 33, 64, 5234});
    EXPECT_EQ(plotted[kPlotX], -7);
    EXPECT_EQ(plotted[kPlotZ], 64);
    EXPECT_DOUBLE_EQ(plotted[kPlotMagnitude], std::sqrt(5234.0));  // not its whole part
    // A negative square has no length: a gap there, the axes still drawn.
    const auto negative = plottedAxes(AccelReading{1, 2, 3, -4});
    EXPECT_EQ(negative[kPlotY], 2);
    EXPECT_TRUE(std::isnan(negative[kPlotMagnitude]));
    for (double value : plottedAxes(std::nullopt))  // the poll got no reading
        EXPECT_TRUE(std::isnan(value));
}

TEST(AccelReading, RepliesNeedAllFourIntegers)
{
    const auto reading = scanAccelReading("ACCELERATE=-7,33,64,5234;");
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->x, -7);
    EXPECT_EQ(reading->y, 33);
    EXPECT_EQ(reading->z, 64);
    EXPECT_EQ(reading->squaredLength, 5234);
    for (const char* reply : {"", "ACCELERATE=1,2,3;", "ACCELERATE=1,2,3,", "ACCELERATE=1;2;3;4;", "ACCEL=1,2,3,4;"})
        EXPECT_EQ(scanAccelReading(reply), std::nullopt) << reply;
}

TEST(AccelReading, ArrowsBarsAndLabels)
{
    const struct {
        AccelReading reading;
        Arrows green, red;
        std::array<int, 3> bars;
        int magnitude;
        const char* firstLabel;
    } cases[] = {
        // Lying flat: only the downward arrows.
        {{0, 0, 64, 4096}, {0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1}, {0, 0, 64}, 64, "0"},
        // The dead band is strict at 6, the red arrow strict at 32.
        {{-6, 6, 32, 10}, {0, 0, 0, 0, 0, 1}, {}, {6, 6, 32}, 3, "-6"},
        {{-7, 7, -32, 0}, {1, 0, 0, 1, 1, 0}, {}, {7, 7, 32}, 0, "-7"},
        {{33, -33, -33, 20000}, {0, 1, 1, 0, 1, 0}, {0, 1, 1, 0, 1, 0}, {33, 33, 33}, 128, "33"},
        // Bars clip at their ends; the label keeps the value.
        {{-200, INT_MIN, INT_MAX, INT_MAX}, {1, 0, 1, 0, 0, 1}, {1, 0, 1, 0, 0, 1}, {128, 128, 128}, 128, "-200"},
        // No square root of a negative length: the bar stays at 0.
        {{0, 0, 0, -4096}, {}, {}, {0, 0, 0}, 0, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstLabel);
        const AccelView view = accelView(c.reading);
        EXPECT_EQ(view.green, c.green);
        EXPECT_EQ(view.red, c.red);
        EXPECT_EQ(view.axisBars, c.bars);
        EXPECT_EQ(view.magnitudeBar, c.magnitude);
        EXPECT_EQ(view.values[0], c.firstLabel);
        EXPECT_EQ(view.values[3], std::to_string(c.reading.squaredLength));
    }
    EXPECT_EQ(accelView({0, INT_MIN, 0, 0}).values[1], "-2147483648");
}

TEST(AccelReading, MagnitudeIsTheWholePartOfTheRoot)
{
    const struct {
        int32_t square, root;
    } cases[] = {{0, 0}, {1, 1}, {3, 1}, {4, 2}, {10, 3}, {4095, 63}, {4096, 64}, {20000, 141},
        {INT32_MAX, 46340}, {46340 * 46340 - 1, 46339}, {-1, 0}, {INT32_MIN, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(magnitudeOf(c.square), c.root) << c.square;
}

TEST(AccelSim, FlatStillDeviceAndARockingOne)
{
    sim::Scenario flat = sim::defaultScenario();
    flat.accel.tiltDeg = 0;
    flat.accel.noise = 0;
    sim::DeviceModel still(flat);
    std::string reply;
    still.execute("GACCELERATE$", 12345, reply);
    EXPECT_EQ(reply, "ACCELERATE=0,0,64,4096;");

    // Over one rock every axis leaves the dead band and the length stays about 1 g.
    sim::DeviceModel rocking(sim::defaultScenario());
    auto* sensor = rocking.module<sim::AccelModule>();
    Arrows seen{};
    for (int64_t t = 0; t < 40000; t += 100) {
        reply.clear();
        rocking.execute("GACCELERATE$", t, reply);
        const auto reading = scanAccelReading(reply.c_str());
        ASSERT_TRUE(reading) << reply;
        const auto axes = sensor->axesAt(t);
        EXPECT_EQ((std::array<int32_t, 3>{reading->x, reading->y, reading->z}), axes);
        EXPECT_EQ(reading->squaredLength, axes[0] * axes[0] + axes[1] * axes[1] + axes[2] * axes[2]);
        EXPECT_NEAR(magnitudeOf(reading->squaredLength), 64, 5);
        const AccelView view = accelView(*reading);
        for (int i = 0; i < kArrowCount; ++i)
            seen[i] = seen[i] || view.green[i];
    }
    // Down the whole time; up never, as the device is never turned over.
    EXPECT_EQ(seen, (Arrows{1, 1, 1, 1, 0, 1}));
}

TEST(AccelSim, ScenarioKeys)
{
    sim::Scenario s;
    std::string error;
    ASSERT_TRUE(sim::parseScenario(R"({"accel": {"gravity": 256, "tiltDeg": 10.5, "tiltPeriodS": 3, "noise": 0}})", s, error))
        << error;
    EXPECT_EQ(s.accel.gravity, 256);
    EXPECT_EQ(s.accel.tiltDeg, 10.5);
    EXPECT_EQ(s.accel.tiltPeriodS, 3);
    EXPECT_EQ(s.accel.noise, 0);
    EXPECT_FALSE(sim::parseScenario(R"({"accel": {"tiltPeriodS": 0}})", s, error));
    EXPECT_EQ(error, "accel.tiltPeriodS: expected a number from 0.1 to 86400");
    EXPECT_FALSE(sim::parseScenario(R"({"accel": {"gravity": 1e9}})", s, error));
    EXPECT_EQ(error, "accel.gravity: expected an integer from 0 to 10000");
}

}  // namespace
}  // namespace ktx::accel
