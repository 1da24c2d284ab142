#pragma once
// The simulated tracker's RS-485 bus: "LLSTEST=<8 addresses>;$" polls the
// fuel level sensors, "S485=5:7:50:19200:<frame>;" passes a frame to the
// input extender and returns its answer.
#include <cstdint>
#include <string>

#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class Rs485Module : public SimModule {
public:
    explicit Rs485Module(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
    bool endsAtSemicolon(std::string_view commandStart) const override;
    int64_t lastReplyDelayMs() const override { return lastDelayMs_; }

    // Inputs 9 to 24 as the console should show them from now on.
    void setExtenderInputs(const std::array<int, 16>& inputs) { values_.extenderInputs = inputs; }
    const Rs485Scenario& values() const { return values_; }
    // Level of the sensor at address at model time nowMs; -1 for no sensor.
    int levelAt(std::string_view address, int64_t nowMs) const;

    // An address with no sensor answers this level and temperature.
    static constexpr int kAbsent = -1;
    // Bus time of one poll beyond the usual latency: the firmware asks the
    // eight sensors in turn; the extender answers within its 50 ms window.
    static constexpr int64_t kFuelPollMs = 40;
    static constexpr int64_t kExtenderAnswerMs = 12;

private:
    void fuelReply(std::string_view addresses, int64_t nowMs, std::string& out) const;
    void extenderReply(std::string_view frame, std::string& out);
    const FuelSensor* sensorAt(std::string_view address) const;

    Rs485Scenario values_;
    uint64_t seed_;
    uint64_t answers_ = 0;
    int64_t lastDelayMs_ = 0;
};

}  // namespace ktx::sim
