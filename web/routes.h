// The dashboard's HTTP routes: the page's files, the JSON API, /metrics and the actions, with the
// access checks in front of them all. The handlers run on the server's threads; whatever touches
// the instances or the interpreter is handed to the main thread.
#pragma once

#include "web/access.h"

namespace httplib
{
class Server;
}
class Program;

namespace web
{

class MainThreadCalls;

// Installs every route and the access checks on `server`. `program` and `calls` outlive it.
void installRoutes(httplib::Server& server, Program& program, MainThreadCalls& calls,
                   const AccessRules& rules);

} // namespace web
