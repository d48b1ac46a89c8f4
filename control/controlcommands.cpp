// Control commands: start, process, pause, stop, restart, delete, clearerrors, retryprocess.
#include "control/commands_p.h"

#include "scanner/clipwatch.h"

namespace control
{

namespace
{

// Marks the start of `start`, `process` and `restart` that sends the instance to the state its
// StartingState names (4, else 7).
constexpr int kByStartingState = -1;

void startScanning(Request& r, int state)
{
    const CWSSettings s = r.instance->Settings();
    if (s.DataBase.empty()) {
        r.reply = "error=nodatabase";
    } else if (s.Dir.empty()) {
        r.reply = "error=notargetdirectory";
    } else {
        if (state == kByStartingState)
            state = s.StartingState == CQZClipwatch::cwsProcessingClips
                        ? CQZClipwatch::cwsProcessingClips
                        : CQZClipwatch::cwsProcessingResume;
        r.instance->SetState(state);
        r.value = r.instance->StartScanning();
        if (r.value == CQZClipwatch::kStartNoDatabase)
            r.reply = "error=nodatabase";
    }
    r.instance->ClearStatusText();
}

void setState(Request& r, int state)
{
    r.value = r.instance->SetState(state);
    r.instance->ClearStatusText();
}

// The instance is gone: the tokens after `delete` have nothing to act on and are skipped.
void removeInstance(Request& r)
{
    r.host.RemoveInstance(r.index);
    r.instance = nullptr;
    r.next = r.tokens.size();
}

// The value names the element; the next token, from its tenth character on, is the clip.
void retryProcess(Request& r, const std::string& element)
{
    if (r.next >= r.tokens.size())
        return;
    const std::string& clipToken = r.tokens[r.next++];
    if (clipToken.size() <= 9)
        return;
    r.instance->MakeElement(element, clipToken.substr(9));
}

} // namespace

void addControlCommands(CommandMap& commands)
{
    using S = CQZClipwatch;
    commands["start"] = {
        [](Request& r, const std::string&) { startScanning(r, kByStartingState); }};
    commands["process"] = {
        [](Request& r, const std::string&) { startScanning(r, S::cwsProcessingClips); }};
    commands["restart"] = {
        [](Request& r, const std::string&) { startScanning(r, S::cwsFindDirectories); }};
    commands["pause"] = {
        [](Request& r, const std::string&) { setState(r, S::cwsProcessingPaused); }};
    commands["stop"] = {
        [](Request& r, const std::string&) { setState(r, S::cwsProcessingStopped); }};
    commands["delete"] = {[](Request& r, const std::string&) { removeInstance(r); }};
    commands["clearerrors"] = {[](Request& r, const std::string&) { r.instance->ClearErrors(); },
                               true};
    commands["retryprocess"] = {retryProcess, true};
}

} // namespace control
