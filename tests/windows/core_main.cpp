// test_core.exe's main: the Qt-free core tests on Windows, without the
// QApplication the Linux test programs share.
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    std::setlocale(LC_NUMERIC, "C");  // as the program does
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
