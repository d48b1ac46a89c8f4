// Text setting commands: one table of set and get words over the instance's text settings,
// each set through its setter (or stored and saved), each get replying with its key.
#include "control/commands_p.h"

#include "scanner/clipwatch.h"

namespace control
{

namespace
{

struct TextRow {
    const char* setWord;
    const char* getWord;
    std::string CWSSettings::*setting;
    void (CQZClipwatch::*setter)(const std::string&); // null: stored and saved as it is
    const char* replyKey;                             // get reply: key and the text
    const char* emptyReply;                           // get reply when the setting holds no text
};

const TextRow textRows[] = {
    {"setpicondirectory", "getpicondirectory", &CWSSettings::PiconDir, &CQZClipwatch::SetPiconDir,
     "picondirectory=", "picondirectory=."},
    {"setproxyaroute", "getproxyaroute", &CWSSettings::ProxyAudioRouting, nullptr,
     "proxyaroute=", "proxyaroute="},
    {"setmezzaninearoute", "getmezzaninearoute", &CWSSettings::MezzanineAudioRouting, nullptr,
     "mezzaninearoute=", "mezzaninearoute="},
    {"setxmpdirectory", "getxmpdirectory", &CWSSettings::XMPDir, &CQZClipwatch::SetXMPDir,
     "xmpdirectory=", "xmpdirectory=."},
    {"setproxydirectory", "getproxydirectory", &CWSSettings::ProxyDir, &CQZClipwatch::SetProxyDir,
     "proxydirectory=", "proxydirectory="},
    {"setproxycmdflags", "getproxycmdflags", &CWSSettings::ProxyCmdFlags,
     &CQZClipwatch::SetProxyCmdFlags, "getproxycmdflags=", "getproxycmdflags=."},
    {"setmezzaninemode", "getmezzaninemode", &CWSSettings::MezzanineModeS, nullptr,
     "getmezzaninemode=", "getmezzaninemode="},
    {"setmezzaninetype", "getmezzaninetype", &CWSSettings::MezzanineTypeS, nullptr,
     "getmezzaninetype=", "getmezzaninetype="},
    {"setmezzaninedirectory", "getmezzaninedirectory", &CWSSettings::MezzanineDir,
     &CQZClipwatch::SetMezzanineDir, "mezzaninedirectory=", "mezzaninedirectory=."},
    {"setmezzaninecmdflags", "getmezzaninecmdflags", &CWSSettings::MezzanineCmdFlags,
     &CQZClipwatch::SetMezzanineCmdFlags, "getmezzaninecmdflags=", "getmezzaninecmdflags=."},
    {"setindexdirectory", "getindexdirectory", &CWSSettings::RtinDir, &CQZClipwatch::SetRtinDir,
     "indexdirectory=", "indexdirectory=."},
    {"setskipextensions", "getskipextensions", &CWSSettings::SkipExtensions,
     &CQZClipwatch::SetSkipExtensions, "skipextensions=", "skipextensions=."},
    {"setskipstringsdir", "getskipstringsdir", &CWSSettings::SkipDir, &CQZClipwatch::SetSkipDir,
     "skipstringsdir=", "skipstringdirs=."},
    {"setskipstringsname", "getskipstringsname", &CWSSettings::SkipName, &CQZClipwatch::SetSkipName,
     "skipstringsname=", "skipstringsname=."},
    {"setuseonlyextensions", "getuseonlyextensions", &CWSSettings::UseOnlyExtensions,
     &CQZClipwatch::SetUseOnlyExtensions, "getuseonlyextensions=", "getuseonlyextensions=."},
};

void setText(Request& r, const TextRow& row, const std::string& value)
{
    if (row.setter)
        (r.instance->*row.setter)(value);
    else
        r.instance->UpdateSettings([&](CWSSettings& s) { s.*row.setting = value; });
}

void getText(Request& r, const TextRow& row)
{
    const std::string text = r.instance->Settings().*row.setting;
    r.reply = text.empty() ? std::string(row.emptyReply) : row.replyKey + text;
}

} // namespace

void addTextCommands(CommandMap& commands)
{
    for (const TextRow& row : textRows) {
        commands[row.setWord] = {
            [&row](Request& r, const std::string& value) { setText(r, row, value); }};
        commands[row.getWord] = {[&row](Request& r, const std::string&) { getText(r, row); }};
    }
}

} // namespace control
