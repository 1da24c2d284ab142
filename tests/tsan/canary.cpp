// A race ThreadSanitizer must report in the stage's settings: a plain thread
// writes what the GUI thread reads in a timer's slot, with nothing between
// them. The GUI-side read comes from inside Qt's event loop, as every slot's
// does, so options or suppressions that hid it would hide the project's races
// too; tests/tsan/run.sh fails unless this one is reported.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <thread>

namespace {
int unguarded = 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::thread writer([] {
        for (int i = 1; i <= 1000; ++i) {
            unguarded = i;
            std::this_thread::yield();
        }
    });
    QTimer::singleShot(1, [] { std::printf("%d\n", unguarded); });
    QTimer::singleShot(50, &app, &QCoreApplication::quit);
    const int status = app.exec();
    writer.join();
    return status;
}
