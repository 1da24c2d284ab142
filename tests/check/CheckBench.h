#pragma once
// A check run on the simulated tracker in virtual time: the scenario and the
// profile can be changed before run().
#include <atomic>
#include <functional>
#include <string>

#include "check/CheckRun.h"
#include "check/Profile.h"
#include "link/VirtualTimeSource.h"
#include "gsm/sim/ModemModule.h"
#include "io/sim/IoModule.h"
#include "sim/Scenario.h"
#include "sim/SimDriver.h"

namespace ktx::check::test {

// Notes the steps and can ask for a stop while a given step waits.
struct ScriptedView : CheckView {
    void stepStarted(const StepPlan& step, size_t, size_t) override { current = step.type; }
    void stepFinished(const StepRecord&) override { current.clear(); }
    void tick() override
    {
        if (!stopDuring.empty() && current == stopDuring && ++ticksInStep > ticksBeforeStop)
            stop->store(true);
    }
    std::string current;
    std::string stopDuring;  // step type; empty: never stop
    int ticksBeforeStop = 0;
    int ticksInStep = 0;
    std::atomic<bool>* stop = nullptr;
};

struct CheckBench {
    VirtualTimeSource clock;
    std::atomic<bool> stop{false};
    StoppableTime time{clock, stop};
    sim::Scenario scenario = sim::defaultScenario();
    Profile profile = defaultProfile();
    ScriptedView view;

    static Profile defaultProfile()
    {
        Profile profile;
        std::string error;
        parseProfile(defaultProfileText(), profile, error);
        return profile;
    }

    StepPlan& step(const std::string& type)
    {
        for (StepPlan& stepPlan : profile.steps)
            if (stepPlan.type == type)
                return stepPlan;
        throw std::logic_error("no step " + type);
    }

    // The run; driver stays for looking at the simulated tracker afterwards.
    RunRecord run()
    {
        driver = std::make_unique<sim::SimDriver>(clock, scenario);
        view.stop = &stop;
        time.setTick([this] { view.tick(); });
        return runCheck(*driver, time, Tracker{0, scenario.serial, scenario.description}, profile, view);
    }

    bool modemPowered() const { return driver->device().module<sim::ModemModule>()->powered(); }
    // Output states last set by DEVICE_TEST.
    const std::array<int, 2>& outputs() const { return driver->device().module<sim::IoModule>()->outputs(); }

    std::unique_ptr<sim::SimDriver> driver;
};

}  // namespace ktx::check::test
