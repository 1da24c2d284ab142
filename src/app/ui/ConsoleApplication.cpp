#include "app/ui/ConsoleApplication.h"

#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "app/ui/ActionGuard.h"

namespace ktx {
namespace {

void defaultReport(const QString& message)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), message);
}

ConsoleApplication::ExceptionReporter& reporter()
{
    static ConsoleApplication::ExceptionReporter current = defaultReport;
    return current;
}

}  // namespace

ConsoleApplication::ConsoleApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ConsoleApplication::notify(QObject* receiver, QEvent* event)
{
    // A tick, device change, close or input that falls into a running
    // device action waits for its end (or, for a tick, is skipped).
    if (ActionGuard::holdsBack(receiver, event))
        return true;
    return guarded([&] {
        const ActionGuard::Delivery delivery;
        return QApplication::notify(receiver, event);
    });
}

void ConsoleApplication::setExceptionReporter(ExceptionReporter newReporter)
{
    reporter() = newReporter ? std::move(newReporter) : ExceptionReporter(defaultReport);
}

bool ConsoleApplication::guarded(const std::function<bool()>& deliver)
{
    try {
        return deliver();
    } catch (const std::exception& error) {
        reporter()(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reporter()(QStringLiteral("Неизвестная ошибка"));
    }
    return false;
}

}  // namespace ktx
