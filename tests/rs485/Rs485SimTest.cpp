#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rs485/ExtenderFrame.h"
#include "rs485/FuelSensors.h"
#include "sim/DeviceModel.h"
#include "rs485/sim/Rs485Module.h"
#include "sim/Scenario.h"
#include "support/SimScenario.h"

namespace ktx::sim {
namespace {

using Collected = test::CollectedReplies;

TEST(Rs485Sim, FuelSensorsAnswerPerAddress)
{
    DeviceModel model(test::scenarioFrom(R"({"rs485": {"fuelSensors": [
        {"address": "1", "level": 1200, "temperature": 21}, {"address": "17", "level": 4095, "temperature": -3}]}})"));
    std::string reply;
    model.execute("LLSTEST=1,,3,17,,,,;$", 0, reply);
    const auto readings = rs485::parseFuelReply(reply.c_str());
    ASSERT_TRUE(readings) << reply;
    EXPECT_EQ((*readings)[0].level, 1200);
    EXPECT_EQ((*readings)[0].temperature, 21);
    EXPECT_EQ((*readings)[1].level, Rs485Module::kAbsent);  // empty field
    EXPECT_EQ((*readings)[2].level, Rs485Module::kAbsent);  // nobody at 3
    EXPECT_EQ((*readings)[3].level, 4095);
    EXPECT_EQ((*readings)[3].temperature, -3);
}

TEST(Rs485Sim, ExtenderAnswersTheRequestAfterItsSemicolon)
{
    DeviceModel model(test::scenarioFrom(R"({"rs485": {"extenderInputs": [1,0,0,0,0,0,0,0, 1,0,0,0,0,0,0,1]}})"));
    Collected sink;
    model.receive(rs485::extenderCommand(), 0, sink);
    ASSERT_EQ(sink.replies.size(), 1u);
    EXPECT_EQ(sink.replies[0], "S485=7:3EFD0700FE81A5;");
    const rs485::ExtenderAnswer answer = rs485::parseExtenderAnswer(sink.replies[0].c_str());
    EXPECT_EQ(answer.check, rs485::AnswerCheck::Accepted);
    EXPECT_EQ(rs485::extenderInputStates(answer.p(), answer.m()),
        (std::array<bool, 16>{1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}));

    // Another frame reaches nothing on the bus.
    sink.replies.clear();
    model.receive("S485=5:7:50:19200:31FD0500A6;", 10, sink);
    EXPECT_TRUE(sink.replies.empty());
}

TEST(Rs485Sim, ChecksumFaultAndAbsentExtender)
{
    DeviceModel faulty(test::scenarioFrom(R"({"rs485": {"badChecksum": true}})"));
    std::string reply;
    faulty.execute(rs485::extenderCommand(), 0, reply);
    EXPECT_EQ(rs485::parseExtenderAnswer(reply.c_str()).check, rs485::AnswerCheck::CrcMismatch);

    DeviceModel absent(test::scenarioFrom(R"({"rs485": {"extenderPresent": false}})"));
    reply.clear();
    absent.execute(rs485::extenderCommand(), 0, reply);
    EXPECT_TRUE(reply.empty());
}

TEST(Rs485Sim, ScenarioErrorsNameTheKey)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"({"rs485": {"fuelSensors": [{"level": 3}]}})", "rs485.fuelSensors[0].address"},
        {R"({"rs485": {"fuelSensors": [{"address": "1", "temperature": 300}]}})", "rs485.fuelSensors[0].temperature"},
        {R"({"rs485": {"extenderInputs": [1, 0]}})", "rs485.extenderInputs"},
        {R"({"rs485": {"extenderInputs": [2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]}})", "rs485.extenderInputs[0]"},
        {R"({"rs485": {"badChecksum": 2}})", "rs485.badChecksum"},
        {R"({"rs485": []})", "rs485"},
    };
    for (const auto& [json, key] : cases) {
        Scenario s;
        std::string error;
        EXPECT_FALSE(parseScenario(json, s, error)) << json;
        EXPECT_TRUE(error.starts_with(key)) << error;
    }
}

}  // namespace
}  // namespace ktx::sim
