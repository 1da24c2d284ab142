#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "check/CheckBench.h"
#include "check/RecordFiles.h"
#include "check/Steps.h"

namespace ktx::check::test {
namespace {

std::set<std::string> stepsWith(const RunRecord& record, std::initializer_list<Outcome> outcomes)
{
    std::set<std::string> names;
    for (const StepRecord& step : record.steps)
        if (std::find(outcomes.begin(), outcomes.end(), step.outcome) != outcomes.end())
            names.insert(step.type);
    return names;
}

const Measurement* measurement(const RunRecord& record, const std::string& type, const std::string& name)
{
    for (const StepRecord& step : record.steps)
        if (step.type == type)
            for (const Measurement& m : step.measurements)
                if (m.name == name)
                    return &m;
    return nullptr;
}

bool sent(const std::vector<Exchange>& log, const std::string& text)
{
    return std::any_of(log.begin(), log.end(), [&](const Exchange& e) { return e.kind == "sent" && e.text == text; });
}

TEST(CheckRun, DefaultProfilePassesOnTheSimulatedTrackerAndLeavesItSwitchedOff)
{
    CheckBench bench;
    const RunRecord record = bench.run();

    EXPECT_EQ(record.outcome, Outcome::Pass);
    EXPECT_EQ(exitCodeFor(record), 0);
    ASSERT_EQ(record.steps.size(), bench.profile.steps.size());
    EXPECT_EQ(stepsWith(record, {Outcome::Fail, Outcome::Error, Outcome::Marginal}), std::set<std::string>{});
    EXPECT_EQ(record.device.serial, "1234567");
    EXPECT_EQ(record.device.firmware, "SUMI-5.7ab");
    EXPECT_EQ(record.device.version, 57);
    // Every measurement carries its value, and the exchange behind it is kept.
    const Measurement* supply = measurement(record, "supply", "supply");
    ASSERT_NE(supply, nullptr);
    EXPECT_NEAR(supply->value.get<double>(), 12.8, 0.3);
    EXPECT_EQ(supply->units, "V");
    EXPECT_TRUE(sent(record.steps[0].log, "FL_READ_VERSION$"));
    EXPECT_FALSE(bench.modemPowered());
    EXPECT_EQ(bench.outputs(), (std::array<int, 2>{0, 0}));
    EXPECT_TRUE(sent(record.cleanupLog, "WORKGSM=0;$"));
}

// Each fault of the tracker fails its own step and no other.
TEST(CheckRun, EachScenarioFaultFailsExactlyItsStep)
{
    struct Case {
        const char* fault;
        std::function<void(sim::Scenario&)> inject;
        const char* step;
    };
    const Case cases[] = {
        {"silent modem", [](sim::Scenario& s) { s.modem.answerMs = 120000; }, "gsm"},
        {"broken antenna", [](sim::Scenario& s) { s.gnss.antenna = sim::AntennaWiring::Break; }, "gnss"},
        {"1-Wire sensor missing", [](sim::Scenario& s) { s.onewire.sensors.erase(s.onewire.sensors.begin() + 3); },
            "onewire"},
        {"fuel sensor silent", [](sim::Scenario& s) { s.rs485.fuelSensors.erase(s.rs485.fuelSensors.begin() + 1); },
            "rs485"},
        {"no CAN frames", [](sim::Scenario& s) { s.can.capture = false; }, "can"},
        {"accelerometer reads 0", [](sim::Scenario& s) { s.accel.gravity = 0; }, "accel"},
        {"SIM card absent", [](sim::Scenario& s) { s.modem.sim = "absent"; }, "gsm"},
        {"not registered", [](sim::Scenario& s) { s.modem.registration = 2; }, "gsm"},
        {"extender bad CRC", [](sim::Scenario& s) { s.rs485.badChecksum = 1; }, "rs485"},
        {"supply low", [](sim::Scenario& s) { s.power = 200; }, "supply"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        CheckBench bench;
        c.inject(bench.scenario);
        const RunRecord record = bench.run();
        EXPECT_EQ(stepsWith(record, {Outcome::Fail, Outcome::Error}), std::set<std::string>{c.step});
        EXPECT_EQ(exitCodeFor(record), 1);
        EXPECT_FALSE(bench.modemPowered());
        EXPECT_EQ(bench.outputs(), (std::array<int, 2>{0, 0}));
    }
}

TEST(CheckRun, RegistrationIsRetriedUntilItsTimeLimit)
{
    CheckBench bench;
    bench.scenario.modem.registration = 2;  // searching for ever
    bench.step("gsm").registrationS = 7;
    const RunRecord record = bench.run();
    const StepRecord& gsm = record.steps[4];
    ASSERT_EQ(gsm.type, "gsm");
    const auto queries = std::count_if(gsm.log.begin(), gsm.log.end(),
        [](const Exchange& e) { return e.kind == "sent" && e.text.find("AT+CGREG?") != std::string::npos; });
    // One query about every second (each takes its own 110 ms) for 7 s.
    EXPECT_GE(queries, 6);
    EXPECT_LE(queries, 8);
    EXPECT_EQ(measurement(record, "gsm", "registration time")->outcome, Outcome::Fail);
}

TEST(CheckRun, OptionalStepFailingIsMarginalAndSkippedStepsDoNothing)
{
    CheckBench bench;
    bench.scenario.accel.gravity = 0;
    bench.step("accel").optional = true;
    bench.step("gsm").skip = true;
    const RunRecord record = bench.run();

    EXPECT_EQ(record.outcome, Outcome::Marginal);
    EXPECT_EQ(exitCodeFor(record), 0);
    EXPECT_EQ(stepsWith(record, {Outcome::Marginal}), std::set<std::string>{"accel"});
    EXPECT_EQ(measurement(record, "accel", "magnitude")->outcome, Outcome::Fail);  // kept as measured
    EXPECT_EQ(stepsWith(record, {Outcome::Skipped}), std::set<std::string>{"gsm"});
    EXPECT_TRUE(record.steps[4].log.empty());
    EXPECT_FALSE(sent(record.cleanupLog, "WORKGSM=0;$"));  // the modem was never switched on
}

TEST(CheckRun, StopDuringGsmEndsThatStepAsErrorAndStillSwitchesTheModemOff)
{
    CheckBench bench;
    bench.view.stopDuring = "gsm";
    bench.view.ticksBeforeStop = 40;  // two seconds into the power-on wait
    const RunRecord record = bench.run();

    EXPECT_TRUE(record.interrupted);
    EXPECT_EQ(exitCodeFor(record), 2);
    EXPECT_EQ(stepsWith(record, {Outcome::Error}), std::set<std::string>{"gsm"});
    for (size_t i = 5; i < record.steps.size(); ++i)
        EXPECT_EQ(record.steps[i].outcome, Outcome::Skipped) << record.steps[i].name;
    EXPECT_FALSE(bench.modemPowered());
    EXPECT_TRUE(sent(record.cleanupLog, "WORKGSM=0;$"));
    // The stop cut the 13 s power-on wait short.
    EXPECT_LT(record.steps[4].durationMs, 4000);
}

// A tracker that answers nothing at all is "error" in every step, never a
// plain "fail".
TEST(CheckRun, ASilentTrackerIsAnErrorInEveryStep)
{
    CheckBench bench;
    bench.scenario.faults.silent = 1;
    bench.step("gsm").registrationS = 2;
    const RunRecord record = bench.run();
    EXPECT_EQ(stepsWith(record, {Outcome::Fail, Outcome::Pass, Outcome::Marginal}), std::set<std::string>{});
    EXPECT_EQ(record.outcome, Outcome::Error);
    for (const StepRecord& step : record.steps)
        for (const Measurement& m : step.measurements)
            EXPECT_TRUE(m.outcome == Outcome::Error || m.name == "serial") << step.name << ": " << m.name;
    EXPECT_EQ(exitCodeFor(record), 1);
}

// The tracker drops off USB mid-step and a device with another serial comes
// back at the same place: the step may not measure that one and record it
// under the serial the run is about.
TEST(CheckRun, ADeviceThatCameBackAsAnotherIsNotMeasured)
{
    CheckBench bench;
    bench.profile.steps = {bench.step("can")};
    sim::SimDriver driver(bench.clock, bench.scenario);
    sim::Scenario other = sim::defaultScenario();
    other.serial = "7654321";
    driver.rebootAfterMs(bench.scenario.latencyMs + 1, 500, other, true);
    const RunRecord record = runCheck(driver, bench.time, Tracker{0, bench.scenario.serial, bench.scenario.description},
                                      bench.profile, bench.view);
    EXPECT_EQ(record.device.serial, "1234567");
    EXPECT_EQ(exitCodeFor(record), 1) << record.steps[0].message;
    EXPECT_EQ(stepsWith(record, {Outcome::Pass, Outcome::Marginal}), std::set<std::string>{});
}

TEST(CheckRun, ARunThatMeasuredNothingIsNotTested)
{
    CheckBench bench;
    for (StepPlan& stepPlan : bench.profile.steps)
        stepPlan.skip = true;
    const RunRecord record = bench.run();
    EXPECT_TRUE(nothingTested(record));
    EXPECT_STREQ(verdictName(record), "not tested");
    EXPECT_EQ(exitCodeFor(record), 3);
    EXPECT_EQ(nlohmann::json::parse(recordJson(record))["outcome"], "not tested");
    EXPECT_NE(recordHtml(record).find("НЕ ПРОВЕРЕН"), std::string::npos);
    EXPECT_EQ(recordHtml(record).find("ГОДЕН"), std::string::npos);
}

// The record keeps the commands but not the SIM PIN or the access point's
// user and password.
TEST(CheckRun, TheRecordHidesTheProfilesSecrets)
{
    CheckBench bench;
    bench.scenario.modem.sim = "pin";
    bench.scenario.modem.simPin = "4719";
    StepPlan& gsm = bench.step("gsm");
    gsm.pin = "4719";
    gsm.gprs = true;
    gsm.apn = "internet.line";
    gsm.apnUser = "lineuser";
    gsm.apnPassword = "Pa55word";
    const RunRecord record = bench.run();
    EXPECT_EQ(measurement(record, "gsm", "SIM ready")->outcome, Outcome::Pass);
    const std::string json = recordJson(record);
    EXPECT_NE(json.find(R"(AT+CPIN=\"***\")"), std::string::npos);
    EXPECT_NE(json.find("internet.line"), std::string::npos);
    for (const char* secret : {"4719", "lineuser", "Pa55word"})
        EXPECT_EQ(json.find(secret), std::string::npos) << secret;
}

TEST(CheckRun, OutputReadbackFollowsTheWiring)
{
    CheckBench bench;
    // Nothing in the simulated tracker connects output 1 to input 2, which reads 0.
    bench.step("outputs").outputs = {{1, 2}};
    const RunRecord record = bench.run();
    EXPECT_EQ(measurement(record, "outputs", "output 1 on, input 2")->outcome, Outcome::Fail);
    EXPECT_EQ(measurement(record, "outputs", "output 1 off, input 2")->outcome, Outcome::Pass);
    EXPECT_EQ(bench.outputs(), (std::array<int, 2>{0, 0}));
}

TEST(CheckRun, GnssPositionIsJudgedAgainstTheRadius)
{
    CheckBench bench;
    bench.scenario.gnss.latitude += 0.01;  // about 1.1 km north
    const RunRecord record = bench.run();
    const Measurement* distance = measurement(record, "gnss", "distance from the point");
    ASSERT_NE(distance, nullptr);
    EXPECT_NEAR(distance->value.get<double>(), 1112, 20);
    EXPECT_EQ(distance->outcome, Outcome::Fail);
}

TEST(CheckRun, DistanceIsTheGreatCircle)
{
    EXPECT_NEAR(distanceMetres(0, 0, 0, 1), 111195, 1);
    EXPECT_NEAR(distanceMetres(55, 61, 55, 61), 0, 1e-6);
    EXPECT_NEAR(distanceMetres(89.9, 0, 89.9, 180), 22239, 2);
}

}  // namespace
}  // namespace ktx::check::test
