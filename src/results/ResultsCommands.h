#pragma once
// What korvantix-check does with the results database: store a finished run
// (or keep it in the outbox), store what waits in the outbox, list a
// tracker's runs, export measurements. Each says on out what it did and on
// err what failed, and answers whether it fully succeeded.
#include <cstdio>
#include <string>

#include "results/ResultsTarget.h"

namespace ktx::results {

struct ResultsPlace {
    ResultsTarget target;
    std::string reportDir;  // the records' folder, which holds the outbox
    bool chosen = false;    // named by the user, not the default file
};

// The database the user named (empty: the default file in reportDir).
ResultsPlace resultsPlaceFor(const std::string& chosen, const std::string& reportDir);

// The run whose record was written to recordPath, then the outbox. true
// when the run is stored (a failure to empty the outbox is only said), or
// when a build without the database was not asked for one.
bool storeFinishedRun(const ResultsPlace& place, const std::string& recordPath, FILE* out, FILE* err);

// true when nothing is left waiting in the outbox.
bool syncOutbox(const ResultsPlace& place, FILE* out, FILE* err);

// One line per run, newest first: start, station, operator, outcome, failed
// steps, tab-separated. A serial without runs is said on err and is no failure.
bool printHistory(const ResultsPlace& place, const std::string& serial, FILE* out, FILE* err);

// fromText and toText as the user typed them ("" for no bound).
bool exportMeasurements(const ResultsPlace& place, const std::string& csvPath, const std::string& fromText,
    const std::string& toText, FILE* out, FILE* err);

}  // namespace ktx::results
