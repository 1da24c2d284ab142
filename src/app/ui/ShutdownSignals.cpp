#include "app/ui/ShutdownSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace ktx {
namespace {

int signalFds[2] = {-1, -1};  // [0] written by the handler, [1] read by the loop
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// What each signal did before install(), restored by uninstall().
struct sigaction previousActions[std::size(kSignals)];
bool caught[std::size(kSignals)] = {};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full socket only means a request is already pending.
    [[maybe_unused]] const ssize_t written = ::write(signalFds[0], &byte, 1);
    errno = savedErrno;
}

}  // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {}

ShutdownSignals::~ShutdownSignals()
{
    uninstall();
}

bool ShutdownSignals::install()
{
    if (installed_ || signalFds[0] != -1)
        return installed_;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) != 0) {
        signalFds[0] = signalFds[1] = -1;
        return false;
    }
    ::fcntl(signalFds[0], F_SETFL, ::fcntl(signalFds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(signalFds[1], F_SETFL, ::fcntl(signalFds[1], F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ShutdownSignals::readSignal);
    installed_ = true;

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        if (::sigaction(kSignals[i], nullptr, &previousActions[i]) != 0) {
            uninstall();
            return false;
        }
        // Started under nohup: the user asked to outlive the terminal.
        if (kSignals[i] == SIGHUP && previousActions[i].sa_handler == SIG_IGN)
            continue;
        if (::sigaction(kSignals[i], &action, nullptr) != 0) {
            uninstall();
            return false;
        }
        caught[i] = true;
    }
    return true;
}

void ShutdownSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(signalFds[1], &byte, 1) == 1)
        emit shutdownRequested(byte);
}

void ShutdownSignals::uninstall()
{
    if (!installed_)
        return;
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        if (caught[i])
            ::sigaction(kSignals[i], &previousActions[i], nullptr);
        caught[i] = false;
    }
    delete notifier_;
    notifier_ = nullptr;
    ::close(signalFds[0]);
    ::close(signalFds[1]);
    signalFds[0] = signalFds[1] = -1;
    installed_ = false;
}

}  // namespace ktx
