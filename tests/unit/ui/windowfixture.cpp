// The main window test fixture.
#include "tests/unit/ui/windowfixture.h"

#include "ui/version.h"

#include <QTest>

void WindowTest::TearDown()
{
    window.reset();
    ProgramTest::TearDown();
}

void WindowTest::startWindow()
{
    program = std::make_unique<Program>();
    window = std::make_unique<MainWindow>(*program);
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return window->windowTitle() == clipwatchWindowTitle(); }, 5000));
    program->checkIPTimer.stop();
}
