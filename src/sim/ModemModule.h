#pragma once
// The simulated tracker's the GSM modem: pass-through frames and power commands.
#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class ModemModule : public SimModule {
public:
    explicit ModemModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
};

}  // namespace ktx::sim
