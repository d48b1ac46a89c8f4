// ExecuteCommand: the interpreter of the controller's text requests. A request is a sequence of
// "&"-separated tokens that create an instance, address one (by index or scan directory) and
// read or change its state and settings. Main thread only; it knows nothing of sockets or XML.
#pragma once

#include "control/commandhost.h"

#include <atomic>
#include <optional>
#include <string>

// Set once at start-up from the key "dumpallcommands"; 1 logs every command and reply.
extern std::atomic<int> dumpAllCommandsLevel;

// Runs `request` (null or empty: no request) on the host's instances. `reply` receives the
// reply text, or stays empty when the request gives none. Returns the result: -1 for
// "error=nocommand" and "error=noscandir", -3 for "error=noinstance", 1 for the creation
// replies that report a problem, otherwise the request value. When the dump-all-commands level
// is 1, the request and its reply are logged under one tag.
int ExecuteCommand(CommandHost& host, const char* request, std::optional<std::string>& reply);
