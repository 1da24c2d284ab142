// korvantix-check: checks one tracker against a test profile and keeps its
// record. Exit 0 passed (marginal included), 1 a step failed, 2 a usage or
// setup error or an interrupted run, 3 nothing tested, 4 the results database
// could not take the run or be used.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/RealTimeSource.h"
#include "base/Version.h"
#include "base/FileWriter.h"
#include "check/CheckRun.h"
#include "check/ConsoleProcess.h"
#include "check/Exchanges.h"
#include "check/Profile.h"
#include "check/RecordFiles.h"
#include "check/TerminalView.h"
#include "check/Trackers.h"
#include "link/UsbDriver.h"
#include "results/ExportCsv.h"
#include "results/ResultsCommands.h"
#include "base/TextCodec.h"
#include "sim/SimDriver.h"

namespace {

using namespace ktx;
using namespace ktx::check;

constexpr int kPassed = 0;
constexpr int kUsage = 2;
constexpr int kResultsUnavailable = 4;

std::atomic<bool> stopRequested{false};

struct Options {
    std::string profile;
    std::string serial;
    std::string reportDir = ".";
    std::string station;
    std::string operatorName;
    bool simulate = false;
    std::string scenario;
    bool list = false;
    bool printProfile = false;
    bool help = false;
    bool version = false;
    std::string results;  // the results database; empty: the default file
    bool sync = false;
    std::string historySerial;
    std::string exportFile, exportFrom, exportTo;
};

const char kUsageText[] =
    "Usage: korvantix-check [OPTIONS]\n"
    "Checks one tracker against a test profile and writes its record (JSON, HTML, JUnit XML).\n"
    "\n"
    "  --profile FILE        the test profile (JSON); the built-in one without it\n"
    "  --serial S            the tracker with this USB serial number\n"
    "  --report-dir DIR      where the record goes (default: the current directory)\n"
    "  --station NAME        the test station, for the record\n"
    "  --operator NAME       who ran the check, for the record\n"
    "  --simulate[=SCENARIO] check the simulated tracker (of a scenario file)\n"
    "  --list                list the plugged trackers: serial, description, firmware\n"
    "  --print-profile       print the built-in profile\n"
    "  --results DB          the results database every run is stored in: a SQLite file, or a\n"
    "                        PostgreSQL server (postgresql://... or a libpq conninfo); default\n"
    "                        korvantix-results.sqlite in the report folder\n"
    "  --sync                store the runs waiting in the report folder's results-outbox\n"
    "  --history SERIAL      that tracker's stored runs, newest first\n"
    "  --export FILE.csv     the stored measurements, one row each, of the runs started\n"
    "  --from DATE --to DATE   from and to these UTC days (YYYY-MM-DD[THH:MM:SSZ]; each optional)\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 passed (marginal included), 1 a step failed or did not answer, 2 usage or setup error\n"
    "or interrupted (SIGINT, SIGTERM, SIGHUP), 3 nothing tested (every step skipped),\n"
    "4 checked but not stored in the results database (it waits in the outbox), or --sync, --history\n"
    "or --export could not use the database.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "korvantix-check: %s\nTry 'korvantix-check --help'.\n", message.c_str());
    return kUsage;
}

int setupError(const std::string& message)
{
    std::fprintf(stderr, "korvantix-check: %s\n", message.c_str());
    return kUsage;
}

// false with a message for an unknown option or a missing value.
bool parseOptions(int argc, char** argv, Options& o, std::string& error)
{
    struct Valued {
        const char* name;
        std::string Options::*field;
    };
    const Valued valued[] = {{"--profile", &Options::profile}, {"--serial", &Options::serial},
        {"--report-dir", &Options::reportDir}, {"--station", &Options::station}, {"--operator", &Options::operatorName},
        {"--results", &Options::results}, {"--history", &Options::historySerial}, {"--export", &Options::exportFile},
        {"--from", &Options::exportFrom}, {"--to", &Options::exportTo}};
    struct Flag {
        const char* name;
        bool Options::*field;
    };
    const Flag flags[] = {{"--list", &Options::list}, {"--print-profile", &Options::printProfile},
        {"--help", &Options::help}, {"--version", &Options::version}, {"--sync", &Options::sync}};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        bool known = false;
        for (const Flag& flag : flags)
            if (argument == flag.name)
                known = o.*flag.field = true;
        if (argument == "-h")
            known = o.help = true;
        if (argument == "--simulate" || argument.starts_with("--simulate=")) {
            o.simulate = known = true;
            if (argument.size() > 10) {
                o.scenario = argument.substr(11);
                if (o.scenario.empty())
                    return (error = "--simulate= needs a scenario file"), false;
            }
        }
        for (const Valued& option : valued) {
            const std::string name = option.name;
            if (argument == name) {
                if (i + 1 >= argc)
                    return (error = name + " needs a value"), false;
                o.*option.field = argv[++i];
                known = true;
            } else if (argument.starts_with(name + "=")) {
                o.*option.field = argument.substr(name.size() + 1);
                known = true;
            }
        }
        if (!known)
            return (error = "unknown option " + argument), false;
    }
    if (o.reportDir.empty())
        return (error = "--report-dir needs a folder"), false;
    // Kept in the record's three files, which are UTF-8 text.
    const std::pair<const char*, const std::string&> texts[] = {{"--station", o.station}, {"--operator", o.operatorName}};
    for (const auto& [name, text] : texts)
        if (!isUtf8(text))
            return (error = std::string(name) + " is not UTF-8 text (is the terminal set to another encoding?)"), false;
    return true;
}

// The driver the options ask for: the simulated tracker or the USB chips.
std::unique_ptr<FtDriver> makeDriver(const Options& o, TimeSource& time, std::string& error)
{
    if (!o.simulate)
        return makeUsbDriver(time, error);
    sim::Scenario scenario = sim::defaultScenario();
    if (!o.scenario.empty() && !sim::loadScenarioFile(o.scenario, scenario, error)) {
        error = "scenario " + error;
        return nullptr;
    }
    return std::make_unique<sim::SimDriver>(time, scenario);
}

int listPlugged(FtDriver& driver, TimeSource& time)
{
    std::vector<Tracker> trackers;
    std::string error;
    if (!listTrackers(driver, trackers, error))
        return setupError(error);
    for (const Tracker& tracker : trackers) {
        const std::string version = firmwareVersionOf(driver, time, tracker);
        std::printf("%s\t%s\t%s\n", readableBytes(tracker.serial).c_str(), readableBytes(tracker.description).c_str(),
            version.empty() ? "(no answer)" : version.c_str());
    }
    // As for a check: a script that lists to find a tracker learns there is none.
    if (trackers.empty())
        return setupError("no tracker is plugged in");
    return kPassed;
}

// The report folder must take files before a tracker is touched.
bool reportDirWritable(const std::string& dir, std::string& error)
{
    if (const WriteResult made = ensureDirectory(dir, DirectoryLink::Follow); !made)
        return (error = "report folder: " + made.error), false;
    return folderTakesFiles(dir, error);
}

results::ResultsPlace resultsPlace(const Options& o)
{
    return results::resultsPlaceFor(o.results, o.reportDir);
}

// --sync, --history, --export: the database only, no tracker.
std::optional<int> runResultsCommand(const Options& o)
{
    bool done = false;
    if (o.sync)
        done = results::syncOutbox(resultsPlace(o), stdout, stderr);
    else if (!o.historySerial.empty())
        done = results::printHistory(resultsPlace(o), o.historySerial, stdout, stderr);
    else if (!o.exportFile.empty()) {
        std::string bound;
        for (const std::string* text : {&o.exportFrom, &o.exportTo})
            if (!text->empty() && !results::storedTimeBound(*text, results::DateBound::From, bound))
                return usageError("\"" + *text + "\" is no date: expected YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ");
        done = results::exportMeasurements(resultsPlace(o), o.exportFile, o.exportFrom, o.exportTo, stdout, stderr);
    } else
        return std::nullopt;
    return done ? kPassed : kResultsUnavailable;
}

}  // namespace

int main(int argc, char** argv)
{
    ProgramArguments arguments(argc, argv);
    argc = arguments.count();
    argv = arguments.pointers();
    const bool terminal = prepareConsoleOutput();
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error))
        return usageError(error);
    if (options.help) {
        std::fputs(kUsageText, stdout);
        return kPassed;
    }
    if (options.version) {
        std::printf("korvantix-check %s\n", KTX_VERSION);
        return kPassed;
    }
    if (options.printProfile) {
        std::fwrite(defaultProfileText().data(), 1, defaultProfileText().size(), stdout);
        return kPassed;
    }

    if (const std::optional<int> status = runResultsCommand(options))
        return *status;

    Profile profile;
    const bool profileRead = options.profile.empty() ? parseProfile(defaultProfileText(), profile, error)
                                                     : loadProfileFile(options.profile, profile, error);
    if (!profileRead)
        return setupError(error);

    watchStopRequests(stopRequested);
    RealTimeSource realTime;
    std::unique_ptr<FtDriver> driver = makeDriver(options, realTime, error);
    if (!driver)
        return setupError(error);
    if (options.list)
        return listPlugged(*driver, realTime);

    if (!reportDirWritable(options.reportDir, error))
        return setupError(error);
    removeStaleTemporaries(options.reportDir);
    std::vector<Tracker> trackers;
    Tracker tracker;
    if (!listTrackers(*driver, trackers, error) || !chooseTracker(trackers, cp1251FromUtf8(options.serial), tracker, error))
        return setupError(error);

    StoppableTime time(realTime, stopRequested);
    TerminalView view(stdout, terminal, time);
    time.setTick([&view] { view.tick(); });
    std::printf("korvantix-check %s: tracker %s, profile \"%s\"\n", KTX_VERSION, readableBytes(tracker.serial).c_str(),
        profile.name.c_str());
    std::fflush(stdout);
    RunRecord record = runCheck(*driver, time, tracker, profile, view);
    record.station = options.station;
    record.operatorName = options.operatorName;
    record.programVersion = KTX_VERSION;

    const WrittenRecord written = writeRecordFiles(record, options.reportDir);
    if (!written.ok)
        return setupError("the record could not be written: " + written.error);
    std::printf("%s: %s\nrecord: %s\nreport: %s\njunit:  %s\n", readableBytes(tracker.serial).c_str(),
        record.interrupted ? "INTERRUPTED" : verdictName(record), written.jsonPath.c_str(),
        written.htmlPath.c_str(), written.junitPath.c_str());
    std::fflush(stdout);
    const bool stored = results::storeFinishedRun(resultsPlace(options), written.jsonPath, stdout, stderr);
    const int verdict = exitCodeFor(record);
    return verdict == kPassed && !stored ? kResultsUnavailable : verdict;
}
