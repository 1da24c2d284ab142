#include "accel/AccelReading.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdio>
#include <cstdlib>

namespace ktx::accel {

namespace {

int barOf(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, 0, kBarMaximum));
}

}  // namespace

std::optional<AccelReading> scanAccelReading(const char* reply)
{
    int x = 0, y = 0, z = 0, m = 0;
    if (std::sscanf(reply, "ACCELERATE=%d,%d,%d,%d;", &x, &y, &z, &m) != 4)
        return std::nullopt;
    return AccelReading{x, y, z, m};
}

int32_t magnitudeOf(int32_t squaredLength)
{
    if (squaredLength <= 0)
        return 0;
    auto root = static_cast<int64_t>(std::sqrt(static_cast<double>(squaredLength)));
    // The double root of a large square may land one off either way.
    while (root * root > squaredLength)
        --root;
    while ((root + 1) * (root + 1) <= squaredLength)
        ++root;
    return static_cast<int32_t>(root);
}

std::array<double, kPlottedAxes> plottedAxes(const std::optional<AccelReading>& reading)
{
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    if (!reading)
        return {kNone, kNone, kNone, kNone};
    const double squared = reading->squaredLength;
    return {double(reading->x), double(reading->y), double(reading->z), squared < 0 ? kNone : std::sqrt(squared)};
}

AccelView accelView(const AccelReading& r)
{
    AccelView v;
    const std::array<int32_t, 3> axes = {r.x, r.y, r.z};
    for (size_t i = 0; i < axes.size(); ++i) {
        const int64_t value = axes[i];
        v.values[i] = std::to_string(value);
        v.axisBars[i] = barOf(std::llabs(value));
        v.green[2 * i] = value < -kDeadBand;
        v.green[2 * i + 1] = value > kDeadBand;
        v.red[2 * i] = value < -kFarOut;
        v.red[2 * i + 1] = value > kFarOut;
    }
    v.values[3] = std::to_string(r.squaredLength);
    v.magnitudeBar = barOf(magnitudeOf(r.squaredLength));
    return v;
}

}  // namespace ktx::accel
