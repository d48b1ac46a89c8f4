// ExecuteCommand's frame: logging, the early exits, addressing and the token loop with its
// reply rule. The commands themselves live in the family files.
#include "control/executecommand.h"

#include "control/commands_p.h"
#include "platform/qzlog.h"
#include "platform/qzpath.h"
#include "scanner/clipwatch.h"

#include <QString>

#include <cctype>
#include <climits>
#include <cstdlib>

std::atomic<int> dumpAllCommandsLevel{0};

namespace control
{

namespace
{

// Longest scan directory an address may name.
constexpr size_t kMaxAddress = 4095;

const CommandMap& commandMap()
{
    static const CommandMap commands = [] {
        CommandMap map;
        addControlCommands(map);
        addStatusCommands(map);
        addNumericCommands(map);
        addSwitchCommands(map);
        addTextCommands(map);
        return map;
    }();
    return commands;
}

// Command words are ASCII, so an ASCII case fold (whatever the locale) is the whole comparison.
char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (foldAscii(text[i]) != foldAscii(prefix[i]))
            return false;
    return true;
}

std::vector<std::string> splitTokens(const std::string& request)
{
    std::vector<std::string> tokens;
    size_t begin = 0;
    for (;;) {
        const size_t end = request.find('&', begin);
        tokens.push_back(request.substr(begin, end - begin));
        if (end == std::string::npos)
            return tokens;
        begin = end + 1;
    }
}

// "getfirstscandir": the first instance's directory and the connection status.
int firstScanDir(CommandHost& host, std::optional<std::string>& reply)
{
    if (host.Instances().isEmpty()) {
        reply = "nextscandir=.";
        return 0;
    }
    std::string dir = host.Instances().first()->Settings().Dir;
    if (dir.empty())
        dir = "<<<<SCAN-DIR-MISSING>>>";
    reply = "firstscandir=" + dir + "&connectionstatus=" + host.ConnectionStatus().toStdString();
    return 0;
}

// The index of the instance whose scan directory is `address` (a separator appended when it
// lacks one); -1 when none has it.
int instanceByDirectory(CommandHost& host, const std::string& address)
{
    const std::string wanted = withSeparator(address);
    const QList<CQZClipwatch*>& instances = host.Instances();
    for (int k = 0; k < instances.size(); ++k)
        if (sameDirectory(wanted, instances[k]->Settings().Dir))
            return k;
    return -1;
}

// Runs the token loop on the addressed instance and forms the reply.
void runTokens(Request& r)
{
    const CommandMap& commands = commandMap();
    const std::string* lastHandled = nullptr;
    for (r.next = 0; r.next < r.tokens.size();) {
        const std::string& token = r.tokens[r.next++];
        const char* word = matchCommandWord(token);
        if (!word)
            continue;
        const Command& command = commands.at(word);
        const size_t wordLength = std::char_traits<char>::length(word);
        const std::string value = token.size() > wordLength ? token.substr(wordLength + 1) : "";
        command.run(r, value);
        if (!command.keepsLastToken)
            lastHandled = &token;
    }
    if (r.reply || !lastHandled)
        return;
    if (lastHandled->find('=') != std::string::npos)
        r.reply = *lastHandled;
    else
        r.reply = *lastHandled + "=" + std::to_string(r.value);
}

int execute(CommandHost& host, const char* text, std::optional<std::string>& reply)
{
    if (!text || !*text) {
        reply = "error=nocommand";
        return -1;
    }
    const std::string request(text);
    if (request.find("newscandir=") != std::string::npos)
        return CreateInstance(host, request, reply);
    if (request.find("getfirstscandir") != std::string::npos)
        return firstScanDir(host, reply);
    if (request.find("scandir=") == std::string::npos) {
        reply = "error=noscandir";
        return -1;
    }
    const std::string address = fieldAfter(request, "scandir=");
    const QList<CQZClipwatch*>& instances = host.Instances();
    int index = -1;
    if (address.size() > kMaxAddress) {
        index = -1;
    } else if (!address.empty() && std::isdigit(static_cast<unsigned char>(address[0]))) {
        index = leadingInteger(address);
        if (index < instances.size() && request.find("getscandir") != std::string::npos) {
            reply = "path=" + instances[index]->Settings().Dir;
            return 0;
        }
    } else {
        index = instanceByDirectory(host, address);
    }
    if (index < 0 || index >= instances.size()) {
        reply = "error=noinstance";
        return -3;
    }
    Request r(host);
    r.index = index;
    r.instance = instances[index];
    r.tokens = splitTokens(request);
    runTokens(r);
    reply = r.reply;
    return r.value;
}

} // namespace

std::string fieldAfter(const std::string& request, const std::string& key)
{
    const size_t at = request.find(key);
    if (at == std::string::npos)
        return std::string();
    const size_t begin = at + key.size();
    return request.substr(begin, request.find('&', begin) - begin);
}

std::string withSeparator(std::string dir)
{
    const char last = dir.empty() ? '\0' : dir.back();
    if (last != '/' && last != '\\')
        dir += qzOSIsNetworkSource(dir) ? '/' : qzOSPathSeparator(dir);
    return dir;
}

bool sameDirectory(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

const char* matchCommandWord(const std::string& token)
{
    for (const std::string& word : commandWords())
        if (startsWithNoCase(token, word))
            return word.c_str();
    return nullptr;
}

int leadingInteger(const std::string& text)
{
    const long long n = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, n)));
}

QString statusText(const Request& r)
{
    return r.index < kPanelCount ? r.instance->StatusText() : QString();
}

} // namespace control

int ExecuteCommand(CommandHost& host, const char* request, std::optional<std::string>& reply)
{
    const int tag = rand() % 32768;
    const bool dump = dumpAllCommandsLevel == 1;
    if (dump)
        ErrOut("\nCWS->[%08d] <%s> ", tag, request ? request : "");
    reply.reset();
    const int result = control::execute(host, request, reply);
    if (dump && reply)
        ErrOut("\nCWS<-[%08d] <%s> ", tag, reply->c_str());
    return result;
}
