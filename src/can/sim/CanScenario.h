#pragma once
// Scenario values of the vehicle on the CAN bus, read from the scenario's "can" object.
#include <cstdint>
#include <vector>

namespace ktx::sim {

struct CanScenario {
    bool capture = true;               // false: CANTEST;$ goes unanswered
    // The drive: a cycle of speeding up, cruising, braking and standing.
    int topSpeedKmh = 88;
    int cycleS = 120;
    int64_t startDistanceM = 1234567890;  // total vehicle distance at start
    double startFuelUsedL = 182345.5;
    double litresPer100Km = 32;
    double idleLitresPerHour = 2;
    double tankLitres = 600;
    double startFuelLevelPct = 75;
    double startEngineHours = 9876.45;
    int serviceKm = 25000;             // distance to service at start
    int coolantC = 85;
    int oilC = 90;
    int fuelC = 30;
    // Axle loads of the tractor (axle 1 first), sent per wheel (positions 1
    // and 2) from source address 0x2F; the trailer's total from 0xC8 with
    // its location not available. 0 kg: no trailer.
    std::vector<int> axleKg{6200, 9800, 9800};
    int trailerKg = 18000;
    int fuelSensors = 2;               // Dash Display from source 0x17, and 0x21
    // Identifiers of groups the console does not decode, cycled through
    // undecodedPerReply at a time; the other slots stay empty.
    int undecodedIds = 8;
    int undecodedPerReply = 2;
    // Shares of replies with only fourteen frame lines, or bytes that are
    // no reply at all.
    double fourteenLines = 0;
    double garbage = 0;
};

}  // namespace ktx::sim
