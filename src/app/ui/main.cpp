// korvantix-control: the tracker test console. Without arguments it talks to
// the FTDI devices of this PC; --simulate[=scenario.json] runs it against the
// built-in simulated tracker.
#include <QObject>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/RealTimeSource.h"
#include "app/ui/ConsoleApplication.h"
#include "app/ui/DeviceChangeMonitor.h"
#include "app/ui/ShutdownSignals.h"
#include "app/ui/TKorvantixtest.h"
#include "link/LibFtdiDriver.h"
#include "sim/Scenario.h"
#include "sim/SimDriver.h"

namespace {

constexpr int kUsageExit = 2;
const char* const kSimulateOption = "--simulate";

struct Options {
    bool simulate = false;
    std::string scenarioFile;  // empty: the built-in scenario
};

void printUsage(const char* program)
{
    std::fprintf(stderr,
                 "Usage: %s [--simulate[=SCENARIO.json]]\n"
                 "  --simulate       run against the built-in simulated tracker\n"
                 "  --simulate=FILE  the same, with the scenario read from FILE\n",
                 program);
}

// False on anything but no argument or one --simulate form.
bool parseOptions(int argc, char** argv, Options& options)
{
    if (argc == 1)
        return true;
    if (argc != 2)
        return false;
    const char* argument = argv[1];
    const size_t optionLength = std::strlen(kSimulateOption);
    if (std::strcmp(argument, kSimulateOption) == 0) {
        options.simulate = true;
        return true;
    }
    if (std::strncmp(argument, kSimulateOption, optionLength) == 0 && argument[optionLength] == '=') {
        options.simulate = true;
        options.scenarioFile = argument + optionLength + 1;
        return !options.scenarioFile.empty();
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // Arguments are checked before the GUI starts, so a wrong one is
    // reported even where no display can be opened.
    Options options;
    if (!parseOptions(argc, argv, options)) {
        printUsage(argv[0]);
        return kUsageExit;
    }
    ktx::sim::Scenario scenario = ktx::sim::defaultScenario();
    if (!options.scenarioFile.empty()) {
        std::string error;
        if (!ktx::sim::loadScenarioFile(options.scenarioFile, scenario, error)) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return kUsageExit;
        }
    }

    int qtArgc = 1;
    ktx::ConsoleApplication app(qtArgc, argv);
    // Qt adopts the user's locale for the C library too; device commands,
    // replies and log lines are printf/scanf texts with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    const QString startTitle = QStringLiteral("Korvantix control 1.4.2");
    // Only the application name: a display name would be appended to the
    // window caption. The window makes its caption the title when shown.
    QCoreApplication::setApplicationName(startTitle);

    ktx::RealTimeSource time;
    std::unique_ptr<ktx::FtDriver> driver;
    ktx::sim::SimDriver* simulator = nullptr;
    if (options.simulate) {
        auto sim = std::make_unique<ktx::sim::SimDriver>(time, std::move(scenario));
        simulator = sim.get();
        driver = std::move(sim);
    } else {
        driver = std::make_unique<ktx::LibFtdiDriver>(time);
    }

    std::unique_ptr<ktx::TKorvantixtest> window;
    const bool created = ktx::ConsoleApplication::guarded([&] {
        window = std::make_unique<ktx::TKorvantixtest>(*driver, time, ".");
        return true;
    });
    if (!created)
        return 1;

    ktx::DeviceChangeMonitor monitor;
    if (simulator) {
        window->watchPlugChanges([simulator] { return simulator->pollPlugChange(); });
    } else {
        QObject::connect(&monitor, &ktx::DeviceChangeMonitor::deviceChanged, window.get(),
                         &ktx::TKorvantixtest::postDeviceChange);
        monitor.start();
    }

    ktx::ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ktx::ShutdownSignals::shutdownRequested, window.get(), [&window] { window->close(); });
    shutdown.install();

    window->show();
    const int code = app.exec();
    window.reset();
    return code;
}
