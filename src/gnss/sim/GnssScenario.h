#pragma once
// Scenario values of the GNSS receiver, its antenna and the real-time clock, read from the scenario's "gnss" object.
#include <cstdint>

namespace ktx::sim {

enum class AntennaWiring { Normal, Break, Short };
enum class ReceiverKind { Gps, Glonass, Unreported };

struct GnssScenario {
    AntennaWiring antenna = AntennaWiring::Normal;  // "normal", "break", "short"
    // Off: the antenna supply reads 1023 and there is no fix until GPS_START$.
    bool receiverOn = true;
    int acquireMs = 30000;   // from GPS_START$ to the first valid fix
    bool fixValid = true;    // false: the receiver never gets a valid fix
    ReceiverKind receiver = ReceiverKind::Gps;  // "gps", "glonass", "none" (three POINT words)
    double latitude = 55.1520575;   // degrees, south negative
    double longitude = 61.3909445;  // degrees, west negative
    int positionNoise = 300;  // +- units of 0.00001 minute, changing every second
    int64_t clockOffsetS = 0;  // the device clock ahead of UTC (negative: behind) at start
};

}  // namespace ktx::sim
