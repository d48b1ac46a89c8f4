// main() of every test: isolates the environment, then runs GoogleTest in a Qt application.
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
    const auto folder = testenv::setUp(); // removed after the application object
    ::testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
