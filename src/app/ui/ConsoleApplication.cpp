#include "app/ui/ConsoleApplication.h"

#include <QMessageBox>
#include <cstdio>
#include <exception>

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
    // Also what a device action threw on the worker, rethrown here when
    // its end is delivered.
    return guarded([&] { return QApplication::notify(receiver, event); });
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
