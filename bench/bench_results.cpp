// What keeping a run in the results database costs, next to the check
// itself (BM_DefaultCheck): the default check's record turned into rows and
// stored in a SQLite file, one transaction per run as korvantix-check does,
// and the file's size per run. PostgreSQL is measured by the results tests,
// which start their own server.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "BenchScenario.h"
#include "check/CheckRun.h"
#include "check/Profile.h"
#include "check/RecordFiles.h"
#include "link/VirtualTimeSource.h"
#include "results/ResultsStore.h"
#include "results/RunRows.h"
#include "sim/SimDriver.h"

namespace {

struct SilentView : ktx::check::CheckView {
    void stepStarted(const ktx::check::StepPlan&, size_t, size_t) override {}
    void stepFinished(const ktx::check::StepRecord&) override {}
};

ktx::check::RunRecord defaultRunRecord()
{
    ktx::check::Profile profile;
    std::string error;
    ktx::check::parseProfile(ktx::check::defaultProfileText(), profile, error);
    const ktx::sim::Scenario scenario = ktx::bench::instantScenario();
    ktx::VirtualTimeSource clock;
    std::atomic<bool> stop{false};
    ktx::check::StoppableTime time(clock, stop);
    ktx::sim::SimDriver driver(clock, scenario);
    SilentView view;
    return ktx::check::runCheck(driver, time, {0, scenario.serial, scenario.description}, profile, view);
}

void BM_StoreRunInSqlite(benchmark::State& state)
{
    char pattern[] = "/tmp/ktx-bench-results-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    const std::string file = folder + "/results.sqlite";
    ktx::results::ResultsStore store;
    std::string error;
    if (!store.open({ktx::results::Engine::Sqlite, file}, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    ktx::check::RunRecord record = defaultRunRecord();
    int64_t runs = 0;
    for (auto _ : state) {
        record.startUtcMs += 1000;  // another run each time
        ktx::results::RunRows rows;
        if (!ktx::results::runRowsFromJson(ktx::check::recordJson(record), rows, error) ||
            store.store(rows, folder + "/record.json", error) != ktx::results::Stored::Added) {
            state.SkipWithError(error.c_str());
            break;
        }
        ++runs;
    }
    struct stat info {};
    if (runs > 0 && ::stat(file.c_str(), &info) == 0)
        state.counters["bytes_per_run"] = static_cast<double>(info.st_size) / static_cast<double>(runs);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_StoreRunInSqlite)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
