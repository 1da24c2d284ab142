#pragma once
// A live plot's samples as CSV that any spreadsheet reads the same way
// whatever the desktop's locale: UTF-8, a header row, ',' between fields,
// '.' as the decimal separator, times in ISO 8601 UTC, an empty field where
// a series had no value. Numbers are written in the shortest form that reads
// back to the same double.
#include <cstdint>
#include <string>
#include <vector>

#include "base/SampleRing.h"

namespace ktx {

// "2026-12-09T12:00:00.250Z"
std::string isoUtcText(int64_t wallUtcMs);

// header: the series' names (UTF-8), one per series of the ring.
std::string samplesCsv(const SampleRing& ring, const std::vector<std::string>& seriesNames);

}  // namespace ktx
