#pragma once
// Scenario values of the accelerometer, read from the scenario's "accel" object.

namespace ktx::sim {

// The device lies on a table that rocks slowly about two axes.
struct AccelScenario {
    int gravity = 64;           // counts per g
    double tiltDeg = 40;        // largest tilt either way, about each axis
    double tiltPeriodS = 20;    // one full rock about the X axis
    int noise = 2;              // +- counts on each axis
};

}  // namespace ktx::sim
