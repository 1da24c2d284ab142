#pragma once
// What korvantix-check needs from the system it runs on: its arguments in
// UTF-8, its console, requests to stop, and whether a folder takes files.
#include <atomic>
#include <string>
#include <vector>

namespace ktx::check {

// The command line as UTF-8 strings, with argv-style pointers to them.
class ProgramArguments {
public:
    ProgramArguments(int argc, char** argv);
    int count() const { return static_cast<int>(pointers_.size()) - 1; }
    char** pointers() { return pointers_.data(); }

private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;  // ends with a null, as argv does
};

// Readies standard output for UTF-8 text; true when it is an interactive
// terminal that can show a live progress line.
bool prepareConsoleOutput();

// Ctrl-C, Ctrl-Break, termination and a closed console set stop; the run
// then cuts its wait short, cleans up and keeps its record.
void watchStopRequests(std::atomic<bool>& stop);

// Whether files can be created in dir (an existing folder); the system's
// reason in error when not.
bool folderTakesFiles(const std::string& dir, std::string& error);

}  // namespace ktx::check
