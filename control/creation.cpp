// The creation request "newscandir=PATH&...": a new instance for a scan directory, configured
// by the request's database tokens before anything opens its database.
#include "control/commands_p.h"

#include "platform/qzpath.h"
#include "scanner/clipwatch.h"

namespace control
{

namespace
{

// The database tokens of a creation request, in their order of priority: a token holding
// several of these keys is applied by the first of them.
struct ConfiguringKey {
    const char* key;
    void (*apply)(CommandHost& host, CQZClipwatch* instance, const std::string& value);
};

void setDatabase(CommandHost& host, CQZClipwatch* instance, const std::string& path)
{
    instance->UpdateSettings([&path](CWSSettings& s) {
        s.DataBase = path;
        if (s.DBType == 2)
            qzOSSplitPath(path, nullptr, nullptr, &s.DataBase, nullptr);
    });
    host.AddDatabase(QString::fromStdString(instance->Settings().DataBase));
}

const ConfiguringKey configuringKeys[] = {
    {"setdatabase=", setDatabase},
    {"setusername=",
     [](CommandHost&, CQZClipwatch* i, const std::string& v) {
         i->UpdateSettings([&v](CWSSettings& s) { s.DBUsername = v; });
     }},
    {"setpassword=",
     [](CommandHost&, CQZClipwatch* i, const std::string& v) {
         i->UpdateSettings([&v](CWSSettings& s) { s.DBPassword = v; });
     }},
    {"setport=",
     [](CommandHost&, CQZClipwatch* i, const std::string& v) {
         i->UpdateSettings([&v](CWSSettings& s) { s.DBPort = leadingInteger(v); });
     }},
    {"setdatabasemanagement=",
     [](CommandHost&, CQZClipwatch* i, const std::string& v) {
         i->UpdateSettings([&v](CWSSettings& s) { s.DBType = leadingInteger(v); });
     }},
    {"sethost=",
     [](CommandHost&, CQZClipwatch* i, const std::string& v) {
         i->UpdateSettings([&v](CWSSettings& s) { s.DBHost = v; });
     }},
};

// Applies the database tokens after the first. The settings are written directly, so that the
// database is opened once, with all of them, when the instance is attached.
void configure(CommandHost& host, CQZClipwatch* instance, const std::string& request)
{
    size_t begin = request.find('&');
    while (begin != std::string::npos) {
        const size_t end = request.find('&', begin + 1);
        const std::string token = request.substr(begin + 1, end - begin - 1);
        begin = end;
        for (const ConfiguringKey& key : configuringKeys) {
            const size_t at = token.find(key.key);
            if (at != std::string::npos) {
                key.apply(host, instance,
                          token.substr(at + std::char_traits<char>::length(key.key)));
                break;
            }
        }
    }
}

} // namespace

int CreateInstance(CommandHost& host, const std::string& request, std::optional<std::string>& reply)
{
    const std::string path = fieldAfter(request, "newscandir=");
    QList<CQZClipwatch*>& instances = host.Instances();
    const std::string wanted = withSeparator(path);
    for (CQZClipwatch* instance : instances) {
        const std::string dir = instance->Settings().Dir;
        if (!dir.empty() && (sameDirectory(path, dir) || sameDirectory(wanted, dir))) {
            instance->SaveSettings(instance->Number());
            reply = "newscandiradded_directoryalreadyexists=" + path;
            return 1;
        }
    }

    const int number = instances.size();
    auto* instance = new CQZClipwatch(number, host.OwnAddress());
    instances.append(instance);
    instance->SetScanDirectory(path);
    configure(host, instance, request);
    host.InstanceAdded(number);
    instance->SaveSettings(number);

    if (!qzOSIsNetworkFile(path) && !qzOSFileExists(path)) {
        reply = "newscandiradded_directorydoesnotexist=" + path;
        return 1;
    }
    reply = "newscandiradded=" + path;
    return 0;
}

} // namespace control
