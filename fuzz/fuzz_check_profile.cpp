// Check profiles on arbitrary bytes; a profile that reads is run on the
// instant simulated tracker in virtual time, and its record must come out as
// JSON that reads back.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "check/CheckRun.h"
#include "check/Profile.h"
#include "check/RecordFiles.h"
#include "link/VirtualTimeSource.h"
#include "sim/Scenario.h"
#include "sim/SimDriver.h"

namespace {

struct QuietView : ktx::check::CheckView {
    void stepStarted(const ktx::check::StepPlan&, size_t, size_t) override {}
    void stepFinished(const ktx::check::StepRecord&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ktx::check::Profile profile;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ktx::check::parseProfile(text, profile, error))
        return error.empty() ? (std::abort(), 0) : 0;

    ktx::sim::Scenario scenario = ktx::sim::defaultScenario();
    scenario.latencyMs = 0;
    scenario.chunkIntervalUs = 0;
    ktx::VirtualTimeSource clock;
    std::atomic<bool> stop{false};
    ktx::check::StoppableTime time(clock, stop);
    ktx::sim::SimDriver driver(clock, scenario);
    QuietView view;
    const ktx::check::RunRecord record =
        ktx::check::runCheck(driver, time, {0, scenario.serial, scenario.description}, profile, view);
    if (nlohmann::json::parse(ktx::check::recordJson(record), nullptr, false).is_discarded())
        std::abort();
    ktx::check::recordHtml(record);
    ktx::check::recordJunit(record);
    return 0;
}
