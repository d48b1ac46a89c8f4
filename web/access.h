// Who may do what on the dashboard: the token, the Host and Origin checks that every request
// passes before its route runs. Pure functions of the request's headers; any thread.
#pragma once

#include <string>

namespace web
{

// The dashboard's access settings.
struct AccessRules {
    std::string token;    // the DashboardToken every action (and off loopback, every read) needs
    bool loopback = true; // bound to a loopback address: reads need no token
};

// The parts of a request the rules look at; empty for a missing header.
struct RequestFacts {
    std::string method;        // "GET", "POST", ...
    std::string path;          // without the query
    std::string host;          // Host header
    std::string origin;        // Origin header
    std::string authorization; // Authorization header
};

// The verdict: 0 to let the request through, else the HTTP status to answer with (401 without
// the token, 403 for a foreign Origin on an action or a foreign Host on loopback, which is how a
// page of another site reaches a loopback server by DNS rebinding).
int judgeRequest(const AccessRules& rules, const RequestFacts& request);

// True for the page's own files, which hold no data and are served to anyone allowed to reach
// the dashboard (the page asks for the token itself).
bool isPageAsset(const std::string& path);

// A fresh token: 32 hexadecimal digits from the system's random source.
std::string makeToken();

} // namespace web
