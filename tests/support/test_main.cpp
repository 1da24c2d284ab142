// Every test program runs with a QApplication, so GUI tests and core tests
// share one main; the platform is offscreen unless told otherwise.
#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // as the program does
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
