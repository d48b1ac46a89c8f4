// Test fixture of the main window tests: the core's fixture (fresh settings store and log, no
// service) with a window over the core, started the way the program starts it (Connect() one
// second after construction).
#pragma once

#include "tests/unit/control/programfixture.h"
#include "ui/mainwindow.h"

class WindowTest : public ProgramTest
{
protected:
    void TearDown() override;

    // Constructs the core and the window and waits until Connect() has run; the first ping is
    // held back.
    void startWindow();

    std::unique_ptr<MainWindow> window;
};
