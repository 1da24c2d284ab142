#pragma once
// A simulator scenario from JSON text, and a sink that keeps the simulated
// tracker's replies in order.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "sim/DeviceModel.h"
#include "sim/Scenario.h"

namespace ktx::test {

inline sim::Scenario scenarioFrom(const char* json)
{
    sim::Scenario scenario;
    std::string error;
    EXPECT_TRUE(sim::parseScenario(json, scenario, error)) << error;
    return scenario;
}

struct CollectedReplies : sim::ReplySink {
    std::vector<std::string> replies;
    void onReply(std::string_view reply, int64_t) override { replies.emplace_back(reply); }
};

}  // namespace ktx::test
