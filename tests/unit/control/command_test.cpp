// The command interpreter under the main window: each word's reply, result and effect.
#include "tests/unit/control/programfixture.h"

#include "control/executecommand.h"
#include "db/dbcws.h"

#include <QComboBox>
#include <QDir>

#include <climits>

using CommandTest = ProgramTest;

TEST_F(CommandTest, RequestsGiveTheirRepliesAndResults)
{
    setKeys(0, {{"PiconFlags", 3}});
    startWindow(3);
    program->instances[2]->SetScanDirectory("d:\\media\\");
    program->instances[0]->md5sInProgress = 6;
    EXPECT_EQ(run(nullptr), "error=nocommand");
    EXPECT_EQ(result, -1);
    constexpr int any = INT_MIN;
    const struct {
        std::string request, reply;
        int result;
    } exchanges[] = {
        // Early exits; "scandir=" is searched with its case.
        {"", "error=nocommand", -1},
        {"SCANDIR=0&GETPICONFLAGS", "error=noscandir", -1},
        {"scandir=" + std::string(5000, 'a') + "&getstate", "error=noinstance", -3},
        // A directory address ignores case; the separator is added.
        {"scandir=D:\\Media&getcurrentdir", "currentdir=d:\\media\\", any},
        {"scandir=1&getnextscandir", "nextscandir=d:\\media\\", any},
        {"scandir=2&getnextscandir", "nextscandir=.", any},
        // Prefix matching in the table's order: no word begins "getmezzaninewidth", and the
        // longer "getprocesses..." words are not taken by "getprocesses".
        {"scandir=0&getmezzaninewidth", "<none>", any},
        {"scandir=0&getProcessesMD5", "getProcessesMD5=6", 6},
        {"scandir=0&getprocesseswaiting", "getprocesseswaiting=0", 0},
        {"scandir=0&getsettlingfiles", "getsettlingfiles=0", 0},
        // A retry without its clip does nothing.
        {"scandir=0&getpiconflags&retryprocess=bogus&filepath=/x/a.mov", "getpiconflags=3", any},
        {"scandir=0&retryprocess=picon", "<none>", any},
        // The last reply text wins, otherwise the last handled token; clearerrors and
        // retryprocess keep the token before them.
        {"scandir=1&getscandir&pause", "path=" + settings(1).Dir, any},
        {"scandir=0&getmakepicon&getpiconflags", "makepicon=false", 3},
        {"scandir=0&GETPICONFLAGS", "GETPICONFLAGS=3", 3},
        {"scandir=0", "<none>", 0},
        {"scandir=0&clearerrors", "<none>", any},
        {"scandir=0&getpiconflags&clearerrors", "getpiconflags=3", any},
        {"scandir=0&setmaxtranslations=4&sdims=17", "setmaxtranslations=4", any},
    };
    for (const auto& e : exchanges) {
        EXPECT_EQ(run(e.request), e.reply) << e.request.substr(0, 80);
        EXPECT_TRUE(e.result == any || result == e.result)
            << result << " " << e.request.substr(0, 80);
    }
    EXPECT_EQ(program->instances[1]->state, CQZClipwatch::cwsNotRunning);
    EXPECT_EQ(program->instances[0]->checkThread.jobList.size(), 0);
    // Request and reply are logged at dump level 1 only.
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

TEST_F(CommandTest, SetWordsReachTheSettingAndTheStoreAndGetsReplyInTheirForm)
{
    startWindow(2);
    // Each set echoes its token; the get after it replies with the value as stored.
    const std::pair<const char*, const char*> cases[] = {
        {"setpiconflags=9", "getpiconflags=9"},
        {"setpiconwidth=12abc", "piconwidth=12"},
        {"setpiconwidth=99999999999", "piconwidth=2147483647"},
        {"setmaxtranslations=7", "getmaxtranslations=7"},
        {"setmaxtranslations=0", "getmaxtranslations=7"}, // 0 keeps the setting
        {"setpicondirectory=/out/picons", "picondirectory=/out/picons/"},
        {"setxmpdirectory=", "xmpdirectory=."},
        {"setmakeindex=1", "getmakeindex=true"},
        // A mode word is matched at the start of the value, case ignored; anything else is mp4.
        {"setproxymode=webm", "proxymode=mp4-h264"},
        {"setproxymode=HLS-x", "proxymode=HLS-TS-Multibitrate"},
        // A picon frame and a picon percentage clear each other.
        {"setpiconpercent=12", "piconpercent=1200"},
        {"setpiconframe=25", "piconframe=25"},
        {"setpiconpercent=0.5", "piconpercent=50"},
    };
    for (const auto& [set, reply] : cases) {
        const std::string token = set;
        EXPECT_EQ(run("scandir=0&" + token), token);
        const std::string get = "get" + token.substr(3, token.find('=') - 3);
        EXPECT_EQ(run("scandir=0&" + get), reply) << token;
        if (token == "setpiconframe=25") {
            EXPECT_EQ(settings(0).PiconPercent, 0);
        }
    }
    EXPECT_EQ(settings(0).PiconFrame, 0);
    // Not a number, or out of range: the setting stays and the token is echoed.
    for (const char* bad : {"abc", "", "1e999", "nan", "inf", "0x10", "5x", "1e300"}) {
        const std::string token = std::string("setpiconpercent=") + bad;
        EXPECT_EQ(run("scandir=0&" + token), token);
        EXPECT_EQ(settings(0).PiconPercent, 0.5) << bad;
    }
    // Counted at most as the scanning thread's work slots: the larger share of the two
    // instances and 100.
    run("scandir=0&setmaxmd5s=1000000&getmaxmd5s");
    EXPECT_EQ(result, 500100);
}

TEST_F(CommandTest, StartsWithoutADatabaseAreRefused)
{
    setKeys(0, {{"DataBase", folder + "/no/such/folder/clips.db"}, {"DBType", 1}, {"Dir", folder}});
    startWindow();
    EXPECT_EQ(run("scandir=0&process"), "error=nodatabase");
    EXPECT_NE(result, 0);
    EXPECT_FALSE(program->instances[0]->isRunning());
    program->instances[0]->SetDatabasePath("");
    EXPECT_EQ(run("scandir=0&start"), "error=nodatabase");
    // A later reply text replaces the error.
    EXPECT_EQ(run("scandir=0&start&getcurrentdir"), "currentdir=" + settings(0).Dir);
}

TEST_F(CommandTest, InstanceWordsReachItsSwitchesStateErrorsDatabaseAndScanStatus)
{
    startWindow(1);
    CQZClipwatch* instance = program->instances[0];
    EXPECT_EQ(run("scandir=0&setmakepicon=1"), "setmakepicon=1");
    EXPECT_TRUE(window->panels[0].checks[0]->isChecked());
    EXPECT_TRUE(instance->resetCompletionRequested.exchange(false));
    run("scandir=0&setmakepicon=True");
    EXPECT_FALSE(instance->resetCompletionRequested) << "repeating the value changes nothing";
    run("scandir=0&setmakepicon=yes");
    EXPECT_FALSE(window->panels[0].checks[0]->isChecked());
    // The mezzanine's box moves on t or f only; any other value is read as a number.
    const struct {
        const char* value;
        bool on, box;
    } cases[] = {{"yes", false, false}, {"2", true, false}, {"f", false, false}, {"T", true, true}};
    for (const auto& c : cases) {
        run(std::string("scandir=0&setmakemezzanine=") + c.value);
        EXPECT_EQ(settings(0).MakeMezzanine, c.on) << c.value;
        EXPECT_EQ(window->panels[0].checks[3]->isChecked(), c.box) << c.value;
    }

    // The status text shows in brackets until a state request.
    instance->state = CQZClipwatch::cwsProcessingClips;
    EXPECT_EQ(run("scandir=0&getstate"), "state=processingclips[Idle]&value=0");
    run("scandir=0&pause");
    EXPECT_EQ(run("scandir=0&getoperation"), "state=paused&value=0");
    QCoreApplication::processEvents();
    EXPECT_EQ(window->panels[0].labels[2]->text(), "") << "the status row follows the instance";
    instance->state = 42;
    EXPECT_EQ(run("scandir=0&getstate"), "state=unknown&value=0");

    dbCwsHandle* handle = instance->Database().get();
    dbCWSAddClip(handle, "a", "/m/a.mov", "/m/");
    dbCWSSetElementStatus(handle, -1, "/m/a.mov", CWS_ELEMENT_CLIP, nullptr, nullptr, QZ_ERROR,
                          nullptr);
    instance->LoadDatabase();
    EXPECT_EQ(run("scandir=0&geterroredclips"), "geterroredclips=1");
    // Done before the reply, even between two passes of the scanning loop.
    instance->scanThreadRunning = true;
    run("scandir=0&clearerrors&geterroredclips");
    EXPECT_EQ(result, 0);
    instance->scanThreadRunning = false;

    const std::string db = folder.toStdString() + "/other.db";
    EXPECT_EQ(run("scandir=0&setdatabase=" + db), "setdatabase=" + db);
    EXPECT_EQ(run("scandir=0&getdatabase"), "currentdir=" + db);
    instance->UpdateSettings([](CWSSettings& s) {
        s.DBUsername = "u";
        s.DBHost = "h";
    });
    EXPECT_EQ(run("scandir=0&getdbinfo"), "username=u&host=h&databasename=" + db);

    // The walk shows the folder it records as the operation, a name that needs escaping.
    ASSERT_TRUE(QDir().mkpath(folder + "/walk/a<b & c"));
    instance->WalkTree((folder + "/walk").toStdString());
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
                  folder.toStdString() + "/walk/a&lt;b &amp; c/</operation>\n");
}

TEST_F(CommandTest, CreationRequestAddsConfiguresAndReports)
{
    startWindow(4);
    const std::string media = folder.toStdString() + "/new";
    for (int k = 4; k < 6; ++k) {
        const std::string dir = media + std::to_string(k), db = dir + ".db";
        QDir().mkpath(QString::fromStdString(dir));
        EXPECT_EQ(run("newscandir=" + dir + "&setdatabase=" + db + "&setusername=u"),
                  "newscandiradded=" + dir);
        ASSERT_EQ(program->instances.size(), k + 1);
        EXPECT_EQ(settings(k).DBUsername, "u");
        EXPECT_EQ(window->selector->itemText(window->selector->count() - 1).toStdString(), db);
    }
    EXPECT_TRUE(window->panels[4].box->isVisible());
    // The sixth has no panel, but is controlled all the same.
    program->instances[5]->LoadDatabase();
    EXPECT_EQ(run("scandir=5&pause"), "pause=6");
    EXPECT_EQ(run("scandir=5&getstate"), "state=paused&value=0");

    EXPECT_EQ(run("newscandir=" + media + "4"),
              "newscandiradded_directoryalreadyexists=" + media + "4");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(program->instances.size(), 6);
    EXPECT_EQ(run("newscandir=/no/such/folder"),
              "newscandiradded_directorydoesnotexist=/no/such/folder");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(program->instances.size(), 7);
}

TEST_F(CommandTest, DeleteRemovesRenumbersAndRefreshesThePanels)
{
    startWindow(3);
    const std::string third = settings(2).Dir;
    EXPECT_EQ(run("scandir=1&delete&getstate"), "delete=0");
    ASSERT_EQ(program->instances.size(), 2);
    EXPECT_EQ(program->instances[1]->Number(), 1);
    EXPECT_EQ(settings(1).Dir, third);
    // The moved instance saves into its new group.
    run("scandir=1&setpiconwidth=77");
    EXPECT_EQ(stored("Instance1/PiconWidth").toInt(), 77);
    EXPECT_FALSE(window->panels[2].box->isVisibleTo(window.get()));
    run("scandir=0&delete");
    run("scandir=0&delete");
    EXPECT_EQ(run("getfirstscandir"), "nextscandir=.");
}
