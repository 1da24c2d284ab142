#include "results/ResultsCommands.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/FileWriter.h"
#include "base/RegularFile.h"
#include "results/ExportCsv.h"
#include "results/Outbox.h"
#include "results/ResultsStore.h"
#include "results/RunRows.h"

namespace ktx::results {
namespace {

// Far above any record the check writes; a bigger file is no record.
constexpr size_t kMaxRecordBytes = 64u << 20;

void say(FILE* stream, const std::string& line)
{
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
}

void complain(FILE* err, const std::string& line) { say(err, "korvantix-check: " + line); }

bool readRecord(const std::string& path, std::string& text, std::string& error)
{
    int errorNumber = 0;
    switch (readRegularFile(path, kMaxRecordBytes, text, &errorNumber)) {
    case FileReadResult::Ok: return true;
    case FileReadResult::NotRegular: return (error = path + ": not a regular file"), false;
    case FileReadResult::TooLarge: return (error = path + ": too large for a record"), false;
    default: return (error = path + ": " + std::strerror(errorNumber)), false;
    }
}

// Where the window will look for the record: an absolute path when the
// folder resolves.
std::string absoluteRecordPath(const std::string& reportDir, const std::string& name)
{
    char resolved[PATH_MAX];
#ifdef _WIN32
    const bool known = ::_fullpath(resolved, reportDir.c_str(), sizeof resolved) != nullptr;
#else
    const bool known = ::realpath(reportDir.c_str(), resolved) != nullptr;
#endif
    const std::string folder = known ? std::string(resolved) : reportDir;
    return folder + "/" + name;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Stores one record file; its name in the report folder is kept with the run.
Stored storeRecordFile(ResultsStore& store, const std::string& path, const std::string& reportDir,
    std::string& text, std::string& error)
{
    if (!readRecord(path, text, error))
        return Stored::Failed;
    RunRows run;
    if (!runRowsFromJson(text, run, error)) {
        error = path + ": " + error;
        return Stored::Failed;
    }
    return store.store(run, absoluteRecordPath(reportDir, baseName(path)), error);
}

std::string runs(size_t count) { return std::to_string(count) + (count == 1 ? " run" : " runs"); }

// Stores what waits in the outbox on an open database; true when it is empty.
bool drainOutbox(ResultsStore& store, const ResultsPlace& place, FILE* out, FILE* err)
{
    size_t stored = 0, left = 0;
    for (const std::string& entry : outboxEntries(place.reportDir)) {
        std::string text, error;
        const Stored result = storeRecordFile(store, entry, place.reportDir, text, error);
        if (result == Stored::Failed) {
            complain(err, error);
            ++left;
            continue;
        }
        // Another process emptying the same outbox may have removed it first.
        if (::unlink(entry.c_str()) != 0 && errno != ENOENT) {
            complain(err, entry + ": stored, but could not be removed from the outbox: " + std::strerror(errno));
            ++left;
            continue;
        }
        ++stored;
    }
    if (stored > 0)
        say(out, "results: " + runs(stored) + " from the outbox stored in " + shownTarget(place.target));
    if (left > 0)
        complain(err, runs(left) + (left == 1 ? " still waits" : " still wait") + " in the outbox " + outboxFolder(place.reportDir));
    return left == 0;
}

}  // namespace

ResultsPlace resultsPlaceFor(const std::string& chosen, const std::string& reportDir)
{
    const std::string database = chosen.empty() ? reportDir + "/" + kDefaultResultsFile : chosen;
    return {parseResultsTarget(database), reportDir, !chosen.empty()};
}

bool storeFinishedRun(const ResultsPlace& place, const std::string& recordPath, FILE* out, FILE* err)
{
    if (!resultsDatabaseBuilt() && !place.chosen)
        return true;
    std::string text, error;
    ResultsStore store;
    Stored result = Stored::Failed;
    if (store.open(place.target, error))
        result = storeRecordFile(store, recordPath, place.reportDir, text, error);
    if (result == Stored::Failed) {
        complain(err, error);
        if (text.empty() && !readRecord(recordPath, text, error)) {
            complain(err, "the run is not kept in the outbox: " + error);
            return false;
        }
        if (const WriteResult kept = keepInOutbox(place.reportDir, recordPath, text); !kept) {
            complain(err, "the run could not be kept in the outbox: " + kept.error);
            return false;
        }
        complain(err, "the run waits in the outbox " + outboxFolder(place.reportDir) +
                          "; the next run or korvantix-check --sync stores it");
        return false;
    }
    say(out, std::string("results: ") + (result == Stored::Added ? "stored in " : "already stored in ") +
                 shownTarget(place.target));
    drainOutbox(store, place, out, err);
    return true;
}

bool syncOutbox(const ResultsPlace& place, FILE* out, FILE* err)
{
    const size_t waiting = outboxEntries(place.reportDir).size();
    if (waiting == 0) {
        say(out, "results: the outbox " + outboxFolder(place.reportDir) + " is empty");
        return true;
    }
    ResultsStore store;
    std::string error;
    if (!store.open(place.target, error)) {
        complain(err, error);
        complain(err, runs(waiting) + (waiting == 1 ? " still waits" : " still wait") + " in the outbox " + outboxFolder(place.reportDir));
        return false;
    }
    return drainOutbox(store, place, out, err);
}

bool printHistory(const ResultsPlace& place, const std::string& serial, FILE* out, FILE* err)
{
    ResultsStore store;
    std::vector<HistoryRun> history;
    std::string error;
    if (!store.open(place.target, error) || !store.history(serial, history, error)) {
        complain(err, error);
        return false;
    }
    if (history.empty())
        complain(err, "no runs of the tracker " + serial + " in " + shownTarget(place.target));
    for (const HistoryRun& run : history) {
        std::string failed;
        for (const StepName& step : run.failedSteps)
            failed += (failed.empty() ? "" : ", ") + step.name;
        std::fprintf(out, "%s\t%s\t%s\t%s\t%s\n", run.start.c_str(), run.station.c_str(), run.operatorName.c_str(),
            run.outcome.c_str(), failed.c_str());
    }
    std::fflush(out);
    return true;
}

bool exportMeasurements(const ResultsPlace& place, const std::string& csvPath, const std::string& fromText,
    const std::string& toText, FILE* out, FILE* err)
{
    std::string from = "0000-01-01T00:00:00.000Z", to = "9999-12-31T23:59:59.999Z";
    if (!fromText.empty() && !storedTimeBound(fromText, DateBound::From, from))
        return complain(err, "--from " + fromText + ": expected YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ"), false;
    if (!toText.empty() && !storedTimeBound(toText, DateBound::To, to))
        return complain(err, "--to " + toText + ": expected YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ"), false;
    ResultsStore store;
    std::vector<ExportRow> rows;
    std::string error;
    if (!store.open(place.target, error) || !store.measurements(from, to, rows, error)) {
        complain(err, error);
        return false;
    }
    if (const WriteResult written = replaceFile(csvPath, exportCsv(rows)); !written) {
        complain(err, written.error);
        return false;
    }
    say(out, "results: " + std::to_string(rows.size()) + " measurements written to " + csvPath);
    return true;
}

}  // namespace ktx::results
