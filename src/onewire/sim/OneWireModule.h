#pragma once
// The simulated tracker's 1-Wire bus: "G1WIRE$" reads the ROM code of what
// is on the bus, "GTEMPFROMADDR=<address>;$" the temperature of the sensor
// at that address ("0": the single device on the bus).
#include <array>
#include <cstdint>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class OneWireModule : public SimModule {
public:
    explicit OneWireModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;

    // What the technician has plugged onto the bus for the identifier read.
    void setBus(std::vector<std::array<uint8_t, 8>> romCodes) { values_.bus = std::move(romCodes); }
    const OneWireScenario& values() const { return values_; }
    // The temperature the sensor at address reports at model time nowMs;
    // -55.0, the firmware's "no reading", for no sensor.
    double temperatureAt(std::string_view address, int64_t nowMs) const;

private:
    void identifierReply(std::string& out);
    void temperatureReply(std::string_view address, int64_t nowMs, std::string& out) const;
    const TemperatureSensor* sensorAt(std::string_view address) const;

    OneWireScenario values_;
    uint64_t seed_;
    int shortIdRepliesLeft_;
};

}  // namespace ktx::sim
