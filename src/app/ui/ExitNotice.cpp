#include "app/ui/ExitNotice.h"

#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "base/TextCodec.h"

namespace ktx {
namespace {

// A close asked for by a signal (logout, a closed terminal) must still end:
// nobody may be there to press the button.
constexpr int kNoticeTimeoutMs = 30000;

const char* signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal";
    }
}

}  // namespace

void showExitNotice(QWidget* window, const std::string& text)
{
    if (text.empty())
        return;
    QMessageBox box(QMessageBox::Warning, window->windowTitle(), QString::fromStdString(text), QMessageBox::Ok,
                    window);
    box.setObjectName(QStringLiteral("exitNotice"));
    QTimer::singleShot(kNoticeTimeoutMs, &box, &QMessageBox::accept);
    box.exec();
}

void printExitNotice(LogSink& log, const std::string& text, int signalNumber)
{
    if (text.empty())
        return;
    const char* name = signalName(signalNumber);
    LogDebug(log, 0, "%s", cp1251FromUtf8(std::string("Программа закрыта по ") + name + ": " + text).c_str());
    // Notices are separated by a blank line in the message box.
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\n\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::fprintf(stderr, "korvantix-control: %s: %s\n", name, text.substr(start, end - start).c_str());
        start = end + 2;
    }
    std::fflush(stderr);
}

}  // namespace ktx
