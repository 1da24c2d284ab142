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

void watchStopRequests(std::atomic<bool>& stop)
{
    stopFlag = &stop;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool folderTakesFiles(const std::string& dir, std::string& error)
{
    if (::access(dir.c_str(), W_OK | X_OK) == 0)
        return true;
    error = "report folder " + dir + ": " + std::strerror(errno);
    return false;
}

}  // namespace ktx::check
