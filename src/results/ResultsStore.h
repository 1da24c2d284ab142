#pragma once
// The results database: every stored check run with its steps and
// measurements, in a SQLite file or on a PostgreSQL server through the same
// statements. The program creates and migrates the schema itself.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "results/ResultsTarget.h"
#include "results/RunRows.h"

namespace ktx::results {

// A step as the profile named it, with its type (the window titles a step
// by its type when the profile gave it no name of its own).
struct StepName {
    std::string name, type;
};

// A tracker's run as --history and the window list it.
struct HistoryRun {
    std::string runId, start, station, operatorName, outcome;
    bool interrupted = false;
    std::string recordFile;             // the JSON record where it was written; empty when not known
    std::vector<StepName> failedSteps;  // failed or unanswered, in run order
};

// One measurement with its run and step, for the CSV export.
struct ExportRow {
    std::string runId, serial, station, operatorName, runStart, runOutcome;
    std::string stepName, stepType, stepOutcome;
    std::string name;
    std::optional<std::string> value;
    std::string units;
    std::optional<double> low, high;
    std::string outcome;
};

enum class Stored { Added, AlreadyThere, Failed };

// false in a build without the database library (-DKTX_RESULTS_DB=OFF).
bool resultsDatabaseBuilt();

class ResultsStore {
public:
    // The schema this program writes; a database at a newer one is refused.
    static constexpr int kSchemaVersion = 2;
    static constexpr int kConnectSeconds = 10;

    ResultsStore();
    ~ResultsStore();
    ResultsStore(const ResultsStore&) = delete;
    ResultsStore& operator=(const ResultsStore&) = delete;

    // Connects, and creates or migrates the schema (all pending migrations
    // in one transaction). false with a message saying what and where.
    bool open(const ResultsTarget& target, std::string& error);

    // One run in one transaction; a run already stored is left alone.
    Stored store(const RunRows& run, const std::string& recordFile, std::string& error);

    // A tracker's runs, newest first.
    bool history(const std::string& serial, std::vector<HistoryRun>& runs, std::string& error);

    // The measurements of the runs started from fromIso up to toIso (both
    // "YYYY-MM-DDTHH:MM:SS.mmmZ", inclusive), oldest run first.
    bool measurements(const std::string& fromIso, const std::string& toIso, std::vector<ExportRow>& rows,
        std::string& error);

private:
    struct Session;
    std::unique_ptr<Session> session_;
    std::string shown_;  // the target for messages
};

}  // namespace ktx::results
