#pragma once
// The simulated tracker's the relay side of a modem firmware update.
#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class TelitModule : public SimModule {
public:
    explicit TelitModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
};

}  // namespace ktx::sim
