// Dashboard: the web dashboard of the running program. Reads its settings (DashboardAddress,
// DashboardPort, DashboardToken in the general section of the settings store; a token is made
// and stored at the first start), listens, logs its address with the token and serves on a
// thread of its own. Made and destroyed on the main thread, after and before the program.
#pragma once

#include <memory>

class Program;

namespace web
{

class Dashboard
{
public:
    // Starts serving `program`; a port of 0 leaves the dashboard off, a failed listen is logged.
    explicit Dashboard(Program& program);
    // Stops the server and joins its threads; requests waiting for the main thread give up.
    ~Dashboard();

    // The port it listens on, 0 when it is off.
    int Port() const;

private:
    struct Server;
    std::unique_ptr<Server> server_;
};

} // namespace web
