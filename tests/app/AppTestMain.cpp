// The shell's tests run under the program's own application object, so every
// event reaches the window the way it does in the program (through the
// exception reporter).
#include <clocale>
#include <gtest/gtest.h>

#include "app/ui/ConsoleApplication.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ktx::ConsoleApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // as the program does
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
