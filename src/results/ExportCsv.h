#pragma once
// The measurements export: one CSV row per measurement, UTF-8, a header row,
// times in ISO 8601 UTC, numbers with '.' decimals whatever the locale.
#include <string>
#include <vector>

#include "results/ResultsStore.h"

namespace ktx::results {

std::string exportCsv(const std::vector<ExportRow>& rows);

enum class DateBound { From, To };

// "YYYY-MM-DD" (a whole UTC day) or "YYYY-MM-DDTHH:MM:SSZ" as the inclusive
// bound in the stored form "YYYY-MM-DDTHH:MM:SS.mmmZ"; false for anything
// else, an impossible date included.
bool storedTimeBound(const std::string& text, DateBound bound, std::string& iso);

}  // namespace ktx::results
