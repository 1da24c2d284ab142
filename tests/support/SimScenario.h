#pragma once
// A simulator scenario from JSON text, one reply of the simulated tracker,
// and a sink that keeps its replies in order.
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

// The simulated tracker's reply to one command, answered at nowMs.
inline std::string replyTo(sim::DeviceModel& model, std::string_view command, int64_t nowMs = 0)
{
    std::string reply;
    model.execute(command, nowMs, reply);
    return reply;
}

struct CollectedReplies : sim::ReplySink {
    std::vector<std::string> replies;
    void onReply(std::string_view reply, int64_t) override { replies.emplace_back(reply); }
};

}  // namespace ktx::test
