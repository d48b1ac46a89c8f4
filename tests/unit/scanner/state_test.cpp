// Scanner states: shares of the job limits, every requested state of SetState, the clip
// completion check and the start-up recovery of clips in states 2 and 3.
#include "monitor/completion.h"
#include "platform/qzsync.h"
#include "tests/support/instancetest.h"
#include "tests/support/testenv.h"

#include <QSettings>

namespace
{

bool storedAutoStart()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch")
        .value("Instance0/AutoStart")
        .toBool();
}

} // namespace

class States : public InstanceTest
{
};

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

TEST_F(States, SetStateWithoutDatabaseIsRefused)
{
    instance = std::make_unique<CQZClipwatch>(0, "127.0.0.1");
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsFindClips), -1);
    EXPECT_EQ(instance->state, CQZClipwatch::cwsNotRunning);
}

TEST_F(States, EveryRequestedState)
{
    makeInstance();
    struct Case {
        int requested;
        int autoStart; // -1: not written
    };
    const Case cases[] = {{1, 0}, {5, 0}, {8, 0},  {2, 1},  {3, 1},
                          {4, 1}, {6, 1}, {0, -1}, {9, -1}, {11, -1}};
    for (const Case& c : cases) {
        instance->SaveAutoStart(0, c.autoStart != 1);
        const int before = instance->state;
        instance->fullRescan = false;
        EXPECT_EQ(instance->SetState(c.requested), c.requested);
        EXPECT_EQ(instance->state, c.requested);
        EXPECT_EQ(instance->previousState, before);
        if (c.autoStart >= 0) {
            EXPECT_EQ(storedAutoStart(), c.autoStart == 1) << c.requested;
        } else {
            EXPECT_EQ(storedAutoStart(), true) << "state " << c.requested << " leaves AutoStart";
        }
        EXPECT_EQ(instance->fullRescan, c.requested == 2);
    }
    // Stop the thread started by none of these: no run() was started.
    EXPECT_FALSE(instance->isRunning());
}

TEST_F(States, ResumeReturnsToTheWorkingStateOrDerivesIt)
{
    makeInstance();
    instance->SetState(CQZClipwatch::cwsFindClips);
    instance->SetState(CQZClipwatch::cwsProcessingPaused);
    instance->scanThreadRunning = true; // as if the loop ran: resume only changes the state
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume), CQZClipwatch::cwsFindClips);

    // Not resuming a working state: derived from the database.
    instance->SetState(CQZClipwatch::cwsNotRunning);
    instance->SetState(CQZClipwatch::cwsProcessingStopped);
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume),
              CQZClipwatch::cwsFindDirectories);
    dbCWSAddDirectory(db.get(), "/m/", 1);
    instance->SetState(CQZClipwatch::cwsNotRunning);
    instance->SetState(CQZClipwatch::cwsNotRunning);
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume),
              CQZClipwatch::cwsProcessingClips)
        << "every directory searched";
    dbCWSAddDirectory(db.get(), "/m/a/", 0);
    instance->SetState(CQZClipwatch::cwsNotRunning);
    instance->SetState(CQZClipwatch::cwsNotRunning);
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume), CQZClipwatch::cwsFindClips);
    instance->scanThreadRunning = false;
}

TEST(Completion, ClassifyMD5Result)
{
    EXPECT_EQ(ClassifyMD5Result("0123456789abcdef0123456789ABCDEF"), 1);
    EXPECT_EQ(ClassifyMD5Result("0123456789abcdef0123456789abcde"), 0);
    EXPECT_EQ(ClassifyMD5Result("0123456789abcdef0123456789abcde-"), 0);
    EXPECT_EQ(ClassifyMD5Result("Error copy not found"), 3);
    EXPECT_EQ(ClassifyMD5Result("process crashed"), 3);
    EXPECT_EQ(ClassifyMD5Result("in progress"), 0);
    EXPECT_EQ(ClassifyMD5Result("Error"), 3) << "a refused request";
    EXPECT_EQ(ClassifyMD5Result("lost process purged"), 3);
    EXPECT_EQ(ClassifyMD5Result("Errorless"), 0);
}

TEST(Completion, OutcomeTable)
{
    const auto statusOf = [](std::map<unsigned, int> states, std::string md5 = "") {
        dbCwsElementStatus status;
        status.states.assign(dbCwsElements().size(), 0);
        for (const auto& [code, state] : states)
            status.states[dbCwsElementIndex(code)] = state;
        status.md5 = md5;
        return status;
    };
    const unsigned none = 0;
    const unsigned piconProxy = CWS_ELEMENT_PICON | CWS_ELEMENT_PROXY;
    const unsigned md5Only = CWS_ELEMENT_MD5;
    const unsigned piconWrap = CWS_ELEMENT_PICON | CWS_ELEMENT_WRAP;
    const unsigned piconMD5 = CWS_ELEMENT_PICON | CWS_ELEMENT_MD5;
    using O = CompletionOutcome;
    struct Row {
        dbCwsElementStatus status;
        unsigned on;
        O expected;
    };
    const std::string md5 = "0123456789abcdef0123456789abcdef";
    const Row rows[] = {
        {statusOf({}), none, O::Complete},
        {statusOf({{CWS_ELEMENT_PICON, 1}, {CWS_ELEMENT_PROXY, 9}}), piconProxy, O::Complete},
        {statusOf({{CWS_ELEMENT_PICON, 4}, {CWS_ELEMENT_PROXY, 2}}), piconProxy, O::Running},
        {statusOf({{CWS_ELEMENT_PICON, 4}, {CWS_ELEMENT_PROXY, 1}}), piconProxy, O::Failed},
        {statusOf({{CWS_ELEMENT_PICON, 1}, {CWS_ELEMENT_PROXY, 7}}), piconProxy, O::Failed},
        {statusOf({{CWS_ELEMENT_PICON, 2}, {CWS_ELEMENT_PROXY, 1}}), piconProxy, O::Running},
        {statusOf({}, md5), md5Only, O::Complete},
        {statusOf({}, "in progress"), md5Only, O::Running},
        {statusOf({}, "Error copy not found"), md5Only, O::Failed},
        // A failed checksum is settled: a clip whose picon failed too has failed.
        {statusOf({{CWS_ELEMENT_PICON, 4}}, "Error copy not found"), piconMD5, O::Failed},
        {statusOf({{CWS_ELEMENT_PICON, 4}}, "in progress"), piconMD5, O::Running},
        {statusOf({{CWS_ELEMENT_PICON, 1}, {CWS_ELEMENT_WRAP, 5}}), piconWrap, O::FailedOnWrap},
        {statusOf({{CWS_ELEMENT_PICON, 1}, {CWS_ELEMENT_WRAP, 9}}), piconWrap, O::Complete},
        // The checksum is judged before the wrap: its failure is the clip's.
        {statusOf({{CWS_ELEMENT_PICON, 1}, {CWS_ELEMENT_WRAP, 5}}, "Error copy not found"),
         piconWrap | md5Only, O::Failed},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(ClipCompletionOutcome(rows[i].status, rows[i].on), rows[i].expected)
            << "row " << i;
}

class Recovery : public InstanceTest
{
};

TEST_F(Recovery, ClipsInStates2And3AreQueuedAgainWithoutSending)
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
    EXPECT_TRUE(jobs[0].contains("pisrc=/m/running.mov"));
    EXPECT_TRUE(jobs[0].endsWith("&type=picon&cwstimeout=10"));
    EXPECT_TRUE(jobs[1].contains("source=/m/waiting.mov"));
    EXPECT_TRUE(jobs[1].endsWith("&type=proxy&cwstimeout=10"));
    EXPECT_TRUE(jobs[2].endsWith("profile=md5&flags=timeconversion&type=md5&cwstimeout=10"));
    EXPECT_TRUE(sent().empty());
}

class Starts : public InstanceTest
{
protected:
    void makeInstance(const std::map<QString, QVariant>& keys = {}) override
    {
        std::map<QString, QVariant> all = {
            {"MakePicons", 0}, {"MakeProxy", 0}, {"MakeXMP", 0}, {"MakeMD5", 0}};
        for (const auto& [key, value] : keys)
            all[key] = value;
        InstanceTest::makeInstance(all);
    }
    // What the control word "start" does.
    void start()
    {
        instance->SetState(CQZClipwatch::cwsProcessingResume);
        instance->StartScanning();
    }
};

TEST_F(Starts, ResumeAtProcessingSearchesAFolderACrashLeftBeingSearched)
{
    makeInstance();
    const std::string done = addClip("/m/done.mov");
    dbCWSSetElementStatus(db.get(), -1, done, CWS_ELEMENT_PICON, "/m/done.jpg", "ok", 1, nullptr);
    dbCWSAddDirectory(db.get(), "/gone/", 1);
    dbCWSUpdateDirectoryCheck(db.get(), "/gone/", 2);
    start();
    EXPECT_TRUE(
        testenv::waitFor([&] { return dbCWSGetDirectoryState(db.get(), "/gone/") == 1; }, 10000));
}

TEST_F(Starts, StartDuringThePauseAfterNoServiceRunsTheRoundWithTheService)
{
    makeInstance({{"MakePicons", 1}});
    const std::string clip = addClip("/m/a.mov");
    answer(std::nullopt);
    instance->serviceAvailable = 0;
    instance->SetState(CQZClipwatch::cwsProcessingClips);
    instance->StartScanning();
    // Generous waits: the loop starts nothing while the machine is above 95% busy.
    ASSERT_TRUE(
        testenv::waitFor([&] { return instance->state == CQZClipwatch::cwsNotRunning; }, 30000));
    // The loop now sleeps a second after "No VexoBase for processing"; the service is back.
    answer(std::string("success"));
    start();
    EXPECT_TRUE(testenv::waitFor(
        [&] {
            for (const std::string& url : sent())
                if (url.find("/m/a.mov") != std::string::npos)
                    return true;
            return false;
        },
        30000))
        << "the picon was never requested";
}
