// Every test program runs with a QApplication, so GUI tests and core tests
// share one main; the platform is offscreen unless told otherwise.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // as the program does
    // The cores must not depend on that: their tests run once more with the
    // whole process in the locale named here (ru_RU.UTF-8, decimal comma).
    if (const char* processLocale = std::getenv("KTX_TEST_PROCESS_LOCALE")) {
        if (!std::setlocale(LC_ALL, processLocale)) {
            std::fprintf(stderr, "locale %s is not available (scripts/install-deps.sh generates it)\n", processLocale);
            return 1;
        }
        // Numbers, character classes and dates follow it; the system's own
        // error texts stay untranslated so tests can compare them.
        std::setlocale(LC_MESSAGES, "C");
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
