// Element switch commands: one table of set and get words over the instance's on/off element
// settings, with the panel check box each set moves; and the scan-only-these-extensions switch.
#include "control/commands_p.h"

#include "scanner/clipwatch.h"
#include "scanner/extensionlists.h"

namespace control
{

namespace
{

// How a set reads its value and whether it moves the panel's check box.
enum SwitchKind {
    kChecked,   // "t", "T" or "1" is on; the check box follows
    kUnchecked, // as kChecked, no check box
    kMezzanine, // "t"/"T" on, "f"/"F" off (check box moved first); else an integer, no box
};

struct SwitchRow {
    const char* setWord;
    const char* getWord;
    bool CWSSettings::*setting;
    const char* replyKey; // get reply: key, "=", "true" or "false"
    SwitchKind kind;
};

const SwitchRow switchRows[] = {
    {"setmakepicon", "getmakepicon", &CWSSettings::MakePicons, "makepicon", kChecked},
    {"setmakexmp", "getmakexmp", &CWSSettings::MakeXMP, "makexmp", kChecked},
    {"setmakemd5", "getmakemd5", &CWSSettings::MakeMD5, "makemd5", kChecked},
    {"setmakeproxy", "getmakeproxy", &CWSSettings::MakeProxy, "makeproxy", kChecked},
    {"setmakemezzanine", "getmakemezzanine", &CWSSettings::MakeMezzanine, "getmakemezzanine",
     kMezzanine},
    {"setmakeindex", "getmakeindex", &CWSSettings::MakeRtin, "getmakeindex", kUnchecked},
};

bool switchedOn(const std::string& value)
{
    const char c = value.empty() ? '\0' : value[0];
    return c == 't' || c == 'T' || c == '1';
}

void setSwitch(Request& r, const SwitchRow& row, const std::string& value)
{
    const char c = value.empty() ? '\0' : value[0];
    bool on = switchedOn(value);
    bool moveCheck = row.kind == kChecked;
    if (row.kind == kMezzanine) {
        moveCheck = c == 't' || c == 'T' || c == 'f' || c == 'F';
        on = moveCheck ? (c == 't' || c == 'T') : leadingInteger(value) != 0;
        if (moveCheck)
            r.host.SetElementCheck(r.index, row.setting, on);
    }
    if (r.instance->Settings().*row.setting != on) {
        r.instance->UpdateSettings([&](CWSSettings& s) { s.*row.setting = on; });
        r.instance->resetCompletionRequested = true;
    }
    if (moveCheck && row.kind == kChecked)
        r.host.SetElementCheck(r.index, row.setting, on);
}

void getSwitch(Request& r, const SwitchRow& row)
{
    const bool on = r.instance->Settings().*row.setting;
    r.reply = std::string(row.replyKey) + (on ? "=true" : "=false");
    if (row.kind == kMezzanine)
        r.value = on ? 1 : 0;
}

} // namespace

void addSwitchCommands(CommandMap& commands)
{
    for (const SwitchRow& row : switchRows) {
        commands[row.setWord] = {
            [&row](Request& r, const std::string& value) { setSwitch(r, row, value); }};
        commands[row.getWord] = {[&row](Request& r, const std::string&) { getSwitch(r, row); }};
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
