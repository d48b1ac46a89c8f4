// main() of every test executable: isolates the environment, then runs GoogleTest inside a
// Qt application object (a QApplication for widget tests).
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#ifdef CLIPWATCH_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    testenv::setUp();
    ::testing::InitGoogleTest(&argc, argv);
    int result;
    {
        TestApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    testenv::tearDown();
    return result;
}
