#include "check/ConsoleProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace ktx::check {
namespace {

std::atomic<bool>* stopFlag = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int)
{
    if (stopFlag)
        stopFlag->store(true);
}

}  // namespace

ProgramArguments::ProgramArguments(int argc, char** argv) : texts_(argv, argv + argc)
{
    for (std::string& text : texts_)
        pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

bool prepareConsoleOutput()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

// SIGINT, SIGTERM and SIGHUP (the terminal closed) stop the run through its
// cleanup, so the modem is switched off and the record kept; SIGHUP stays
// ignored under nohup. A closed standard output (| head) is no reason to
// leave a modem on: SIGPIPE is ignored and the lines go nowhere. A file-size
// limit makes a write fail (EFBIG) instead of killing the run.
void watchStopRequests(std::atomic<bool>& stop)
{
    stopFlag = &stop;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int stopSignal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (sigaction(stopSignal, nullptr, &previous) == 0 && stopSignal == SIGHUP && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(stopSignal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool folderTakesFiles(const std::string& dir, std::string& error)
{
    if (::access(dir.c_str(), W_OK | X_OK) == 0)
        return true;
    error = "report folder " + dir + ": " + std::strerror(errno);
    return false;
}

}  // namespace ktx::check
