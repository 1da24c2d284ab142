// ktx-usb-emulated: runs a program (the console, without --simulate) with an
// emulated FT232R plugged in at USB bus 1, address 2, whose firmware is the
// simulated tracker of a scenario file (its faults, the unplug and replug
// times included). Run it under umockdev-wrapper; the program inherits the
// test bed. Signals are passed on to the program, and its exit status is
// returned.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/RealTimeSource.h"
#include "sim/Scenario.h"
#include "usb/EmulatedFt232r.h"
#include "usb/UsbTestbed.h"

extern char** environ;

namespace {

constexpr int kUsageExit = 2;
volatile sig_atomic_t childPid = 0;

void passOn(int signal)
{
    if (childPid > 0)
        kill(childPid, signal);
}

int usage(const char* self)
{
    std::fprintf(stderr, "Usage: umockdev-wrapper %s [--scenario=FILE] [--] PROGRAM [ARGUMENTS...]\n", self);
    return kUsageExit;
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1;
    std::string scenarioFile;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        const std::string argument = argv[first];
        if (argument == "--") {
            ++first;
            break;
        }
        if (argument.rfind("--scenario=", 0) != 0)
            return usage(argv[0]);
        scenarioFile = argument.substr(std::strlen("--scenario="));
    }
    if (first >= argc)
        return usage(argv[0]);
    ktx::sim::Scenario scenario = ktx::sim::defaultScenario();
    std::string error;
    if (!scenarioFile.empty() && !ktx::sim::loadScenarioFile(scenarioFile, scenario, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return kUsageExit;
    }

    ktx::RealTimeSource time;
    ktx::usbemu::EmulatedFt232r chip(time, scenario);
    std::unique_ptr<ktx::usbemu::EmulatedFt232r> replugged;  // gone after the test bed, as chip
    ktx::usbemu::UsbTestbed bed;
    if (!bed.active()) {
        std::fprintf(stderr, "%s: umockdev's preload library is missing: run it under umockdev-wrapper\n", argv[0]);
        return kUsageExit;
    }
    ktx::usbemu::EmulatedDevice device;
    device.description = scenario.description;
    device.serial = scenario.serial;
    if (!bed.plug(device, chip.handler()))
        return 1;

    struct sigaction action {};
    action.sa_handler = passOn;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);

    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[first], nullptr, nullptr, argv + first, environ);
    if (spawned != 0) {
        std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[first], std::strerror(spawned));
        return 127;
    }
    childPid = pid;
    const auto started = std::chrono::steady_clock::now();

    // The scenario's unplug and replug times: the chip goes and its node
    // vanishes; plugged back in, a fresh chip (the tracker restarts) gets the
    // next address on the same port, as the kernel would give it.
    std::mutex mutex;
    std::condition_variable ended;
    bool childEnded = false;
    const auto waitUntil = [&](int64_t atMs) {
        std::unique_lock lock(mutex);
        return !ended.wait_until(lock, started + std::chrono::milliseconds(atMs), [&] { return childEnded; });
    };
    std::thread plugTimeline;
    if (scenario.faults.unplugAtMs >= 0) {
        plugTimeline = std::thread([&] {
            if (!waitUntil(scenario.faults.unplugAtMs))
                return;
            chip.unplug();
            bed.unplug(device);
            if (scenario.faults.replugAtMs < 0 || !waitUntil(scenario.faults.replugAtMs))
                return;
            replugged = std::make_unique<ktx::usbemu::EmulatedFt232r>(time, scenario);
            ktx::usbemu::EmulatedDevice again = device;
            again.address = device.address + 1;
            if (!bed.plug(again, replugged->handler()))
                std::fprintf(stderr, "%s: the replug failed\n", argv[0]);
        });
    }
    int status = 0;
    int waited = 0;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    childPid = 0;
    {
        std::lock_guard lock(mutex);
        childEnded = true;
    }
    ended.notify_all();
    if (plugTimeline.joinable())
        plugTimeline.join();
    if (waited < 0)
        return 1;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
