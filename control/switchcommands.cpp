// Element switch commands: the set and get words of each element the element table gives a
// switch word, with the panel check box each set moves; and the scan-only-these-extensions
// switch.
#include "control/commands_p.h"

#include "scanner/clipwatch.h"
#include "scanner/elementsettings.h"
#include "scanner/extensionlists.h"

namespace control
{

namespace
{

// How a set reads its value and whether it moves the panel's check box.
enum SwitchKind {
    kChecked,   // "t", "T" or "1" is on; the check box follows
    kUnchecked, // as kChecked, no check box (the index)
    kMezzanine, // "t"/"T" on, "f"/"F" off (check box moved first); else an integer, no box
};

SwitchKind switchKind(const dbCwsElement& e)
{
    if (e.code == CWS_ELEMENT_MEZZANINE)
        return kMezzanine;
    return e.code == CWS_ELEMENT_RTIN ? kUnchecked : kChecked;
}

// The get reply's key: the word itself, or for the switches read differently the get word.
std::string replyKey(const dbCwsElement& e)
{
    return switchKind(e) == kChecked ? e.switchWord : std::string("get") + e.switchWord;
}

bool switchedOn(const std::string& value)
{
    const char c = value.empty() ? '\0' : value[0];
    return c == 't' || c == 'T' || c == '1';
}

void setSwitch(Request& r, const dbCwsElement& e, const std::string& value)
{
    const SwitchKind kind = switchKind(e);
    const char c = value.empty() ? '\0' : value[0];
    bool on = switchedOn(value);
    bool moveCheck = kind == kChecked;
    if (kind == kMezzanine) {
        moveCheck = c == 't' || c == 'T' || c == 'f' || c == 'F';
        on = moveCheck ? (c == 't' || c == 'T') : leadingInteger(value) != 0;
        if (moveCheck)
            r.host.SetElementCheck(r.index, e.code, on);
    }
    if (cwsMakes(r.instance->Settings(), e) != on) {
        r.instance->UpdateSettings([&](CWSSettings& s) { cwsSetMakes(&s, e, on); });
        r.instance->resetCompletionRequested = true;
    }
    if (moveCheck && kind == kChecked)
        r.host.SetElementCheck(r.index, e.code, on);
}

void getSwitch(Request& r, const dbCwsElement& e)
{
    const bool on = cwsMakes(r.instance->Settings(), e);
    r.reply = replyKey(e) + (on ? "=true" : "=false");
    if (switchKind(e) == kMezzanine)
        r.value = on ? 1 : 0;
}

} // namespace

void addSwitchCommands(CommandMap& commands)
{
    for (const dbCwsElement& e : dbCwsElements()) {
        if (!e.switchWord)
            continue;
        commands[std::string("set") + e.switchWord] = {
            [&e](Request& r, const std::string& value) { setSwitch(r, e, value); }};
        commands[std::string("get") + e.switchWord] = {
            [&e](Request& r, const std::string&) { getSwitch(r, e); }};
    }
    commands["setuseonlyspecifiedextensions"] = {[](Request& r, const std::string& value) {
        const bool on = switchedOn(value);
        r.instance->UpdateSettings([on](CWSSettings& s) {
            s.UseOnlySpecifiedExtensions = on;
            s.scanExtensions = cwsScanExtensions(s.effectiveSkipList, on, s.UseOnlyExtensions);
        });
    }};
    commands["getuseonlyspecifiedextensions"] = {[](Request& r, const std::string&) {
        r.reply = std::string("getuseonlyspecifiedextensions=") +
                  (r.instance->Settings().UseOnlySpecifiedExtensions ? "true" : "false");
    }};
}

} // namespace control
