#pragma once
// The simulated tracker's GNSS receiver and its antenna: "GPS_START$"
// powers the receiver, "GPOINT$" answers the last fix as three or four
// POINT words, and the antenna supply reading travels in the ADD_TEST
// record (the input/output module asks for it).
#include <cstdint>
#include <string>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class GnssModule : public SimModule {
public:
    explicit GnssModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;

    // UTC at model time 0, from the PC's clock; the fix's date and time run on from it.
    void setUtcAtStartMs(int64_t utcMs) override { utcAtStartMs_ = utcMs; }

    // The antenna supply reading at model time nowMs: about 970 when
    // normal (with the scenario's analogue noise), above 980 on a break, low
    // on a short, 1023 with the receiver off.
    int32_t antennaReading(int64_t nowMs) const;
    bool receiverOn() const { return on_; }
    // "POINT=..." as the device answers at nowMs (no line end).
    void appendPoint(int64_t nowMs, std::string& out) const;

private:
    bool fixValidAt(int64_t nowMs) const;

    GnssScenario values_;
    uint64_t seed_;
    int analogNoise_;  // the antenna reading is an analogue value like the inputs
    int64_t utcAtStartMs_ = 0;
    bool on_;
    int64_t onSinceMs_;
};

// Degrees into a POINT coordinate word: top bit for south or west, bits
// 30..4 the digits DDDMMmmmmm of degrees and decimal minutes (low nibble 0).
// noiseUnits moves the position by that many 0.00001 minutes.
int32_t coordinateWord(double degrees, int noiseUnits);

}  // namespace ktx::sim
