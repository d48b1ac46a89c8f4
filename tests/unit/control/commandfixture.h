// Fixture of the command interpreter tests: the program's core under a main window (no ping, no
// service), whose instances the requests address, and a helper that runs one request.
#pragma once

#include "tests/unit/ui/windowfixture.h"

#include <string>

class CommandTest : public WindowTest
{
protected:
    // Gives instances 0 .. n-1 a database and a scan directory and starts the window.
    void startWith(int n);
    // Runs `request`; the reply text, or "<none>" when the request gave none.
    std::string run(const char* request);
    // The setting record of instance k.
    CWSSettings settings(int k) const;

    int result = 0; // result of the last run()
};
