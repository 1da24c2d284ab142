#pragma once
// Runs the results database could not take wait here: a copy of each JSON
// record in a folder beside the records, stored and removed by the next run
// or by --sync. Copies are whole files under the record's own (unique) name,
// so several processes may fill and empty one outbox at once.
#include <string>
#include <vector>

#include "base/FileWriter.h"

namespace ktx::results {

constexpr const char kOutboxFolder[] = "results-outbox";

std::string outboxFolder(const std::string& reportDir);

// Copies the record (its JSON text, as written to recordPath) into the outbox.
WriteResult keepInOutbox(const std::string& reportDir, const std::string& recordPath, const std::string& json);

// The waiting copies (full paths), oldest name first; none without a folder.
std::vector<std::string> outboxEntries(const std::string& reportDir);

}  // namespace ktx::results
