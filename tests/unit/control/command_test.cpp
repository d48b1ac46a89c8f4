// The command interpreter: early exits, addressing, the token loop and its reply rule, the
// creation request, delete, and the commands whose behaviour has a twist.
#include "tests/unit/control/commandfixture.h"

#include "control/executecommand.h"
#include "control/executecommand.h"
#include "db/dbcws.h"
#include "scanner/clipwatch.h"
#include "tests/support/testenv.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace
{

QLabel* statusLabel(MainWindow& w, int k)
{
    return w.panels[k].labels[2]; // the "Status" row
}

QCheckBox* check(MainWindow& w, int k, const char* text)
{
    for (QCheckBox* box : w.panels[k].checks)
        if (box->text() == text)
            return box;
    return nullptr;
}

} // namespace

TEST_F(CommandTest, EarlyExitsGiveTheirRepliesAndResults)
{
    startWith(3);
    EXPECT_EQ(run(nullptr), "error=nocommand");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(run(""), "error=nocommand");
    EXPECT_EQ(run("getstate"), "error=noscandir");
    EXPECT_EQ(result, -1);
    // "scandir=" is searched with its case.
    EXPECT_EQ(run("SCANDIR=0&GETPICONFLAGS"), "error=noscandir");
    EXPECT_EQ(run("scandir=7&getstate"), "error=noinstance");
    EXPECT_EQ(result, -3);
    EXPECT_EQ(run("scandir=/no/such/dir&getstate"), "error=noinstance");
    EXPECT_EQ(run(("scandir=" + std::string(5000, 'a') + "&getstate").c_str()), "error=noinstance");
    EXPECT_EQ(result, -3);
    EXPECT_EQ(run("getfirstscandir"),
              "firstscandir=" + settings(0).Dir + "&connectionstatus=Uninitialized");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(run("scandir=1&getscandir&pause"), "path=" + settings(1).Dir);
    EXPECT_EQ(program->instances[1]->state, CQZClipwatch::cwsNotRunning);
}

TEST_F(CommandTest, GetFirstScanDirWithoutInstances)
{
    startWindow();
    EXPECT_EQ(run("getfirstscandir"), "nextscandir=.");
    EXPECT_EQ(result, 0);
}

TEST_F(CommandTest, ReplyRuleLastTextWinsOtherwiseTheLastHandledToken)
{
    setKeys(0, {{"PiconFlags", 3}});
    startWith(1);
    EXPECT_EQ(run("scandir=0&getmakepicon&getpiconflags"), "makepicon=false");
    EXPECT_EQ(result, 3);
    EXPECT_EQ(run("scandir=0&GETPICONFLAGS"), "GETPICONFLAGS=3");
    EXPECT_EQ(run("scandir=0"), "<none>");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(run("scandir=0&clearerrors"), "<none>");
    // clearerrors keeps the token before it as the last handled one.
    EXPECT_EQ(run("scandir=0&getpiconflags&clearerrors"), "getpiconflags=3");
    // Prefix matching in the table's order: no word begins "getmezzaninewidth".
    EXPECT_EQ(run("scandir=0&getmezzaninewidth"), "<none>");
    EXPECT_EQ(run("scandir=0&setmaxtranslations=4&sdims=17"), "setmaxtranslations=4");
    EXPECT_EQ(run("scandir=0&getmaxtranslations"), "getmaxtranslations=4");
    // A later reply text replaces an error of start.
    program->instances[0]->SetDatabasePath("");
    EXPECT_EQ(run("scandir=0&start"), "error=nodatabase");
    EXPECT_EQ(run("scandir=0&start&getcurrentdir"), "currentdir=" + settings(0).Dir);
}

TEST_F(CommandTest, StartsWithADatabaseThatCannotBeOpenedAreRefused)
{
    setKeys(0, {{"DataBase", folder + "/no/such/folder/clips.db"}, {"DBType", 1}, {"Dir", folder}});
    startWindow();
    for (const char* word : {"start", "process", "restart"}) {
        EXPECT_EQ(run((std::string("scandir=0&") + word).c_str()), "error=nodatabase") << word;
        EXPECT_NE(result, 0) << word;
        EXPECT_EQ(program->instances[0]->state, CQZClipwatch::cwsNotRunning) << word;
        EXPECT_FALSE(program->instances[0]->isRunning()) << word;
    }
}

TEST_F(CommandTest, ClearErrorsIsDoneBeforeTheReply)
{
    startWith(1);
    CQZClipwatch* instance = program->instances[0];
    dbCwsHandle* db = instance->Database().get();
    dbCWSAddClip(db, "a", "/m/a.mov", "/m/");
    dbCWSSetElementStatus(db, -1, "/m/a.mov", CWS_ELEMENT_CLIP, nullptr, nullptr, QZ_ERROR,
                          nullptr);
    instance->LoadDatabase();
    run("scandir=0&geterroredclips");
    ASSERT_EQ(result, 1);
    instance->scanThreadRunning = true; // as if the loop ran, between two passes
    run("scandir=0&clearerrors&geterroredclips");
    EXPECT_EQ(result, 0);
    instance->scanThreadRunning = false;
}

TEST_F(CommandTest, GetStateShowsTheStatusTextInBracketsUntilAStateRequest)
{
    startWith(1);
    program->instances[0]->state = CQZClipwatch::cwsProcessingClips;
    EXPECT_EQ(run("scandir=0&getstate"), "state=processingclips[Idle]&value=0");
    EXPECT_EQ(result, 0);
    run("scandir=0&pause");
    EXPECT_EQ(run("scandir=0&getoperation"), "state=paused&value=0");
    QCoreApplication::processEvents();
    EXPECT_EQ(statusLabel(*window, 0)->text(), "") << "the panel follows the instance";
    program->instances[0]->state = 42;
    EXPECT_EQ(run("scandir=0&getstate"), "state=unknown&value=0");
}

TEST_F(CommandTest, DirectoryAddressIgnoresCaseAndAddsTheSeparator)
{
    startWith(2);
    program->instances[1]->SetScanDirectory("d:\\media\\");
    EXPECT_EQ(run("scandir=D:\\Media&getcurrentdir"), "currentdir=d:\\media\\");
    EXPECT_EQ(run("scandir=0&getnextscandir"), "nextscandir=d:\\media\\");
    EXPECT_EQ(run("scandir=1&getnextscandir"), "nextscandir=.");
}

TEST_F(CommandTest, SwitchesReadTheirValuesAndMoveTheCheckBoxes)
{
    startWith(1);
    CQZClipwatch* instance = program->instances[0];
    EXPECT_EQ(run("scandir=0&setmakepicon=1"), "setmakepicon=1");
    EXPECT_TRUE(settings(0).MakePicons);
    EXPECT_TRUE(check(*window, 0, "Picon")->isChecked());
    EXPECT_TRUE(instance->resetCompletionRequested.exchange(false));
    run("scandir=0&setmakepicon=True");
    EXPECT_FALSE(instance->resetCompletionRequested) << "repeating the value changes nothing";
    run("scandir=0&setmakepicon=yes");
    EXPECT_FALSE(settings(0).MakePicons);
    EXPECT_FALSE(check(*window, 0, "Picon")->isChecked());

    EXPECT_EQ(run("scandir=0&setmakemezzanine=2&getmakemezzanine"), "getmakemezzanine=true");
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(check(*window, 0, "Mezzanine")->isChecked());
    run("scandir=0&setmakemezzanine=f");
    EXPECT_FALSE(settings(0).MakeMezzanine);
    run("scandir=0&setmakemezzanine=T");
    EXPECT_TRUE(check(*window, 0, "Mezzanine")->isChecked());
}

TEST_F(CommandTest, ProxyModeAndPiconPositionCommands)
{
    startWith(1);
    run("scandir=0&setproxymode=HLS");
    EXPECT_EQ(settings(0).ProxyMode, 210);
    EXPECT_EQ(run("scandir=0&getproxymode"), "proxymode=HLS-TS-Multibitrate");
    EXPECT_EQ(result, 210);
    run("scandir=0&setproxymode=webm");
    EXPECT_EQ(settings(0).ProxyMode, 197);
    run("scandir=0&setproxymode=DASH-x");
    EXPECT_EQ(run("scandir=0&getproxymode"), "proxymode=DASH-MP4-Multibitrate");

    run("scandir=0&setpiconpercent=12");
    EXPECT_EQ(run("scandir=0&setpiconframe=25"), "setpiconframe=25");
    EXPECT_EQ(settings(0).PiconPercent, 0);
    EXPECT_EQ(run("scandir=0&getpiconframe"), "piconframe=25");
    run("scandir=0&setpiconpercent=0.5");
    EXPECT_EQ(settings(0).PiconFrame, 0);
    EXPECT_EQ(run("scandir=0&getpiconpercent"), "piconpercent=50");
    // Not a number, or out of range: the setting stays and the token is echoed.
    for (const char* bad : {"abc", "", "1e999", "nan", "inf", "0x10", "5x", "1e300"}) {
        const std::string token = std::string("setpiconpercent=") + bad;
        EXPECT_EQ(run(("scandir=0&" + token).c_str()), token);
        EXPECT_EQ(settings(0).PiconPercent, 0.5) << bad;
    }
}

TEST_F(CommandTest, RetryProcessWithoutClipTokenDoesNothing)
{
    startWith(1);
    EXPECT_EQ(run("scandir=0&retryprocess=picon"), "<none>");
    EXPECT_EQ(run("scandir=0&getpiconflags&retryprocess=bogus&filepath=/x/a.mov"),
              "getpiconflags=0");
    EXPECT_EQ(program->instances[0]->checkThread.jobList.size(), 0);
}

TEST_F(CommandTest, CreationRequestAddsConfiguresAndReports)
{
    startWith(1);
    const std::string media = QDir(folder).filePath("newmedia").toStdString();
    QDir().mkpath(QString::fromStdString(media));
    const std::string db = folder.toStdString() + "/new.db";

    EXPECT_EQ(run(("newscandir=" + media + "&setdatabase=" + db + "&setusername=u").c_str()),
              "newscandiradded=" + media);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(program->instances.size(), 2);
    EXPECT_EQ(settings(1).DataBase, db);
    EXPECT_EQ(settings(1).DBUsername, "u");
    EXPECT_EQ(window->selector->itemText(window->selector->count() - 1).toStdString(), db);
    EXPECT_TRUE(window->panels[1].box->isVisible());
    EXPECT_NE(program->instances[1]->Database(), nullptr);
    EXPECT_EQ(
        QSettings("Velmora", "Clipwatch").value("Instance1/DataBase").toString().toStdString(), db);

    EXPECT_EQ(run(("newscandir=" + media).c_str()),
              "newscandiradded_directoryalreadyexists=" + media);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(program->instances.size(), 2);

    EXPECT_EQ(run("newscandir=/no/such/folder"),
              "newscandiradded_directorydoesnotexist=/no/such/folder");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(program->instances.size(), 3);
}

TEST_F(CommandTest, SixthInstanceHasNoPanelButIsSavedAndControlled)
{
    startWith(5);
    const std::string media = QDir(folder).filePath("sixth").toStdString();
    QDir().mkpath(QString::fromStdString(media));
    run(("newscandir=" + media + "&setdatabase=" + folder.toStdString() + "/sixth.db").c_str());
    ASSERT_EQ(program->instances.size(), 6);
    EXPECT_TRUE(QSettings("Velmora", "Clipwatch").childGroups().contains("Instance5"));
    CQZClipwatch* sixth = program->instances[5];
    sixth->LoadDatabase();
    EXPECT_EQ(run("scandir=5&pause"), "pause=6");
    EXPECT_EQ(sixth->state, CQZClipwatch::cwsProcessingPaused);
    EXPECT_EQ(run("scandir=5&getstate"), "state=paused&value=0");
}

TEST_F(CommandTest, DeleteRemovesRenumbersAndRefreshesThePanels)
{
    startWith(3);
    const std::string third = settings(2).Dir;
    EXPECT_EQ(run("scandir=1&delete&getstate"), "delete=0");
    ASSERT_EQ(program->instances.size(), 2);
    EXPECT_EQ(program->instances[1]->Number(), 1);
    EXPECT_EQ(settings(1).Dir, third);
    QSettings store("Velmora", "Clipwatch");
    EXPECT_EQ(store.value("Instance1/Dir").toString().toStdString(), third);
    EXPECT_FALSE(store.childGroups().contains("Instance2"));
    // The moved instance saves into its new group.
    run("scandir=1&setpiconwidth=77");
    EXPECT_EQ(QSettings("Velmora", "Clipwatch").value("Instance1/PiconWidth").toInt(), 77);
    EXPECT_FALSE(QSettings("Velmora", "Clipwatch").childGroups().contains("Instance2"));
    EXPECT_FALSE(window->panels[2].box->isVisibleTo(window.get()));
}

TEST_F(CommandTest, DumpAllCommandsLogsRequestAndReplyOnlyAtLevelOne)
{
    startWith(1);
    dumpAllCommandsLevel = 2;
    run("scandir=0&getpiconwidth&marker=two");
    dumpAllCommandsLevel = 1;
    run("scandir=0&getpiconwidth&marker=one");
    dumpAllCommandsLevel = 0;
    const QString log = testenv::readLog("programtest");
    EXPECT_FALSE(log.contains("marker=two"));
    EXPECT_TRUE(log.contains(QRegularExpression(
        R"(CWS->\[(\d{8})\] <scandir=0&getpiconwidth&marker=one> \nCWS<-\[\1\] <piconwidth=120> )")))
        << log.toStdString();
}
