#pragma once
// One accelerometer reading ("ACCELERATE=x,y,z,m;", m the squared length of
// the vector as the device computes it) and how the tab shows it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ktx::accel {

inline constexpr int kBarMaximum = 128;
inline constexpr int kDeadBand = 6;   // beyond it the green arrow of the direction shows
inline constexpr int kFarOut = 32;    // beyond it the red arrow as well

struct AccelReading {
    int32_t x = 0, y = 0, z = 0;
    int32_t squaredLength = 0;
};

// All four integers, or nothing.
std::optional<AccelReading> scanAccelReading(const char* reply);

// Arrow order: back, front (X below and above), left, right (Y), up, down (Z).
enum Arrow { kBack, kFront, kLeft, kRight, kUp, kDown, kArrowCount };

struct AccelView {
    std::array<std::string, 4> values;   // LabelA1..LabelA4
    std::array<int, 3> axisBars{};       // ProgressBarX..Z, 0..128
    int magnitudeBar = 0;                // AProgressBar, 0..128
    std::array<bool, kArrowCount> green{};
    std::array<bool, kArrowCount> red{};
};
AccelView accelView(const AccelReading& reading);

// What a live plot shows of a poll: X, Y, Z and the vector's length (the
// square root of the device's squared length; NaN for a negative one), or
// NaN everywhere when the poll brought no reading.
enum PlottedAxis { kPlotX, kPlotY, kPlotZ, kPlotMagnitude, kPlottedAxes };
std::array<double, kPlottedAxes> plottedAxes(const std::optional<AccelReading>& reading);

// The whole part of the square root; 0 for a negative value, which has none.
int32_t magnitudeOf(int32_t squaredLength);

}  // namespace ktx::accel
