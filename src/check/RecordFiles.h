#pragma once
// The record's three files: JSON (the record itself), a one-page HTML report
// and JUnit XML for a line's dashboards. Named by serial and start time,
// never over an earlier run's files.
#include <string>
#include <vector>

#include "base/FileWriter.h"
#include "check/Record.h"

namespace ktx::check {

std::string recordJson(const RunRecord& record);
std::string recordHtml(const RunRecord& record);
std::string recordJunit(const RunRecord& record);

// Records hold a tracker's settings: readable by the owner's group at most
// (less what the umask takes away).
constexpr unsigned kRecordFileMode = 0640;

// One file of a record set: its name's ending and its bytes.
struct RecordFile {
    std::string suffix;  // ".json"
    std::string bytes;
};

struct PublishedSet {
    bool ok = false;
    std::string error;               // what could not be written, with the path
    std::vector<std::string> paths;  // the claimed names, in the order of the files given
};

// Publishes one run's files whole or not at all: each is written to a
// temporary file and synced first; then the first stem "<stem>[-N]" whose
// every name is free is claimed exclusively for all of them, so two runs
// never share, mix or overwrite a set. On any failure nothing of the set is
// left behind. stem includes the directory, which must exist.
PublishedSet publishRecordSet(const std::string& stem, const std::vector<RecordFile>& files);

struct WrittenRecord {
    bool ok = false;
    std::string error;  // what could not be written, with the path
    std::string jsonPath, htmlPath, junitPath;
};

// Creates directory (one level; a symlink is followed when link says so: a
// folder the user named, not the program's own) if needed and publishes the
// three files as <serial>-<YYYYMMDDTHHMMSSZ>[-N].json/.html/.junit.xml.
WrittenRecord writeRecordFiles(const RunRecord& record, const std::string& directory,
                               DirectoryLink link = DirectoryLink::Follow);

}  // namespace ktx::check
