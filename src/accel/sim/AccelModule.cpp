#include "accel/sim/AccelModule.h"

#include <cmath>
#include <numbers>

#include "sim/SimRandom.h"
#include "sim/SimText.h"

namespace ktx::sim {

namespace {

constexpr std::string_view kQuery = "GACCELERATE$";
constexpr int kFirstChannel = 30;  // noise channels of this module
// The roll runs at another pace than the pitch, so the two never line up.
constexpr double kRollPaceRatio = 1.618;

}  // namespace

AccelModule::AccelModule(const Scenario& scenario) : values_(scenario.accel), seed_(scenario.seed) {}

bool AccelModule::handles(std::string_view command) const
{
    return command == kQuery;
}

std::array<int32_t, 3> AccelModule::axesAt(int64_t nowMs) const
{
    const double t = static_cast<double>(nowMs) / 1000.0;
    const double amplitude = values_.tiltDeg * std::numbers::pi / 180.0;
    const double phase = 2 * std::numbers::pi * t / values_.tiltPeriodS;
    const double pitch = amplitude * std::sin(phase);
    const double roll = amplitude * std::sin(phase / kRollPaceRatio + 1.0);
    const double g = values_.gravity;
    const std::array<double, 3> gravity = {
        -g * std::sin(pitch), g * std::cos(pitch) * std::sin(roll), g * std::cos(pitch) * std::cos(roll)};
    std::array<int32_t, 3> axes{};
    for (size_t i = 0; i < axes.size(); ++i)
        axes[i] = static_cast<int32_t>(std::lround(gravity[i]))
            + noiseAt(seed_, kFirstChannel + static_cast<int>(i), nowMs, values_.noise);
    return axes;
}

void AccelModule::reply(std::string_view command, int64_t nowMs, std::string& out)
{
    (void)command;
    const auto axes = axesAt(nowMs);
    int64_t squared = 0;
    out += "ACCELERATE=";
    for (const int32_t axis : axes) {
        appendInt(out, axis);
        out += ',';
        squared += int64_t(axis) * axis;
    }
    appendInt(out, squared);
    out += ';';
}

}  // namespace ktx::sim
