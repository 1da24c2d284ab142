#pragma once
// The simulated tracker's the CAN capture.
#include "sim/Scenario.h"
#include "sim/SimModule.h"

namespace ktx::sim {

class CanModule : public SimModule {
public:
    explicit CanModule(const Scenario& scenario);

    bool handles(std::string_view command) const override;
    void reply(std::string_view command, int64_t nowMs, std::string& out) override;
};

}  // namespace ktx::sim
