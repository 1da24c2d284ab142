#include "app/CommandLine.h"

namespace ktx {

namespace {

constexpr std::string_view kSimulate = "--simulate";
constexpr std::string_view kSimulateWithFile = "--simulate=";

// Reads one argument into line; false with line.error set when it is wrong.
bool readArgument(std::string_view argument, CommandLine& line)
{
    if (argument == "--help" || argument == "-h") {
        line.help = true;
    } else if (argument == "--version") {
        line.version = true;
    } else if (argument == kSimulate) {
        line.simulate = true;
    } else if (argument.starts_with(kSimulateWithFile)) {
        if (argument.size() == kSimulateWithFile.size()) {
            line.error = "missing scenario file after '--simulate='";
            return false;
        }
        line.simulate = true;
        line.scenarioFile = std::string(argument.substr(kSimulateWithFile.size()));
    } else if (argument.starts_with("-")) {
        line.error = "unknown option '" + std::string(argument) + "'";
        return false;
    } else {
        line.error = "unexpected argument '" + std::string(argument) + "'";
        return false;
    }
    return true;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments)
{
    CommandLine line;
    if (arguments.empty() || !readArgument(arguments.front(), line))
        return line;
    // One option at a time: a second one would leave the reader guessing
    // which of the two wins.
    if (arguments.size() > 1) {
        line = CommandLine();
        line.error = "unexpected argument '" + std::string(arguments[1]) + "' (one option at a time)";
    }
    return line;
}

}  // namespace ktx
