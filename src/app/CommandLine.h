#pragma once
// The console's command line: no argument, or one of --simulate,
// --simulate=FILE, --help (-h), --version. A wrong argument is named in the
// message, which the caller prints after the program's name.
#include <string>
#include <string_view>
#include <vector>

namespace ktx {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool simulate = false;
    std::string scenarioFile;  // empty: the built-in scenario
    std::string error;         // empty when the arguments are good
};

// arguments without the program's own name.
CommandLine parseCommandLine(const std::vector<std::string_view>& arguments);

}  // namespace ktx
