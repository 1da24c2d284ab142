#pragma once
// The simulated tracker's the RS-485 fuel level sensors and the input extender.
#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class Rs485Module : public SimModule {
public:
    explicit Rs485Module(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
};

}  // namespace ktx::sim
