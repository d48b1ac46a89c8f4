// Scanner states: job shares, SetState, resuming, recovery and starts.
#include "tests/support/instancetest.h"
#include "tests/support/scanenv.h"
#include "tests/support/testenv.h"

#include <QSettings>

using States = InstanceTest;

TEST_F(States, SharesDivideTheLimitsAmongInstances)
{
    makeInstance({{"MaxTranslations", 10}, {"MaxMD5s", 7}});
    CQZClipwatch::instanceCount = 3;
    EXPECT_EQ(instance->TranslationShare(), 3);
    EXPECT_EQ(instance->MD5Share(), 2);
    instance->UpdateSettings([](CWSSettings& s) { s.MaxTranslations = 2; });
    EXPECT_EQ(instance->TranslationShare(), 1) << "never below 1";
    CQZClipwatch::instanceCount = 0;
    EXPECT_EQ(instance->TranslationShare(), 2) << "no instance count counts as 1";
}

TEST_F(States, EveryRequestedStateAndTheResumeThatKeepsOrDerivesIt)
{
    makeInstance();
    // The state requested, and AutoStart as it writes it (-1: not written).
    const std::pair<int, int> cases[] = {{1, 0}, {2, 1}, {3, 1}, {4, 1}, {6, 1}, {0, -1}};
    for (const auto& [requested, autoStart] : cases) {
        instance->SaveAutoStart(0, autoStart != 1);
        const int before = instance->state;
        instance->fullRescan = false;
        EXPECT_EQ(instance->SetState(requested), requested);
        EXPECT_EQ(instance->state, requested);
        EXPECT_EQ(instance->previousState, before);
        const bool stored =
            QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch")
                .value("Instance0/AutoStart")
                .toBool();
        EXPECT_EQ(stored, autoStart != 0) << "state " << requested;
        EXPECT_EQ(instance->fullRescan, requested == 2);
    }
    EXPECT_FALSE(instance->isRunning()) << "none of these starts the scanning thread";

    instance->SetState(CQZClipwatch::cwsFindClips);
    instance->SetState(CQZClipwatch::cwsProcessingPaused);
    instance->scanThreadRunning = true; // as if the loop ran: resume only changes the state
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume), CQZClipwatch::cwsFindClips);
    // The reachability check resumes auto-start instances every few seconds while the
    // controller is away; a working instance keeps its state (and its pass).
    instance->ResumeAutoStart();
    EXPECT_EQ(instance->state, CQZClipwatch::cwsFindClips);

    // Not resuming a working state: derived from the database.
    instance->SetState(CQZClipwatch::cwsNotRunning);
    instance->SetState(CQZClipwatch::cwsProcessingStopped);
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume),
              CQZClipwatch::cwsFindDirectories);
    // Every directory searched: clips; one left: the clip search.
    const std::pair<const char*, int> steps[] = {{"/m/", CQZClipwatch::cwsProcessingClips},
                                                 {"/m/a/", CQZClipwatch::cwsFindClips}};
    for (const auto& [directory, resumed] : steps) {
        dbCWSAddDirectory(db.get(), directory, directory == steps[0].first ? 1 : 0);
        instance->SetState(CQZClipwatch::cwsNotRunning);
        instance->SetState(CQZClipwatch::cwsNotRunning);
        EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume), resumed) << directory;
    }
    instance->scanThreadRunning = false;
}

TEST_F(States, RecoveryQueuesClipsInStates2And3AgainWithoutSending)
{
    makeInstance({{"MakePicons", 1}, {"MakeProxy", 1}, {"MakeMD5", 1}});
    const std::string running = addClip("/m/running.mov");
    const std::string waiting = addClip("/m/waiting.mov");
    dbCWSSetElementStatus(db.get(), -1, running, CWS_ELEMENT_CLIP, nullptr, nullptr, 2, nullptr);
    dbCWSSetElementStatus(db.get(), -1, running, CWS_ELEMENT_PICON, nullptr, "x", 2, nullptr);
    dbCWSSetElementStatus(db.get(), -1, running, CWS_ELEMENT_MD5, "lost process purged", nullptr, 7,
                          nullptr);
    dbCWSSetElementStatus(db.get(), -1, waiting, CWS_ELEMENT_CLIP, nullptr, nullptr, 3, nullptr);
    dbCWSSetElementStatus(db.get(), -1, waiting, CWS_ELEMENT_PROXY, nullptr, "x", 2, nullptr);
    dbCWSSetElementStatus(db.get(), -1, waiting, CWS_ELEMENT_MD5, "in progress", nullptr, 2,
                          nullptr);

    instance->RecoverInProgress();

    EXPECT_TRUE(instance->rescanWhenComplete);
    EXPECT_EQ(md5Text(running), "") << "a lost MD5 is reset";
    EXPECT_EQ(clipState(running), 2);
    EXPECT_EQ(clipState(waiting), 2) << "state 3 comes back as 2";
    const QStringList jobs = instance->checkThread.jobList.snapshot();
    ASSERT_EQ(jobs.size(), 3);
    EXPECT_TRUE(jobs[0].contains("pisrc=/m/running.mov")) << "its picon";
    EXPECT_TRUE(jobs[1].contains("source=/m/waiting.mov"));
    EXPECT_TRUE(jobs[1].endsWith("&type=proxy&cwstimeout=10"));
    EXPECT_TRUE(jobs[2].endsWith("profile=md5&flags=timeconversion&type=md5&cwstimeout=10"));
    EXPECT_TRUE(sent().empty());
}

// Starts as the control word "start" makes them: a resume, then the scanning thread.
using Starts = InstanceTest;

TEST_F(Starts, ResumeAtProcessingSearchesAFolderACrashLeftBeingSearched)
{
    makeInstance();
    // The scan folder is there, so only the folder left being searched waits for the search.
    ASSERT_TRUE(scanenv::touch(folder + "/media/notes.txt"));
    const std::string done = addClip("/m/done.mov");
    dbCWSSetElementStatus(db.get(), -1, done, CWS_ELEMENT_PICON, "/m/done.jpg", "ok", 1, nullptr);
    dbCWSAddDirectory(db.get(), "/gone/", 1);
    dbCWSUpdateDirectoryCheck(db.get(), "/gone/", 2);
    instance->SetState(CQZClipwatch::cwsProcessingResume);
    instance->StartScanning();
    EXPECT_TRUE(
        testenv::waitFor([&] { return dbCWSGetDirectoryState(db.get(), "/gone/") == 1; }, 10000));
}

TEST_F(Starts, StartDuringThePauseAfterNoServiceRunsTheRoundWithTheService)
{
    makeInstance({{"MakePicons", 1}});
    addClip("/m/a.mov");
    answer(std::nullopt);
    instance->serviceAvailable = 0;
    instance->SetState(CQZClipwatch::cwsProcessingClips);
    instance->StartScanning();
    // Generous waits: the loop starts nothing while the machine is above 95% busy.
    ASSERT_TRUE(
        testenv::waitFor([&] { return instance->state == CQZClipwatch::cwsNotRunning; }, 30000));
    // The loop now sleeps a second after "No VexoBase for processing"; the service is back.
    answer(std::string("success"));
    instance->SetState(CQZClipwatch::cwsProcessingResume);
    instance->StartScanning();
    EXPECT_TRUE(testenv::waitFor(
        [&] {
            const std::vector<std::string> urls = sent();
            return std::any_of(urls.begin(), urls.end(), [](const std::string& url) {
                return url.find("/m/a.mov") != std::string::npos;
            });
        },
        30000))
        << "the picon was never requested";
}
