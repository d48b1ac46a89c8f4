// Shared pieces of the command interpreter: the state of one request and the command families
// (control and status commands, setting commands) that the token loop dispatches to.
#pragma once

#include "control/commandhost.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class CQZClipwatch;

namespace control
{

// One request on its way through the token loop.
struct Request {
    explicit Request(CommandHost& h) : host(h) {}

    CommandHost& host;
    int index = 0;                    // the addressed instance's place in the list
    CQZClipwatch* instance = nullptr; // the addressed instance
    int value = 0;                    // request value: the result unless an early exit applies
    std::optional<std::string> reply; // the last reply text written
    std::vector<std::string> tokens;  // the request split at "&"
    size_t next = 0;                  // the token after the one being handled
};

// A command: runs with the token's value (the text after the word and one separator).
struct Command {
    std::function<void(Request&, const std::string& value)> run;
    bool keepsLastToken = false; // clearerrors and retryprocess
};
using CommandMap = std::map<std::string, Command>;

// The families, each adding its words to `commands`.
void addControlCommands(CommandMap& commands);
void addStatusCommands(CommandMap& commands);
void addNumericCommands(CommandMap& commands);
void addSwitchCommands(CommandMap& commands);
void addTextCommands(CommandMap& commands);

// Every command word in matching order (for prefix ties), and the word that is a
// case-insensitive prefix of `token` first in that order; null when none is.
const std::vector<std::string>& commandWords();
const char* matchCommandWord(const std::string& token);

// Creation request "newscandir=PATH&...": adds an instance (or finds its directory taken).
int CreateInstance(CommandHost& host, const std::string& request,
                   std::optional<std::string>& reply);

// The text after the first `key` in `request` up to the next "&" or the end ("" without key).
std::string fieldAfter(const std::string& request, const std::string& key);

// `dir` with a separator appended when it ends in none: "/" for a network source, else the
// separator of the path's own style.
std::string withSeparator(std::string dir);

// True when the two directories are equal, case ignored.
bool sameDirectory(const std::string& a, const std::string& b);

// The atoi reading of `text`: optional sign and leading digits, 0 when there are none; values
// beyond int saturate instead of overflowing.
int leadingInteger(const std::string& text);

// The state word of `getstate` for a state number ("state=paused", ..., "state=unknown").
const char* stateWord(int state);

// The status text of the addressed instance ("" for one without a panel).
QString statusText(const Request& r);

} // namespace control
