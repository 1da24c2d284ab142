#pragma once
// Scenario values of the accelerometer, read from the scenario's "accel" object.
#include <nlohmann/json_fwd.hpp>

namespace ktx::sim {

class ScenarioReader;

// The device lies on a table that rocks slowly about two axes.
struct AccelScenario {
    int gravity = 64;           // counts per g
    double tiltDeg = 40;        // largest tilt either way, about each axis
    double tiltPeriodS = 20;    // one full rock about the X axis
    int noise = 2;              // +- counts on each axis
};

// Reads root's "accel" object, if present, into out; false (with the reader's
// message naming the key) on a wrong type or range.
bool readAccelScenario(const nlohmann::json& root, AccelScenario& out, ScenarioReader& reader);

}  // namespace ktx::sim
