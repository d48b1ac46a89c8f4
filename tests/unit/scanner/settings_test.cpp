// Instance settings: loading, limits, lists, saving and deleting groups.
#include "platform/qzconfig.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "scanner/extensionlists.h"
#include "tests/support/scanenv.h"

#include <QSettings>

#include <map>

namespace
{

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
    QuickRegSetValueString("HKEY_LOCAL_MACHINE",
                           "System\\CurrentControlSet\\Control\\Session Manager\\SubSystems",
                           "Windows", windowsValue);
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

TEST_F(Settings, DerivedDefaultsAndTextRules)
{
    ErrLogSetFileName("settings-words");
    writeGroup(2, {{"MaxTranslations", 30},
                   {"ProxyDir", "/out/proxy"},
                   {"MakeXMP", 1},
                   {"DBUsername", "user"},
                   {"DataBase", "clips.db"},
                   {"Separator", "\\x"},
                   {"MezzanineModeS", QString(70, 'm')},
                   {"MakeMezzanine", 1}});
    CQZClipwatch inst(2, "127.0.0.1");
    CWSSettings s = inst.Settings();
    EXPECT_EQ(s.MezzanineModeS, std::string(63, 'm'));
    EXPECT_EQ(s.MaxMD5s, 30);
    EXPECT_EQ(s.PiconDir, "/out/proxy/");
    EXPECT_TRUE(s.MakeRtin);
    EXPECT_EQ(s.Dir, "Instance 2 invalid - no directory");
    EXPECT_EQ(s.Separator, '\\');

    writeGroup(2, {{"Dir", "/media/in"},
                   {"DBUsername", ""},
                   {"DataBase", ""},
                   {"Separator", QString::fromUtf8("€")},
                   {"MaxTranslations", "many"},
                   {"MezzanineModeS", ""}});
    inst.LoadSettings(2);
    s = inst.Settings();
    EXPECT_EQ(s.Dir, "/media/in/");
    EXPECT_EQ(s.DBUsername, "user") << "an empty user name leaves the field";
    EXPECT_EQ(s.DataBase, "") << "an empty database path clears it";
    EXPECT_EQ(s.Separator, '\\') << "an unusable separator keeps the current one";
    EXPECT_EQ(s.MaxTranslations, 30) << "a value that is no number keeps the current one";
    // Mezzanine words are cut to 63 bytes, never inside a character.
    inst.UpdateSettings([](CWSSettings& r) { r.MezzanineTypeS = std::string(62, 't') + "é"; });
    EXPECT_EQ(inst.Settings().MezzanineTypeS, std::string(62, 't'));
    ErrLogClose();
    const QString log = testenv::readLog("settings-words");
    EXPECT_TRUE(log.contains("WARNING(CWSscan): MezzanineModeS longer than 63 characters"));
    EXPECT_TRUE(log.contains("ERROR(CWSscan): Attempting to make mezzanine file without "
                             "settting a mode for the mezzanine file"));
}

TEST_F(Settings, DesktopHeapLimitsByRow)
{
    const struct {
        const char* windows;
        bool md5;
        int maxMD5s, maxTranslations, wantMD5s, wantTranslations;
    } cases[] = {
        {"SharedSection=1024,20480,768", true, 200, 100, 70, 20},
        {"SharedSection=1024,20480,769", false, 200, 96, 200, 96},
        {"SharedSection=1024,20480,8192", true, 700, 100, 650, 100},
        {"x SharedSection=1024,20480,8192 y", false, 20, 760, 20, 750},
        {"", false, 20, 100, 20, 95},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.windows) + " " + std::to_string(c.maxTranslations));
        store().clear();
        setHeap(c.windows);
        writeGroup(0, {{"MakeMD5", c.md5 ? 1 : 0},
                       {"MaxMD5s", c.maxMD5s},
                       {"MaxTranslations", c.maxTranslations}});
        CQZClipwatch inst(0, "127.0.0.1");
        EXPECT_EQ(inst.Settings().MaxMD5s, c.wantMD5s);
        EXPECT_EQ(inst.Settings().MaxTranslations, c.wantTranslations);
    }
}

TEST_F(Settings, SkipAndScanListsAsLoadedWithTokensRemovedWhole)
{
    CQZClipwatch inst(0, "127.0.0.1");
    CWSSettings s = inst.Settings();
    EXPECT_NE(s.scanExtensions.find(".mov"), std::string::npos);
    EXPECT_EQ(s.scanExtensions.find(".wav"), std::string::npos) << "built-in skips apply";
    EXPECT_FALSE(store().childGroups().contains("Instance0")) << "loading writes nothing";

    writeGroup(0, {{"SkipExtensions", ".mov"}});
    inst.LoadSettings(0);
    s = inst.Settings();
    EXPECT_EQ(s.effectiveSkipList, cwsBuiltInSkipExtensions() + ".mov");
    EXPECT_EQ(s.scanExtensions.find(".mov."), std::string::npos);

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

    // Skipped tokens are removed whole and ignoring case.
    const std::string longToken = "." + std::string(300, 'x');
    const struct {
        std::string list, skip, expected;
    } cases[] = {
        {".m2ts.m2t.mov", ".m2t", ".m2ts.mov"}, // a token that begins a longer entry
        {".mov.MXF", ".mxf.MOV", ""},
        {".m4a.tscproj.wav", ".m4a..tscproj", ".wav"}, // the doubled dot removes nothing more
        {".mov" + longToken, longToken, ".mov"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cwsRemoveExtensions(c.list, c.skip), c.expected) << c.list << " - " << c.skip;
}

TEST_F(Settings, SettersSaveKeepTheDirectoryRulesAndRecomputeLists)
{
    CQZClipwatch inst(0, "127.0.0.1");
    inst.SetScanDirectory("/media/in");
    inst.SetProxyCmdFlags("-proxyflag");
    inst.UpdateSettings([](CWSSettings& s) { s.PiconPercent = 12.7; });
    EXPECT_EQ(stored(0, "PiconPercent").toString(), "12");
    EXPECT_FALSE(stored(0, "AutoStart").isValid()) << "AutoStart is written only on its own";
    EXPECT_FALSE(stored(0, "cmdip").isValid());

    store().remove("Instance0/MezzanineCmdFlags");
    CQZClipwatch again(0, "127.0.0.1");
    EXPECT_EQ(again.Settings().ProxyCmdFlags, "-proxyflag");
    EXPECT_EQ(again.Settings().MezzanineCmdFlags, "-proxyflag") << "older stores share the key";

    again.SaveAutoStart(0, true);
    EXPECT_TRUE(CQZClipwatch(0, "127.0.0.1").Settings().AutoStart);

    again.SetSkipExtensions(".mxf");
    EXPECT_EQ(again.Settings().scanExtensions.find(".mxf"), std::string::npos);
    again.SetScanDirectory("");
    EXPECT_EQ(again.Settings().Dir, "") << "an empty directory never becomes the root";
    again.SetScanDirectory("C:\\Media");
    EXPECT_EQ(again.Settings().Dir, "C:\\Media\\");
    EXPECT_EQ(again.Settings().Separator, '\\');
    again.SetDatabaseType(2);
    again.SetDatabasePath("/var/db/clips.db");
    EXPECT_EQ(again.Settings().DataBase, "clips");
    EXPECT_EQ(stored(0, "DataBase").toString(), "clips") << "saved by the reload of the database";
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
    EXPECT_EQ(stored(0, "Element0").toString(), "msg1");
    EXPECT_FALSE(stored(0, "SkipName").isValid()) << "nothing of the deleted group stays";
    EXPECT_EQ(inst.Settings().Dir, "/media/2/") << "the invoking instance loaded each moved group";
}

TEST_F(Settings, SkippedDirectories)
{
    const std::string marked = (testenv::makeDir("skip") + "/marked/").toStdString();
    ASSERT_TRUE(scanenv::touch(QString::fromStdString(marked) + "Do Not Scan.cws"));

    CQZClipwatch inst(0, "127.0.0.1");
    const struct {
        const char* skipDir;
        std::string path;
        int skipped;
    } cases[] = {
        {"", marked, 0},                   // empty SkipDir: no marker lookup either
        {"Previews", "s3:/" + marked, 0},  // no marker under s3://
        {"Previews;", "/media/clips/", 0}, // an empty part matches nothing
        {"Previews;", "/media/previews/", 1},
    };
    for (const auto& c : cases) {
        inst.SetSkipDir(c.skipDir);
        EXPECT_EQ(inst.IsSkippedDirectory(c.path), c.skipped) << c.skipDir << " " << c.path;
    }
}
