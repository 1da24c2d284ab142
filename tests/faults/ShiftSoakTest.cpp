// A technician's shift in virtual time: every poll of every tab in turn for
// eight hours against the flaky tracker, pulled out and plugged back in once
// an hour. It must end whole (no crash, no hang, polling again after every
// replug, no data log line cut), and it prints the process's resident size
// and the consoles' sizes hour by hour: the figures the consoles' cap is
// judged by.
#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "app/ui/TKorvantixtest.h"
#include "link/VirtualTimeSource.h"
#include "sim/Scenario.h"
#include "sim/SimDriver.h"
#include "support/FileBytes.h"

namespace ktx {
namespace shift_soak {

namespace fs = std::filesystem;

constexpr int64_t kHourMs = 3600 * 1000;
constexpr int kShiftHours = 8;
constexpr int64_t kUnpluggedMs = 10 * 1000;
// Between two rounds of every poll the tracker is left alone this long: a
// round at the real timers' pace would make an eight-hour shift half a
// million polls, more than the sanitizer build runs in two minutes. The
// consoles' figures are scaled to the busiest pace in the report below.
constexpr int64_t kRoundGapMs = 4000;

// A poll's check box (or start button) and its timer.
struct Poll {
    const char* control;
    const char* timer;
};
constexpr Poll kPolls[] = {
    {"WorkBox", "Timer1"},    {"WorkBox", "Timer6"},       {"CheckBox1", "Timer2"}, {"RashirEnable", "Timer5"},
    {"OneWire", "Timer4"},    {"CheckBox2", "Timer3"},     {"ButtonStartAxel", "TimerAccel"},
};

sim::Scenario flakyScenario()
{
    sim::Scenario scenario = sim::defaultScenario();
    const fs::path file = fs::path(__FILE__).parent_path() / "../../sim/scenarios/flaky.json";
    std::string error;
    EXPECT_TRUE(sim::loadScenarioFile(file.string(), scenario, error)) << error;
    // The shift pulls the tracker out itself, once an hour.
    scenario.faults.unplugAtMs = -1;
    scenario.faults.replugAtMs = -1;
    return scenario;
}

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

class Shift {
public:
    Shift() : simulator(time, flakyScenario()), window(simulator, time, dir.path().toStdString())
    {
        window.watchPlugChanges([this] { return simulator.pollPlugChange(); });
        window.show();
        window.buildAllTabs();
        // "Автоматический запуск проверки": the status poll starts again by
        // itself after each replug.
        child<QCheckBox>("AutoCheckBox")->setChecked(true);
        QApplication::processEvents();
        // The accelerometer polls only while its tab is shown; the others
        // poll behind it.
        auto* pages = child<QTabWidget>("PageControl1");
        pages->setCurrentWidget(child<QWidget>("TabSheet9"));
        QApplication::processEvents();
    }

    template <class T>
    T* child(const char* name)
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }

    // A poll the tracker's absence stopped is started again, as the
    // technician would once it is back.
    void startStopped()
    {
        for (const Poll& poll : kPolls) {
            if (child<QTimer>(poll.timer)->isActive())
                continue;
            if (auto* box = child<QCheckBox>(poll.control)) {
                box->setChecked(false);
                box->setChecked(true);
            } else if (auto* button = child<QPushButton>(poll.control)) {
                button->click();
            }
        }
    }

    // One tick of each running poll, in turn; then the window's device check.
    int round()
    {
        int ran = 0;
        for (const Poll& poll : kPolls) {
            QTimer* timer = child<QTimer>(poll.timer);
            if (!timer->isActive())
                continue;
            QMetaObject::invokeMethod(timer, "timeout");
            ++ran;
        }
        QMetaObject::invokeMethod(child<QTimer>("PlugPollTimer"), "timeout");
        QApplication::processEvents();
        return ran;
    }

    qint64 consoleChars(const char* name) { return child<QPlainTextEdit>(name)->document()->characterCount(); }
    int consoleLines(const char* name) { return child<QPlainTextEdit>(name)->document()->blockCount(); }
    int64_t nowMs() const { return time.monotonicUs() / 1000; }

    QTemporaryDir dir;
    VirtualTimeSource time;
    sim::SimDriver simulator;
    TKorvantixtest window;
};

// Every line of every data log ends with CRLF and none is empty: a cut
// line would show as a short or unterminated one.
void expectWholeLines(const fs::path& root)
{
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".txt")
            continue;
        ++files;
        const std::string bytes = test::readBytes(entry.path());
        ASSERT_FALSE(bytes.empty()) << entry.path();
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << entry.path();
        size_t start = 0;
        for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
            EXPECT_GT(end, start) << entry.path() << ": empty line at byte " << start;
            EXPECT_EQ(bytes.substr(start, end - start).find('\n'), std::string::npos) << entry.path();
            start = end + 2;
        }
    }
    EXPECT_GT(files, 0);
}

TEST(ShiftSoakTest, EightHoursOfEveryPollWithAnUnplugEachHour)
{
    Shift shift;
    shift.startStopped();
    long hourOneKiB = 0;
    long rounds = 0;
    long polls = 0;
    int replugs = 0;
    std::printf("hour  RSS MiB  debug lines/chars  gsm  485 lines/chars  telit\n");
    for (int hour = 1; hour <= kShiftHours; ++hour) {
        const int64_t hourStart = shift.nowMs();
        // Out at the start of every hour but the first, back ten seconds later.
        if (hour > 1) {
            shift.simulator.setPlugged(false);
            while (shift.nowMs() < hourStart + kUnpluggedMs) {
                polls += shift.round();
                shift.time.advanceMs(kRoundGapMs);
            }
            shift.simulator.setPlugged(true);
            shift.round();
            ++replugs;
            // The status poll comes back by itself ("Автоматический запуск
            // проверки" is checked); the others are started by hand.
            EXPECT_TRUE(shift.child<QTimer>("Timer1")->isActive()) << "hour " << hour;
        }
        while (shift.nowMs() < hourStart + kHourMs) {
            shift.startStopped();
            polls += shift.round();
            ++rounds;
            shift.time.advanceMs(kRoundGapMs);
        }
        if (hour == 1)
            hourOneKiB = residentKiB();
        std::printf("%4d  %7.1f  %7d/%-9lld  %lld  %7d/%-9lld  %lld\n", hour, residentKiB() / 1024.0,
                    shift.consoleLines("DebugMemo"), static_cast<long long>(shift.consoleChars("DebugMemo")),
                    static_cast<long long>(shift.consoleChars("GSMMemo")), shift.consoleLines("memo485"),
                    static_cast<long long>(shift.consoleChars("memo485")),
                    static_cast<long long>(shift.consoleChars("TelitMemo")));
        std::fflush(stdout);
    }
    std::printf("rounds %ld, polls %ld, replugs %d; RSS hour 1 %.1f MiB, hour %d %.1f MiB\n", rounds, polls, replugs,
                hourOneKiB / 1024.0, kShiftHours, residentKiB() / 1024.0);
    EXPECT_EQ(replugs, kShiftHours - 1);
    EXPECT_GT(polls, rounds);
    for (const Poll& poll : kPolls)
        EXPECT_TRUE(shift.child<QTimer>(poll.timer)->isActive()) << poll.timer << " runs at the end of the shift";
    expectWholeLines(shift.dir.path().toStdString());
}

}  // namespace shift_soak
}  // namespace ktx
