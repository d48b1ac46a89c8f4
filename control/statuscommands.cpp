// Navigation, database and status commands: the next instance, the state, the scan directory
// and database, the database connection settings, the status fragment, the progress figures and
// the counters.
#include "control/commands_p.h"

#include "control/xmlreply.h"
#include "scanner/clipwatch.h"

#include <algorithm>
#include <utility>

namespace control
{

namespace
{

int count(const CQZClipwatch* instance, dbCwsCount kind)
{
    return std::max(0, instance->counts[kind].load());
}

int jobsWaiting(CQZClipwatch* instance)
{
    return instance->checkThread.jobList.size();
}

// "key=" and `text`, or "key=." when the text is empty.
std::string keyOrDot(const char* key, const std::string& text)
{
    return std::string(key) + (text.empty() ? "." : text);
}

std::string stateReply(const Request& r)
{
    std::string reply = stateWord(r.instance->state);
    const QString status = statusText(r);
    if (!status.isEmpty())
        reply += "[" + status.toStdString() + "]";
    return reply + "&value=" + std::to_string(r.value);
}

std::string nextScanDir(const Request& r)
{
    const QList<CQZClipwatch*>& instances = r.host.Instances();
    const int next = r.index + 1;
    return keyOrDot("nextscandir=",
                    next < instances.size() ? instances[next]->Settings().Dir : std::string());
}

// The pieces of the connection settings that exist, in their order.
std::string databaseInfo(const CWSSettings& s)
{
    const std::pair<const char*, const std::string*> pieces[] = {
        {"username=", &s.DBUsername},
        {"&password=", &s.DBPassword},
        {"&host=", &s.DBHost},
        {"&databasename=", &s.DataBase},
    };
    std::string info;
    for (const auto& piece : pieces)
        if (!piece.second->empty())
            info += piece.first + *piece.second;
    return info;
}

// "<name>content</name>" and a line end.
std::string element(const std::string& name, const std::string& content)
{
    return "<" + name + ">" + content + "</" + name + ">\n";
}

std::string scanStatus(const Request& r)
{
    const CQZClipwatch* i = r.instance;
    const int numbers[] = {
        count(i, CWS_COUNT_DIRECTORIES),
        count(i, CWS_COUNT_DIRECTORY_ERRORS),
        count(i, CWS_COUNT_SEARCHED),
        count(i, CWS_COUNT_FILES),
        count(i, CWS_COUNT_FILES),
        count(i, CWS_COUNT_COMPLETED),
        count(i, CWS_COUNT_ERRORS),
        jobsWaiting(r.instance),
        static_cast<int>(i->translationsInProgress),
        static_cast<int>(i->md5sInProgress),
    };
    const char* names[] = {"totalDirectories", "directoryErrors",  "directoriesComplete",
                           "totalFilesFound",  "totalClips",       "clipsCompleted",
                           "erroredClips",     "processesWaiting", "processes",
                           "processesMD5"};
    std::string status = "<ScanStatus>1</ScanStatus>\n";
    for (size_t k = 0; k < std::size(numbers); ++k)
        status += element(names[k], std::to_string(numbers[k]));
    status += element("state", xmlEscaped(stateWord(i->state)));
    status += element("operation", xmlEscaped(statusText(r).toStdString()));
    return status;
}

// The figures of Progress(): the rate per second with three decimals, -1 seconds while unknown.
std::string progress(const Request& r)
{
    const ProgressFigures f = r.instance->Progress();
    return element("state", xmlEscaped(stateWord(f.state))) +
           element("done", std::to_string(f.done)) + element("total", std::to_string(f.total)) +
           element("rate", QString::number(f.rate, 'f', 3).toStdString()) +
           element("secondsLeft", std::to_string(f.secondsLeft));
}

// A counter command: counts its number; the reply is formed from the token at the end.
void addCounter(CommandMap& commands, const char* word, int (*number)(CQZClipwatch*))
{
    commands[word] = {[number](Request& r, const std::string&) { r.value = number(r.instance); }};
}

} // namespace

const char* stateWord(int state)
{
    switch (state) {
    case CQZClipwatch::cwsNotRunning:
        return "state=notrunning";
    case CQZClipwatch::cwsFindDirectories:
        return "state=finddirectories";
    case CQZClipwatch::cwsFindClips:
        return "state=findclips";
    case CQZClipwatch::cwsProcessingClips:
        return "state=processingclips";
    case CQZClipwatch::cwsProcessingComplete:
        return "state=complete";
    case CQZClipwatch::cwsProcessingPaused:
        return "state=paused";
    case CQZClipwatch::cwsProcessingStopped:
        return "state=stopped";
    case CQZClipwatch::cwsWaitingForProcesses:
        return "state=waitingforprocess";
    default:
        return "state=unknown";
    }
}

void addStatusCommands(CommandMap& commands)
{
    commands["getnextscandir"] = {[](Request& r, const std::string&) {
        r.value = 0;
        r.reply = nextScanDir(r);
    }};
    commands["getstate"] = {[](Request& r, const std::string&) { r.reply = stateReply(r); }};
    commands["getoperation"] = commands["getstate"];
    commands["getcurrentdir"] = {[](Request& r, const std::string&) {
        r.reply = keyOrDot("currentdir=", r.instance->Settings().Dir);
    }};
    commands["setcurrentdir"] = {[](Request& r, const std::string& value) {
        r.instance->SetScanDirectory(value);
        r.value = 0;
    }};
    commands["setdatabase"] = {[](Request& r, const std::string& value) {
        r.instance->SetDatabasePath(value);
        r.value = 0;
    }};
    commands["getdatabase"] = {[](Request& r, const std::string&) {
        r.reply = keyOrDot("currentdir=", r.instance->Settings().DataBase);
    }};
    commands["getdbinfo"] = {
        [](Request& r, const std::string&) { r.reply = databaseInfo(r.instance->Settings()); }};
    commands["getscanstatus"] = {[](Request& r, const std::string&) { r.reply = scanStatus(r); }};
    commands["getprogress"] = {[](Request& r, const std::string&) { r.reply = progress(r); }};

    using I = CQZClipwatch;
    addCounter(commands, "gettotaldirectories",
               [](I* i) { return count(i, CWS_COUNT_DIRECTORIES); });
    addCounter(commands, "getdirectoryerrors",
               [](I* i) { return count(i, CWS_COUNT_DIRECTORY_ERRORS); });
    addCounter(commands, "getdirectoriescomplete",
               [](I* i) { return count(i, CWS_COUNT_SEARCHED); });
    addCounter(commands, "gettotalfiles", [](I* i) { return count(i, CWS_COUNT_FILES); });
    addCounter(commands, "gettotalclips", [](I* i) { return count(i, CWS_COUNT_FILES); });
    addCounter(commands, "getclipscompleted", [](I* i) { return count(i, CWS_COUNT_COMPLETED); });
    addCounter(commands, "getprocessescompleted",
               [](I* i) { return count(i, CWS_COUNT_COMPLETED); });
    addCounter(commands, "geterroredclips", [](I* i) { return count(i, CWS_COUNT_ERRORS); });
    addCounter(commands, "getsettlingfiles", [](I* i) { return i->SettlingFiles(); });
    addCounter(commands, "getProcesseswaiting", jobsWaiting);
    addCounter(commands, "getProcessesMD5",
               [](I* i) { return static_cast<int>(i->md5sInProgress.load()); });
    addCounter(commands, "getProcesses",
               [](I* i) { return static_cast<int>(i->translationsInProgress.load()); });
}

} // namespace control
