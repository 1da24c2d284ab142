// korvantix-control: the tracker test console. Without arguments it talks to
// the FTDI devices of this PC; --simulate[=scenario.json] runs it against the
// built-in simulated tracker.
#include <QMessageBox>
#include <QObject>
#include <QTranslator>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "base/DirectoryLock.h"
#include "link/RealTimeSource.h"
#include "base/FileWriter.h"
#include "base/Version.h"
#include "app/ui/ConsoleApplication.h"
#include "app/ui/DeviceChangeMonitor.h"
#include "app/ui/QtTranslations.h"
#include "app/ui/ShutdownSignals.h"
#include "app/ui/TKorvantixtest.h"
#include "link/LibFtdiDriver.h"
#include "sim/Scenario.h"
#include "sim/SimDriver.h"

namespace {

constexpr int kUsageExit = 2;
constexpr int kNoDisplayExit = 1;
constexpr int kDirectoryBusyExit = 3;

// Messages name the program as it is installed, whatever path started it.
const char* programName(const char* argv0)
{
    const char* slash = std::strrchr(argv0, '/');
    return slash ? slash + 1 : argv0;
}

void printUsage(std::FILE* out, const char* program)
{
    std::fprintf(out,
                 "Usage: %s [--simulate[=SCENARIO.json]]\n"
                 "Test console for Korvantix GPS/GLONASS trackers.\n"
                 "\n"
                 "  (no option)      work with the trackers plugged in by USB\n"
                 "  --simulate       run against the built-in simulated tracker\n"
                 "  --simulate=FILE  the same, with the scenario read from FILE\n"
                 "  -h, --help       show this help and exit\n"
                 "  --version        show the version and exit\n"
                 "\n"
                 "The settings file and the logs are written in the working directory.\n",
                 program);
}

// The check's connection stays open until Qt has made its own: an X server
// whose last client leaves resets itself (Xvfb, a bare X session), and Qt's
// connection would wait for that reset before its window is painted.
xcb_connection_t* displayCheckConnection = nullptr;

bool x11DisplayOpens(const std::string& name)
{
    xcb_connection_t* connection = xcb_connect(name.c_str(), nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    if (opened && !displayCheckConnection)
        displayCheckConnection = connection;
    else
        xcb_disconnect(connection);
    return opened;
}

void closeDisplayCheckConnection()
{
    if (displayCheckConnection)
        xcb_disconnect(displayCheckConnection);
    displayCheckConnection = nullptr;
}

bool socketExists(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

std::string workingDirectory()
{
    std::string path(4096, '\0');
    if (!::getcwd(path.data(), path.size()))
        return ".";
    path.resize(std::strlen(path.c_str()));
    return path;
}

// A second console in the same folder would write its settings over the
// first one's as it closes and mix its lines into the same logs: it says so
// on the terminal and in a box (started from the menu, nobody reads the
// terminal) and goes, leaving every file there as it was.
int refuseBusyDirectory(const char* program, const ktx::DirectoryLock& lock, ktx::ShutdownSignals& shutdown)
{
    const std::string folder = workingDirectory();
    const std::string owner = lock.ownerPid() > 0 ? " (process " + std::to_string(lock.ownerPid()) + ")" : "";
    std::fprintf(stderr,
                 "%s: the working directory %s is in use by another korvantix-control%s; two in one directory would "
                 "overwrite each other's settings and mix their logs. Close the other one or start this one in "
                 "another directory.\n",
                 program, folder.c_str(), owner.c_str());
    std::fflush(stderr);
    const QString ownerText =
        lock.ownerPid() > 0 ? QStringLiteral(" (процесс %1)").arg(lock.ownerPid()) : QString();
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                    QStringLiteral("Папка «%1» уже занята другим окном Korvantix control%2.\n\n"
                                   "Два окна в одной папке записали бы настройки друг друга и смешали бы журналы. "
                                   "Закройте то окно или запустите это в другой папке.")
                        .arg(QString::fromStdString(folder), ownerText),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("directoryBusy"));
    QObject::connect(&shutdown, &ktx::ShutdownSignals::shutdownRequested, &box, &QMessageBox::reject);
    box.exec();
    return kDirectoryBusyExit;
}

}  // namespace

int main(int argc, char** argv)
{
    // Arguments are checked before the GUI starts, so a wrong one is
    // reported even where no display can be opened.
    const char* program = programName(argc > 0 && argv[0] ? argv[0] : "korvantix-control");
    const ktx::CommandLine options = ktx::parseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program, options.error.c_str(),
                     program);
        return kUsageExit;
    }
    if (options.help) {
        printUsage(stdout, program);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", program, KTX_VERSION);
        return 0;
    }
    ktx::sim::Scenario scenario = ktx::sim::defaultScenario();
    if (!options.scenarioFile.empty()) {
        std::string error;
        if (!ktx::sim::loadScenarioFile(options.scenarioFile, scenario, error)) {
            std::fprintf(stderr, "%s: %s\n", program, error.c_str());
            return kUsageExit;
        }
    }

    const std::string noDisplay = ktx::missingDisplayReason(ktx::currentDisplayEnvironment(), x11DisplayOpens, socketExists);
    if (!noDisplay.empty()) {
        std::fprintf(stderr,
                     "%s: no graphical display found (%s); the window needs one (korvantix-check tests trackers "
                     "without one)\n",
                     program, noDisplay.c_str());
        closeDisplayCheckConnection();
        return kNoDisplayExit;
    }

    int qtArgc = 1;
    ktx::ConsoleApplication app(qtArgc, argv);
    closeDisplayCheckConnection();
    QTranslator qtTranslator;
    ktx::installQtTranslations(app, qtTranslator);
    // Qt adopts the user's locale for the C library too; device commands,
    // replies and log lines are printf/scanf texts with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    const QString startTitle = QStringLiteral("Korvantix control " KTX_VERSION);
    // Only the application name: a display name would be appended to the
    // window caption. The window makes its caption the title when shown.
    QCoreApplication::setApplicationName(startTitle);

    // Installed before anything can wait on the user, so a signal ends the
    // refusal below as it ends the window.
    ktx::ShutdownSignals shutdown;
    shutdown.install();
    const ktx::DirectoryLock lock(".");
    if (lock.state() == ktx::DirectoryLock::State::Busy)
        return refuseBusyDirectory(program, lock, shutdown);
    // A folder the user cannot write to is said by the window; anything else
    // in the lock file's place is said here, and the console still starts.
    if (lock.state() == ktx::DirectoryLock::State::Unavailable && lock.error() != EACCES && lock.error() != EROFS)
        std::fprintf(stderr, "%s: %s: %s; a second console in this directory will not be stopped\n", program,
                     lock.path().c_str(), std::strerror(lock.error()));

    // Under a file-size limit (ulimit -f) a write fails with EFBIG and is said
    // once like any failed write, instead of SIGXFSZ killing the window with
    // its settings unsaved; what a run killed mid-write left is removed (only
    // now that the folder is this console's: another one's would be in use).
    std::signal(SIGXFSZ, SIG_IGN);
    ktx::removeStaleTemporaries(".");

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

    QObject::connect(&shutdown, &ktx::ShutdownSignals::shutdownRequested, window.get(),
                     [&window](int signalNumber) { window->closeForSignal(signalNumber); });

    window->show();
    const int code = app.exec();
    window.reset();
    return code;
}
