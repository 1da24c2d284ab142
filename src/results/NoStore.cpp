// The results database in a build without its database library (the
// Windows build): every use says so, and the runs wait in the outbox.
#include "results/ResultsStore.h"

namespace ktx::results {
namespace {
const char kNotBuilt[] = "this build of the program has no results database";
}

struct ResultsStore::Session {};

bool resultsDatabaseBuilt() { return false; }

ResultsStore::ResultsStore() = default;
ResultsStore::~ResultsStore() = default;

bool ResultsStore::open(const ResultsTarget&, std::string& error) { return (error = kNotBuilt), false; }

Stored ResultsStore::store(const RunRows&, const std::string&, std::string& error)
{
    return (error = kNotBuilt), Stored::Failed;
}

bool ResultsStore::history(const std::string&, std::vector<HistoryRun>& runs, std::string& error)
{
    runs.clear();
    return (error = kNotBuilt), false;
}

bool ResultsStore::measurements(const std::string&, const std::string&, std::vector<ExportRow>& rows,
    std::string& error)
{
    rows.clear();
    return (error = kNotBuilt), false;
}

}  // namespace ktx::results
