// The command interpreter test fixture.
#include "tests/unit/control/commandfixture.h"

#include "scanner/clipwatch.h"

void CommandTest::startWith(int n)
{
    for (int k = 0; k < n; ++k)
        setDatabase(k);
    startWindow();
}

std::string CommandTest::run(const char* request)
{
    std::optional<std::string> reply;
    result = program->RunCommand(request, reply);
    return reply ? *reply : "<none>";
}

CWSSettings CommandTest::settings(int k) const
{
    return program->instances[k]->Settings();
}
