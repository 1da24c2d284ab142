#pragma once
// The application object: an exception that escapes an event handler is
// reported and the event loop goes on, as the console's users expect.
#include <QApplication>
#include <QString>
#include <functional>

namespace ktx {

class ConsoleApplication : public QApplication {
    Q_OBJECT
public:
    using ExceptionReporter = std::function<void(const QString& message)>;

    ConsoleApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Replaces how exceptions are shown (a message box by default; stderr on
    // the offscreen platform, where a modal box would block for ever).
    static void setExceptionReporter(ExceptionReporter reporter);
    // Runs deliver; an exception escaping it goes to the reporter and the
    // result is false.
    static bool guarded(const std::function<bool()>& deliver);
};

}  // namespace ktx
