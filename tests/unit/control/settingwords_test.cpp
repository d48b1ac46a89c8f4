// Every get and set word once against an instance: the set's reply, the stored setting, and
// the get's reply and result.
#include "tests/unit/control/commandfixture.h"

#include "platform/qzrecurse.h"
#include "scanner/clipwatch.h"

#include <functional>

namespace
{

struct WordCase {
    const char* set;      // set token, with its value
    const char* get;      // get token; null when the setting has none
    std::string getReply; // expected get reply; "" when the get counts (reply "<get>=<n>")
    std::function<std::string(const CWSSettings&)> stored; // the setting as text
    std::string storedValue;                               // expected stored text
};

std::function<std::string(const CWSSettings&)> number(int CWSSettings::*field)
{
    return [field](const CWSSettings& s) { return std::to_string(s.*field); };
}
std::function<std::string(const CWSSettings&)> text(std::string CWSSettings::*field)
{
    return [field](const CWSSettings& s) { return s.*field; };
}
std::function<std::string(const CWSSettings&)> flag(bool CWSSettings::*field)
{
    return [field](const CWSSettings& s) { return std::string(s.*field ? "1" : "0"); };
}

using S = CWSSettings;
const std::vector<WordCase> wordCases = {
    {"setmaxtranslations=7", "getmaxtranslations", "", number(&S::MaxTranslations), "7"},
    {"setmaxmd5s=5", "getmaxmd5s", "", number(&S::MaxMD5s), "5"},
    {"setpiconflags=9", "getpiconflags", "", number(&S::PiconFlags), "9"},
    {"setpiconframe=31", "getpiconframe", "piconframe=31", number(&S::PiconFrame), "31"},
    {"setpiconwidth=240", "getpiconwidth", "piconwidth=240", number(&S::PiconWidth), "240"},
    {"setxmpflags=2", "getxmpflags", "", number(&S::XMPFlags), "2"},
    {"setproxywidth=640", "getproxywidth", "", number(&S::ProxyWidth), "640"},
    {"setproxyheight=360", "getproxyheight", "", number(&S::ProxyHeight), "360"},
    {"setproxyscale=3", "getproxyscale", "", number(&S::ProxyScale), "3"},
    {"setproxycompression=17", "getproxycompression", "", number(&S::ProxyCompression), "17"},
    {"setproxydatarate=900", "getproxydatarate", "", number(&S::ProxyDataRate), "900"},
    {"setproxyflags=4", "getproxyflags", "", number(&S::ProxyFlags), "4"},
    {"setmezzaninecompression=18", "getmezzaninecompression", "", number(&S::MezzanineCompression),
     "18"},
    {"setmezzaninedatarate=5000", "getmezzaninedatarate", "", number(&S::MezzanineDataRate),
     "5000"},
    {"setmezzanineflags=6", "getmezzanineflags", "", number(&S::MezzanineFlags), "6"},
    {"setmezzaninewidth=1920", nullptr, "", number(&S::MezzanineWidth), "1920"},
    {"setmezzanineheight=1080", "getmezzanineheight", "", number(&S::MezzanineHeight), "1080"},
    {"setmezzaninegopsize=12", "getmezzaninegopsize", "", number(&S::MezzanineGopSize), "12"},
    {"setindexflags=8", "getindexflags", "", number(&S::RtinFlags), "8"},
    {"setpiconpercent=2.25", "getpiconpercent", "piconpercent=225",
     [](const S& s) { return std::to_string(s.PiconPercent); }, std::to_string(2.25)},
    {"setproxymode=multioutput", "getproxymode", "proxymode=multioutput-mp4", number(&S::ProxyMode),
     "220"},
    {"setmakepicon=t", "getmakepicon", "makepicon=true", flag(&S::MakePicons), "1"},
    {"setmakexmp=1", "getmakexmp", "makexmp=true", flag(&S::MakeXMP), "1"},
    {"setmakemd5=T", "getmakemd5", "makemd5=true", flag(&S::MakeMD5), "1"},
    {"setmakeproxy=true", "getmakeproxy", "makeproxy=true", flag(&S::MakeProxy), "1"},
    {"setmakemezzanine=true", "getmakemezzanine", "getmakemezzanine=true", flag(&S::MakeMezzanine),
     "1"},
    {"setmakeindex=1", "getmakeindex", "getmakeindex=true", flag(&S::MakeRtin), "1"},
    {"setuseonlyspecifiedextensions=true", "getuseonlyspecifiedextensions",
     "getuseonlyspecifiedextensions=true", flag(&S::UseOnlySpecifiedExtensions), "1"},
    {"setpicondirectory=/out/picons", "getpicondirectory", "picondirectory=/out/picons/",
     text(&S::PiconDir), "/out/picons/"},
    {"setproxyaroute=1:2", "getproxyaroute", "proxyaroute=1:2", text(&S::ProxyAudioRouting), "1:2"},
    {"setmezzaninearoute=3:4", "getmezzaninearoute", "mezzaninearoute=3:4",
     text(&S::MezzanineAudioRouting), "3:4"},
    {"setxmpdirectory=/out/xmp", "getxmpdirectory", "xmpdirectory=/out/xmp/", text(&S::XMPDir),
     "/out/xmp/"},
    {"setproxydirectory=/out/proxy", "getproxydirectory", "proxydirectory=/out/proxy/",
     text(&S::ProxyDir), "/out/proxy/"},
    {"setproxycmdflags=-x", "getproxycmdflags", "getproxycmdflags=-x", text(&S::ProxyCmdFlags),
     "-x"},
    {"setmezzaninemode=xdcam", "getmezzaninemode", "getmezzaninemode=xdcam",
     text(&S::MezzanineModeS), "xdcam"},
    {"setmezzaninetype=mxf", "getmezzaninetype", "getmezzaninetype=mxf", text(&S::MezzanineTypeS),
     "mxf"},
    {"setmezzaninedirectory=/out/mezz", "getmezzaninedirectory", "mezzaninedirectory=/out/mezz/",
     text(&S::MezzanineDir), "/out/mezz/"},
    {"setmezzaninecmdflags=-y", "getmezzaninecmdflags", "getmezzaninecmdflags=-y",
     text(&S::MezzanineCmdFlags), "-y"},
    {"setindexdirectory=/out/rtin", "getindexdirectory", "indexdirectory=/out/rtin/",
     text(&S::RtinDir), "/out/rtin/"},
    {"setskipextensions=.tmp", "getskipextensions", "skipextensions=.tmp", text(&S::SkipExtensions),
     ".tmp"},
    {"setskipstringsdir=cache", "getskipstringsdir", "skipstringsdir=cache", text(&S::SkipDir),
     "cache"},
    {"setskipstringsname=~", "getskipstringsname", "skipstringsname=~", text(&S::SkipName), "~"},
    {"setuseonlyextensions=.mov", "getuseonlyextensions", "getuseonlyextensions=.mov",
     text(&S::UseOnlyExtensions), ".mov"},
};

// Gets of empty text settings and their replies.
const std::vector<std::pair<const char*, const char*>> emptyReplies = {
    {"getpicondirectory", "picondirectory=."},
    {"getproxyaroute", "proxyaroute="},
    {"getproxydirectory", "proxydirectory="},
    {"getproxycmdflags", "getproxycmdflags=."},
    {"getmezzaninemode", "getmezzaninemode="},
    {"getskipstringsdir", "skipstringdirs=."},
    {"getuseonlyextensions", "getuseonlyextensions=."},
    {"getmakeindex", "getmakeindex=false"},
    {"getdatabase", "currentdir=."},
    {"getdbinfo", ""},
};

} // namespace

TEST_F(CommandTest, EveryGetAndSetWord)
{
    setKeys(0, {{"Dir", folder + "/media0/"}});
    startWindow();
    for (const WordCase& c : wordCases) {
        SCOPED_TRACE(c.set);
        EXPECT_EQ(run((std::string("scandir=0&") + c.set).c_str()), c.set);
        EXPECT_EQ(c.stored(settings(0)), c.storedValue);
        if (!c.get)
            continue;
        const std::string reply = run((std::string("scandir=0&") + c.get).c_str());
        if (c.getReply.empty())
            EXPECT_EQ(reply, std::string(c.get) + "=" + c.storedValue);
        else
            EXPECT_EQ(reply, c.getReply);
    }
}

TEST_F(CommandTest, GetsOfEmptySettings)
{
    setKeys(0, {{"Dir", folder + "/media0/"}});
    startWindow();
    run("scandir=0&setskipstringsdir=");
    for (const auto& [get, reply] : emptyReplies)
        EXPECT_EQ(run((std::string("scandir=0&") + get).c_str()), reply) << get;
}

TEST_F(CommandTest, DatabaseWordsAndCounters)
{
    startWith(1);
    CQZClipwatch* instance = program->instances[0];
    const std::string db = folder.toStdString() + "/other.db";
    EXPECT_EQ(run(("scandir=0&setdatabase=" + db).c_str()), "setdatabase=" + db);
    EXPECT_EQ(run("scandir=0&getdatabase"), "currentdir=" + db);
    EXPECT_EQ(run("scandir=0&getdbinfo"), "&databasename=" + db);
    instance->UpdateSettings([](CWSSettings& s) {
        s.DBUsername = "u";
        s.DBHost = "h";
    });
    EXPECT_EQ(run("scandir=0&getdbinfo"), "username=u&host=h&databasename=" + db);

    const std::pair<const char*, dbCwsCount> counters[] = {
        {"gettotaldirectories", CWS_COUNT_DIRECTORIES},
        {"getdirectoryerrors", CWS_COUNT_DIRECTORY_ERRORS},
        {"getdirectoriescomplete", CWS_COUNT_SEARCHED},
        {"gettotalfiles", CWS_COUNT_FILES},
        {"gettotalclips", CWS_COUNT_FILES},
        {"getclipscompleted", CWS_COUNT_COMPLETED},
        {"getprocessescompleted", CWS_COUNT_COMPLETED},
        {"geterroredclips", CWS_COUNT_ERRORS},
    };
    for (const auto& [word, kind] : counters) {
        for (auto& count : instance->counts)
            count = 1;
        instance->counts[kind] = 41;
        EXPECT_EQ(run((std::string("scandir=0&") + word).c_str()), std::string(word) + "=41");
        EXPECT_EQ(result, 41);
    }
    instance->translationsInProgress = 0;
    instance->md5sInProgress = 6;
    instance->checkThread.jobList.append("http://127.0.0.1:1080/job&type=picon");
    EXPECT_EQ(run("scandir=0&getProcessesMD5"), "getProcessesMD5=6");
    EXPECT_EQ(run("scandir=0&getprocesseswaiting"), "getprocesseswaiting=1");
    EXPECT_EQ(run("scandir=0&getprocesses"), "getprocesses=0");
    instance->checkThread.jobList.clear();
}

TEST_F(CommandTest, ScanStatusFragment)
{
    startWith(1);
    CQZClipwatch* instance = program->instances[0];
    // The walk shows the folder it records as the operation, a name that needs escaping.
    CQZClipwatch::DirectoryVisited(instance, folder.toStdString() + "/a<b & c",
                                   QZ_ATTRIBUTE_DIRECTORY);
    const int values[] = {10, 1, 9, 30, 12, 25, 2, 3, 0, 0, 0, 0};
    for (int k = 0; k < CWS_COUNT_KINDS; ++k)
        instance->counts[k] = values[k];
    instance->translationsInProgress = 3;
    instance->md5sInProgress = 4;
    instance->state = CQZClipwatch::cwsProcessingPaused;
    EXPECT_EQ(run("scandir=0&getscanstatus"),
              "<ScanStatus>1</ScanStatus>\n<totalDirectories>10</totalDirectories>\n"
              "<directoryErrors>9</directoryErrors>\n<directoriesComplete>1</directoriesComplete>\n"
              "<totalFilesFound>30</totalFilesFound>\n<totalClips>30</totalClips>\n"
              "<clipsCompleted>12</clipsCompleted>\n<erroredClips>3</erroredClips>\n"
              "<processesWaiting>0</processesWaiting>\n<processes>3</processes>\n"
              "<processesMD5>4</processesMD5>\n<state>state=paused</state>\n"
              "<operation>Scanning " +
                  folder.toStdString() + "/a&lt;b &amp; c</operation>\n");
}
