// korvantix-check's steps, one at a time, against every fault the simulated
// tracker can play, in virtual time. Each row must end within the step's
// own waits, close the link, switch the tracker off again, give the exit
// code the fault calls for, keep a whole record, and leave the next run on
// the tracker made well passing.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "check/CheckBench.h"
#include "faults/FaultScenarios.h"
#include "io/sim/IoModule.h"
#include "check/RecordFiles.h"

namespace ktx::check::test {
namespace {

struct StepFault {
    const char* name;
    std::function<void(sim::SimDriver&)> play;
    // The exit code the run must give: 1 when the tracker's replies cannot
    // be trusted, 0 when they still arrive whole within the step's waits;
    // -1: either (the step may or may not notice, as with a reply whose
    // extra bytes follow a complete answer).
    int exitCode;
};

using ktx::test::every;
using ktx::test::rebooted;

// Before the first reply has arrived: every step is in its first exchange.
int64_t midReplyMs(const sim::SimDriver& driver)
{
    return driver.scenario().latencyMs - 1;
}

const StepFault kStepFaults[] = {
    {"unplugged", [](sim::SimDriver& d) { d.setPlugged(false); }, 1},
    {"unplugged mid-reply", [](sim::SimDriver& d) { d.unplugAfterMs(midReplyMs(d)); }, 1},
    {"silent", [](sim::SimDriver& d) { d.setReplyFaults(every(&sim::Faults::silent)); }, 1},
    {"short replies", [](sim::SimDriver& d) { d.setReplyFaults(every(&sim::Faults::shortReplies)); }, 1},
    {"garbage", [](sim::SimDriver& d) { d.setReplyFaults(every(&sim::Faults::garbage)); }, 1},
    {"CR LF mid-reply", [](sim::SimDriver& d) { d.setReplyFaults(every(&sim::Faults::lineBreaks)); }, -1},
    {"64 KiB reply", [](sim::SimDriver& d) { d.setReplyFaults(every(&sim::Faults::floods)); }, -1},
    {"late, inside each wait", [](sim::SimDriver& d) { d.setRepliesAtWaitEdge(-200); }, 0},
    // A step that asks again may take the late answer to the same question.
    {"late, outside each wait", [](sim::SimDriver& d) { d.setRepliesAtWaitEdge(200); }, -1},
    // A step that tries again after the restart may measure the tracker as
    // it came back.
    {"reboot, new firmware", [](sim::SimDriver& d) { d.rebootAfterMs(midReplyMs(d), 500, rebooted(), false); }, -1},
    {"reboot, new USB device", [](sim::SimDriver& d) { d.rebootAfterMs(midReplyMs(d), 500, rebooted(), true); }, -1},
};

void heal(sim::SimDriver& driver, VirtualTimeSource& clock)
{
    clock.advanceMs(1000);
    driver.pollPlugChange();  // an unplug still due has happened by now
    driver.setReplyFaults({});
    driver.setRepliesAtWaitEdge(std::nullopt);
    driver.setPlugged(true);
}

struct StepRun {
    RunRecord record;
    int64_t elapsedMs;
    bool linkClosed;
    bool switchedOff;  // outputs and modem off after the cleanup
};

StepRun runStep(CheckBench& bench, sim::SimDriver& driver)
{
    const int64_t startUs = bench.clock.monotonicUs();
    StepRun run;
    // The tracker as listed now: after a restart as a new USB device, that one.
    run.record = runCheck(driver, bench.time, Tracker{0, driver.scenario().serial, driver.scenario().description},
                          bench.profile, bench.view);
    run.elapsedMs = (bench.clock.monotonicUs() - startUs) / 1000;
    run.linkClosed = !driver.isOpen();
    run.switchedOff = !driver.device().module<sim::ModemModule>()->powered()
        && driver.device().module<sim::IoModule>()->outputs() == std::array<int, 2>{0, 0};
    return run;
}

// The time limits the profile gives the step itself.
int64_t declaredWaitMs(const StepPlan& stepPlan)
{
    if (stepPlan.type == "gsm")
        return static_cast<int64_t>(stepPlan.registrationS * 1000);
    if (stepPlan.type == "gnss")
        return static_cast<int64_t>(stepPlan.fixS * 1000);
    if (stepPlan.type == "can")
        return static_cast<int64_t>(stepPlan.frameS * 1000);
    return 0;
}

// Numeric values by measurement name, durations left out.
std::map<std::string, double> valuesOf(const RunRecord& record)
{
    std::map<std::string, double> values;
    for (const StepRecord& step : record.steps)
        for (const Measurement& m : step.measurements)
            if (m.value.is_number() && m.units != "s")
                values[m.name] = m.value.get<double>();
    return values;
}

TEST(CheckStepFaultTable, EveryStepMeetsEveryFaultKeepsItsRecordAndPassesAgainAfter)
{
    const Profile full = CheckBench::defaultProfile();
    int rows = 0;
    int passed = 0;
    for (const StepPlan& stepPlan : full.steps) {
        CheckBench bench;
        bench.profile.steps = {stepPlan};
        sim::SimDriver driver(bench.clock, bench.scenario);
        const StepRun healthy = runStep(bench, driver);
        ASSERT_EQ(exitCodeFor(healthy.record), 0) << stepPlan.type;
        driver.setReplyFaults(every(&sim::Faults::silent));
        const StepRun silent = runStep(bench, driver);
        heal(driver, bench.clock);

        for (const StepFault& fault : kStepFaults) {
            SCOPED_TRACE(stepPlan.type + " / " + fault.name);
            const int failuresBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
            fault.play(driver);
            const StepRun faulty = runStep(bench, driver);
            heal(driver, bench.clock);
            const StepRun again = runStep(bench, driver);
            ++rows;

            // Bounded: a fault may cost every read its retry pause on top of
            // a silent tracker's timeouts, and the step its own time limit.
            EXPECT_LE(faulty.elapsedMs,
                      2 * std::max(silent.elapsedMs, healthy.elapsedMs) + declaredWaitMs(stepPlan) + 1000);
            // A value taken is the tracker's answer to that very question:
            // one that holds still on a healthy tracker reads the same, give
            // or take its noise (another answer, say another sensor's, is
            // further off).
            const auto healthyValues = valuesOf(healthy.record);
            const auto againValues = valuesOf(again.record);
            for (const auto& [name, value] : valuesOf(faulty.record))
                if (healthyValues.count(name) && againValues.count(name) && healthyValues.at(name) == againValues.at(name)
                    && name != "sensors found")
                    EXPECT_NEAR(value, healthyValues.at(name), 0.03 * std::abs(healthyValues.at(name))) << name;
            EXPECT_TRUE(faulty.linkClosed);
            const int exitCode = exitCodeFor(faulty.record);
            if (fault.exitCode >= 0) {
                EXPECT_EQ(exitCode, fault.exitCode) << faulty.record.steps[0].message;
            } else {
                EXPECT_TRUE(exitCode == 0 || exitCode == 1) << exitCode;
            }
            if (exitCode != 0) {
                EXPECT_FALSE(faulty.record.steps[0].message.empty() && faulty.record.steps[0].measurements.empty())
                    << "a failed step says what failed";
            }
            // The record of the faulty run is kept whole.
            QTemporaryDir records;
            const WrittenRecord written = writeRecordFiles(faulty.record, records.path().toStdString());
            EXPECT_TRUE(written.ok) << written.error;
            EXPECT_EQ(QDir(records.path()).entryList(QDir::Files).size(), 3);
            // Well again: the tracker is left off and the step passes.
            EXPECT_TRUE(again.switchedOff);
            EXPECT_TRUE(again.linkClosed);
            EXPECT_EQ(exitCodeFor(again.record), 0) << again.record.steps[0].message;

            const bool ok = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count()
                == failuresBefore;
            passed += ok;
            std::printf("%-15s %-24s %7lld ms  exit %d  %s  %s\n", stepPlan.type.c_str(), fault.name,
                        static_cast<long long>(faulty.elapsedMs), exitCode, ok ? "ok  " : "FAIL",
                        faulty.record.steps[0].message.substr(0, 90).c_str());
        }
    }
    std::printf("%zu steps x %zu faults = %d rows, %d passed\n", full.steps.size(), std::size(kStepFaults), rows,
                passed);
}

}  // namespace
}  // namespace ktx::check::test
