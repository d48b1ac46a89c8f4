// Instance settings: defaults and derived defaults, directory separators, the desktop-heap job
// limits, skip and scan lists as loaded, save/reload, deleting groups, skipped directories.
#include "platform/qzconfig.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "scanner/extensionlists.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>

#include <map>

namespace
{

const char* const subSystems = "System\\CurrentControlSet\\Control\\Session Manager\\SubSystems";

QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
}

void writeGroup(int number, const std::map<QString, QVariant>& values)
{
    QSettings s = store();
    for (const auto& [key, value] : values)
        s.setValue(QString("Instance%1/%2").arg(number).arg(key), value);
}

QVariant stored(int number, const char* key)
{
    return store().value(QString("Instance%1/%2").arg(number).arg(key));
}

void setHeap(const std::string& windowsValue)
{
    QuickRegSetValueString("HKEY_LOCAL_MACHINE", subSystems, "Windows", windowsValue);
}

class Settings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store().clear();
        setHeap("");
        CQZClipwatch::instanceCount = 1;
    }
};

} // namespace

TEST_F(Settings, MissingGroupKeepsConstructionValues)
{
    CQZClipwatch inst(0, "127.0.0.1");
    const CWSSettings s = inst.Settings();
    EXPECT_EQ(s.Separator, '/');
    EXPECT_EQ(s.Dir, "");
    EXPECT_NE(s.scanExtensions.find(".mov"), std::string::npos);
    EXPECT_EQ(s.scanExtensions.find(".wav"), std::string::npos) << "built-in skips apply";
    EXPECT_FALSE(store().childGroups().contains("Instance0")) << "loading writes nothing";
}

TEST_F(Settings, DerivedDefaultsFollowTheirSourceKeysOnTheFirstLoad)
{
    writeGroup(0, {{"MaxTranslations", 30},
                   {"ProxyWidth", 1280},
                   {"ProxyHeight", 720},
                   {"ProxyDir", "/out/proxy"},
                   {"MakeXMP", 1}});
    CQZClipwatch inst(0, "127.0.0.1");
    const CWSSettings s = inst.Settings();
    EXPECT_EQ(s.MaxMD5s, 30);
    EXPECT_EQ(s.MezzanineWidth, 1280);
    EXPECT_EQ(s.MezzanineGopSize, 720);
    EXPECT_EQ(s.PiconDir, "/out/proxy/");
    EXPECT_TRUE(s.MakeRtin);
    EXPECT_EQ(s.Dir, "Instance 0 invalid - no directory");
    EXPECT_EQ(s.SkipDir, "Adobe Premiere Pro Audio Previews;Adobe Premiere Pro Auto-Save;"
                         "Adobe Premiere Pro Video Previews");
}

TEST_F(Settings, TextsAndDirectoriesByTheirRules)
{
    writeGroup(2, {{"Dir", "/media/in"},
                   {"XMPDir", "s3://bucket/xmp"},
                   {"RtinDir", "C:\\rtin"},
                   {"DBUsername", "user"},
                   {"DataBase", "clips.db"},
                   {"Separator", "\\x"}});
    CQZClipwatch inst(2, "127.0.0.1");
    CWSSettings s = inst.Settings();
    EXPECT_EQ(s.Dir, "/media/in/");
    EXPECT_EQ(s.XMPDir, "s3://bucket/xmp/");
    EXPECT_EQ(s.RtinDir, "C:\\rtin\\");
    EXPECT_EQ(s.Separator, '\\');

    writeGroup(2, {{"DBUsername", ""},
                   {"DataBase", ""},
                   {"Separator", QString::fromUtf8("€")},
                   {"MaxTranslations", "many"}});
    inst.LoadSettings(2);
    s = inst.Settings();
    EXPECT_EQ(s.DBUsername, "user") << "an empty user name leaves the field";
    EXPECT_EQ(s.DataBase, "") << "an empty database path clears it";
    EXPECT_EQ(s.Separator, '\\') << "an unusable separator keeps the current one";
    EXPECT_EQ(s.MaxTranslations, 10) << "a value that is no number keeps the current one";
}

TEST_F(Settings, DesktopHeapLimitsByRow)
{
    struct Case {
        const char* windows;
        bool md5;
        int maxMD5s, maxTranslations;
        int wantMD5s, wantTranslations;
    };
    const Case cases[] = {
        {"SharedSection=1024,20480,768", true, 200, 100, 70, 20},
        {"SharedSection=1024,20480,768", false, 200, 100, 200, 95},
        {"SharedSection=1024,20480,768", false, 200, 96, 200, 95},
        {"SharedSection=1024,20480,769", false, 200, 96, 200, 96},
        {"SharedSection=1024,20480,1024", false, 20, 130, 20, 130},
        {"SharedSection=1024,20480,1024", true, 200, 100, 190, 60},
        {"SharedSection=1024,20480,3072", true, 500, 100, 410, 90},
        {"SharedSection=1024,20480,8192", true, 700, 100, 650, 100},
        {"x SharedSection=1024,20480,8192 y", false, 20, 760, 20, 750},
        {"", false, 20, 100, 20, 95},
    };
    for (const Case& c : cases) {
        store().clear();
        setHeap(c.windows);
        writeGroup(0, {{"MakeMD5", c.md5 ? 1 : 0},
                       {"MaxMD5s", c.maxMD5s},
                       {"MaxTranslations", c.maxTranslations}});
        CQZClipwatch inst(0, "127.0.0.1");
        EXPECT_EQ(inst.Settings().MaxMD5s, c.wantMD5s) << c.windows << " " << c.maxTranslations;
        EXPECT_EQ(inst.Settings().MaxTranslations, c.wantTranslations)
            << c.windows << " " << c.maxTranslations;
    }
}

TEST_F(Settings, SkipAndScanListsAsLoaded)
{
    writeGroup(0, {{"SkipExtensions", ".mov"}});
    CQZClipwatch inst(0, "127.0.0.1");
    CWSSettings s = inst.Settings();
    EXPECT_EQ(s.effectiveSkipList, cwsBuiltInSkipExtensions() + ".mov");
    EXPECT_EQ(s.scanExtensions.find(".mov."), std::string::npos);
    EXPECT_NE(s.scanExtensions.find(".mp4."), std::string::npos);

    writeGroup(0, {{"SkipExtensionsIngoreDefault", 1}});
    inst.LoadSettings(0);
    s = inst.Settings();
    EXPECT_EQ(s.effectiveSkipList, ".mov");
    EXPECT_NE(s.scanExtensions.find(".wav."), std::string::npos) << "built-in list ignored";

    writeGroup(0, {{"UseOnlySpecifiedExtensions", 1}, {"UseOnlyExtensions", ""}});
    inst.LoadSettings(0);
    EXPECT_EQ(inst.Settings().scanExtensions, s.scanExtensions) << "empty list: computed list";

    writeGroup(0, {{"UseOnlyExtensions", ".mxf.mov"}});
    inst.LoadSettings(0);
    EXPECT_EQ(inst.Settings().scanExtensions, ".mxf.mov");
}

TEST(ExtensionLists, TokensAreRemovedWholeAndIgnoringCase)
{
    EXPECT_EQ(cwsRemoveExtensions(".mp4.mov", ".mp"), ".mp4.mov");
    EXPECT_EQ(cwsRemoveExtensions(".m2ts.m2t.mov", ".m2t"), ".m2ts.mov")
        << "a token that begins a longer entry still removes its own entry";
    EXPECT_EQ(cwsRemoveExtensions(".mov.MXF", ".mxf.MOV"), "");
    EXPECT_EQ(cwsRemoveExtensions(".m4a.tscproj.wav", ".m4a..tscproj"), ".wav")
        << "the doubled dot splits into '.' which removes nothing";
    const std::string longToken = "." + std::string(300, 'x');
    EXPECT_EQ(cwsRemoveExtensions(".mov" + longToken, longToken), ".mov");

    EXPECT_EQ(cwsScanExtensions(".mov", true, ""), cwsScanExtensions(".mov", false, ".x"));
}

TEST_F(Settings, SaveAndReloadKeepsBothCommandFlags)
{
    CQZClipwatch inst(0, "127.0.0.1");
    inst.SetScanDirectory("/media/in");
    inst.SetProxyCmdFlags("-proxyflag");
    inst.SetMezzanineCmdFlags("-mezzflag");
    inst.UpdateSettings([](CWSSettings& s) { s.PiconPercent = 12.7; });
    EXPECT_EQ(stored(0, "PiconPercent").toString(), "12");
    EXPECT_FALSE(stored(0, "AutoStart").isValid()) << "AutoStart is written only on its own";
    EXPECT_FALSE(stored(0, "cmdip").isValid());

    CQZClipwatch again(0, "127.0.0.1");
    const CWSSettings s = again.Settings();
    EXPECT_EQ(s.ProxyCmdFlags, "-proxyflag");
    EXPECT_EQ(s.MezzanineCmdFlags, "-mezzflag");
    EXPECT_EQ(s.PiconPercent, 12);

    store().remove("Instance0/MezzanineCmdFlags");
    again.LoadSettings(0);
    EXPECT_EQ(again.Settings().MezzanineCmdFlags, "-proxyflag") << "older stores share the key";

    again.SaveAutoStart(0, true);
    EXPECT_TRUE(stored(0, "AutoStart").toBool());
    CQZClipwatch third(0, "127.0.0.1");
    EXPECT_TRUE(third.Settings().AutoStart);
}

TEST_F(Settings, SettersAppendSeparatorsAndRecomputeLists)
{
    CQZClipwatch inst(0, "127.0.0.1");
    inst.SetProxyDir("/out/proxy");
    inst.SetMezzanineDir("");
    inst.SetSkipExtensions(".mxf");
    CWSSettings s = inst.Settings();
    EXPECT_EQ(s.ProxyDir, "/out/proxy/");
    EXPECT_EQ(s.MezzanineDir, "");
    EXPECT_EQ(s.scanExtensions.find(".mxf"), std::string::npos);
    EXPECT_EQ(stored(0, "SkipExtensions").toString(), ".mxf");

    inst.SetScanDirectory("");
    EXPECT_EQ(inst.Settings().Dir, "") << "an empty directory never becomes the root";
    inst.SetScanDirectory("C:\\Media");
    EXPECT_EQ(inst.Settings().Dir, "C:\\Media\\");
    EXPECT_EQ(inst.Settings().Separator, '\\');

    inst.SetDatabaseType(2);
    inst.SetDatabasePath("/var/db/clips.db");
    EXPECT_EQ(inst.Settings().DataBase, "clips");
    EXPECT_EQ(stored(0, "DataBase").toString(), "clips") << "saved by the reload of the database";
}

TEST_F(Settings, MezzanineWordsAreCutTo63Characters)
{
    ErrLogSetFileName("settings-words");
    const QString longWord(70, 'm');
    writeGroup(0,
               {{"MezzanineModeS", longWord}, {"MezzanineTypeS", "xdcam"}, {"MakeMezzanine", 1}});
    CQZClipwatch inst(0, "127.0.0.1");
    EXPECT_EQ(inst.Settings().MezzanineModeS, std::string(63, 'm'));
    inst.UpdateSettings([](CWSSettings& s) { s.MezzanineTypeS = std::string(64, 't'); });
    EXPECT_EQ(inst.Settings().MezzanineTypeS, std::string(63, 't'));
    inst.UpdateSettings([](CWSSettings& s) { s.MezzanineTypeS = std::string(62, 't') + "é"; });
    EXPECT_EQ(inst.Settings().MezzanineTypeS, std::string(62, 't')) << "no half character";
    writeGroup(0, {{"MezzanineModeS", ""}});
    inst.LoadSettings(0);
    ErrLogClose();
    const QString log = testenv::readLog("settings-words");
    EXPECT_TRUE(log.contains("WARNING(CWSscan): MezzanineModeS longer than 63 characters"));
    EXPECT_TRUE(log.contains("WARNING(CWSscan): MezzanineTypeS longer than 63 characters"));
    EXPECT_TRUE(log.contains("ERROR(CWSscan): Attempting to make mezzanine file without "
                             "settting a mode for the mezzanine file"));
}

TEST_F(Settings, DeletingMovesWholeGroupsDown)
{
    for (int n = 0; n < 3; ++n)
        writeGroup(n,
                   {{"Dir", QString("/media/%1/").arg(n)}, {"Element0", QString("msg%1").arg(n)}});
    writeGroup(0, {{"SkipName", "only-in-0"}});
    store().setValue("Command/address", "127.0.0.1");
    CQZClipwatch inst(0, "127.0.0.1");
    inst.DeleteInstanceSettings(0);
    EXPECT_EQ(store().childGroups(), QStringList({"Command", "Instance0", "Instance1"}));
    EXPECT_EQ(stored(0, "Dir").toString(), "/media/1/");
    EXPECT_EQ(stored(0, "Element0").toString(), "msg1");
    EXPECT_FALSE(stored(0, "SkipName").isValid()) << "nothing of the deleted group stays";
    EXPECT_EQ(stored(1, "Dir").toString(), "/media/2/");
    EXPECT_EQ(inst.Settings().Dir, "/media/2/") << "the invoking instance loaded each moved group";

    inst.DeleteInstanceSettings(1);
    EXPECT_EQ(store().childGroups(), QStringList({"Command", "Instance0"}));
    EXPECT_EQ(stored(0, "Dir").toString(), "/media/1/");
}

TEST_F(Settings, SkippedDirectories)
{
    const QString root = testenv::makeDir("skip");
    const std::string marked = (root + "/marked/").toStdString();
    QDir().mkpath(QString::fromStdString(marked));
    QFile marker(QString::fromStdString(marked) + "Do Not Scan.cws");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();

    CQZClipwatch inst(0, "127.0.0.1");
    inst.SetSkipDir("");
    EXPECT_EQ(inst.IsSkippedDirectory(marked), 0) << "empty SkipDir: no marker lookup either";
    inst.SetSkipDir("Previews");
    EXPECT_EQ(inst.IsSkippedDirectory(marked), 1);
    EXPECT_EQ(inst.IsSkippedDirectory("D:\\Media\\Audio Previews\\"), 1);
    EXPECT_EQ(inst.IsSkippedDirectory("/media/clips/"), 0);
    EXPECT_EQ(inst.IsSkippedDirectory("s3:/" + marked), 0) << "no marker under s3://";
    inst.SetSkipDir("Previews;");
    EXPECT_EQ(inst.IsSkippedDirectory("/media/clips/"), 0) << "an empty part matches nothing";
    EXPECT_EQ(inst.IsSkippedDirectory("/media/previews/"), 1);
}
