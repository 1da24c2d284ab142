#include <gtest/gtest.h>

#include <string>

#include "onewire/OneWireReplies.h"
#include "sim/DeviceModel.h"
#include "onewire/sim/OneWireModule.h"
#include "sim/Scenario.h"
#include "support/SimScenario.h"

namespace ktx::sim {
namespace {

using test::replyTo;

TEST(OneWireSim, IdentifierReadSeesWhatIsOnTheBus)
{
    DeviceModel model(test::scenarioFrom(R"({"onewire": {"bus": ["28A2B3C4D5E6F71E"], "shortIdReplies": 1}})"));
    EXPECT_EQ(replyTo(model, "G1WIRE$").size(), 19u);  // the first one comes short
    const std::string reply = replyTo(model, "G1WIRE$");
    ASSERT_EQ(reply.size(), 20u);
    EXPECT_EQ(onewire::parseIdentifierReply(reply).text, "a2b3c4d5e6f7");

    // Two devices answer together: only their shared bits survive.
    auto* bus = model.module<OneWireModule>();
    bus->setBus({{0x28, 0xF0, 0x0F, 0xFF, 0, 0, 0, 0}, {0x28, 0x3C, 0x3C, 0x01, 0, 0, 0, 0}});
    EXPECT_EQ(onewire::parseIdentifierReply(replyTo(model, "G1WIRE$")).text, "300c01000000");
    // Nobody there: "false", of which the console reads four letters.
    bus->setBus({});
    const std::string none = replyTo(model, "G1WIRE$");
    EXPECT_EQ(none.size(), 21u);
    EXPECT_EQ(onewire::parseIdentifierReply(none.substr(0, 20)).text, "NC");
}

TEST(OneWireSim, TemperaturesPerAddressAndFaults)
{
    DeviceModel model(test::scenarioFrom(R"({"onewire": {"bus": ["28A2B3C4D5E6F71E"], "sensors": [
        {"address": "A2B3C4D5E6F7", "temperature": -17.5},
        {"address": "0102", "temperature": 30, "fault": "noReading"},
        {"address": "0103", "fault": "garbage"},
        {"address": "0104", "fault": "silent"}]}})"));
    EXPECT_EQ(replyTo(model, "GTEMPFROMADDR=a2b3c4d5e6f7;$"), "TEMPFROMADDR=-17.5000;");
    EXPECT_EQ(replyTo(model, "GTEMPFROMADDR=0;$"), "TEMPFROMADDR=-17.5000;");  // the one device on the bus
    EXPECT_EQ(replyTo(model, "GTEMPFROMADDR=0102;$"), "TEMPFROMADDR=-55.0000;");
    EXPECT_EQ(replyTo(model, "GTEMPFROMADDR=ffff;$"), "TEMPFROMADDR=-55.0000;");
    EXPECT_FALSE(onewire::parseTemperatureReply(replyTo(model, "GTEMPFROMADDR=0103;$").c_str()));
    EXPECT_EQ(replyTo(model, "GTEMPFROMADDR=0104;$"), "");

    model.module<OneWireModule>()->setBus({});
    EXPECT_EQ(replyTo(model, "GTEMPFROMADDR=0;$"), "TEMPFROMADDR=-55.0000;");
}

TEST(OneWireSim, ScenarioErrorsNameTheKey)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"({"onewire": {"bus": ["28A2"]}})", "onewire.bus[0]"},
        {R"({"onewire": {"bus": "28A2B3C4D5E6F71E"}})", "onewire.bus"},
        {R"({"onewire": {"sensors": [{"address": "xyz"}]}})", "onewire.sensors[0].address"},
        {R"({"onewire": {"sensors": [{"address": "01", "temperature": 200}]}})", "onewire.sensors[0].temperature"},
        {R"({"onewire": {"sensors": [{"address": "01", "fault": "smoke"}]}})", "onewire.sensors[0].fault"},
        {R"({"onewire": {"noise": -1}})", "onewire.noise"},
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
