#pragma once
// The record's three files: JSON (the record itself), a one-page HTML report
// and JUnit XML for a line's dashboards. Named by serial and start time,
// never over an earlier run's files.
#include <string>

#include "check/Record.h"

namespace ktx::check {

std::string recordJson(const RunRecord& record);
std::string recordHtml(const RunRecord& record);
std::string recordJunit(const RunRecord& record);

struct WrittenRecord {
    bool ok = false;
    std::string error;  // what could not be written, with the path
    std::string jsonPath, htmlPath, junitPath;
};

// Creates directory (one level) if needed and writes the three files as
// <serial>-<YYYYMMDDTHHMMSSZ>[-N].json/.html/.junit.xml, N counting up past
// names already taken.
WrittenRecord writeRecordFiles(const RunRecord& record, const std::string& directory);

}  // namespace ktx::check
