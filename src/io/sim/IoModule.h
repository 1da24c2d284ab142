#pragma once
// Inputs, outputs and counters of the simulated tracker: "DEVICE_TEST,a,b$"
// (switches the two outputs, answers supply, inputs, analogue values and
// counters 1-2) and "ADD_TEST$" (counters 3-8 and inputs 5-8).
#include <array>
#include <cstdint>
#include <functional>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class IoModule : public SimModule {
public:
    explicit IoModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;

    // Where ADD_TEST's antenna supply field comes from (0 without it).
    void setAntennaReading(std::function<int32_t(int64_t nowMs)> reading) { antennaReading_ = std::move(reading); }

    // Output states last received with DEVICE_TEST, {0, 0} at start.
    const std::array<int, 2>& outputs() const { return outputs_; }

    // The values the device reports at model time nowMs, for tests to predict.
    // Noise channels: 0 power, 1 ain1, 2 ain2, 3 battery.
    int analogAt(int channel, int64_t nowMs) const;
    // Counter k (0..7) climbs at its rate from 0 at model time 0.
    int32_t counterAt(int k, int64_t nowMs) const;
    // Device clock in ms; always above 0.
    int32_t deviceTimeAt(int64_t nowMs) const;

private:
    void deviceTestReply(int64_t nowMs, std::string& out) const;
    void addTestReply(int64_t nowMs, std::string& out) const;

    Scenario values_;
    std::array<int, 2> outputs_{0, 0};
    std::function<int32_t(int64_t)> antennaReading_;
};

}  // namespace ktx::sim
