// The whole default line check on the instant simulated tracker in virtual
// time. The waits the protocol itself prescribes (the modem's 13 s power-on,
// the registration and fix retries, the counters' interval, ...) are the
// floor a real run cannot beat; the benchmark reports the run's virtual
// length against that floor, summed in the same run, and the CPU it costs.
#include <benchmark/benchmark.h>

#include <atomic>

#include "BenchScenario.h"
#include "check/CheckRun.h"
#include "check/Profile.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"

namespace {

struct QuietView : ktx::check::CheckView {
    void stepStarted(const ktx::check::StepPlan&, size_t, size_t) override {}
    void stepFinished(const ktx::check::StepRecord&) override {}
};

void BM_DefaultCheck(benchmark::State& state)
{
    ktx::check::Profile profile;
    std::string error;
    if (!ktx::check::parseProfile(ktx::check::defaultProfileText(), profile, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const ktx::sim::Scenario scenario = ktx::bench::instantScenario();
    double virtualS = 0;
    double floorS = 0;
    for (auto _ : state) {
        ktx::VirtualTimeSource clock;
        std::atomic<bool> stop{false};
        ktx::check::StoppableTime time(clock, stop);
        ktx::sim::SimDriver driver(clock, scenario);
        QuietView view;
        const ktx::check::RunRecord record =
            ktx::check::runCheck(driver, time, {0, scenario.serial, scenario.description}, profile, view);
        if (record.outcome != ktx::check::Outcome::Pass) {
            state.SkipWithError("the default check did not pass");
            return;
        }
        virtualS = clock.monotonicUs() / 1e6;
        floorS = clock.sleptMs() / 1e3;  // every sleep the procedures asked for, beeps included
    }
    state.counters["virtual_s"] = virtualS;
    state.counters["waits_s"] = floorS;
    state.counters["over_waits_s"] = virtualS - floorS;
}
BENCHMARK(BM_DefaultCheck)->Unit(benchmark::kMillisecond);

}  // namespace
