// The job monitor against the reference service (simulated jobs and injected faults on
// 127.0.0.1:1080), on SQLite and on MariaDB.
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/support/instancetest.h"
#include "tests/support/scanenv.h"

#include <QDir>

#include <filesystem>
#include <fstream>

namespace
{

using testenv::waitFor;

class Monitor : public scanenv::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }

    int serviceJobMs() const override { return 600; }

    void SetUp() override
    {
        CQZClipwatch::instanceCount = 1;
        BackendTest::SetUp();
        // The test's name ends in its backend's.
        logName = QString("monitor-%1")
                      .arg(::testing::UnitTest::GetInstance()->current_test_info()->name())
                      .replace('/', '-');
        ErrLogSetFileName(logName.toUtf8().constData());
    }

    void TearDown() override
    {
        db.reset();
        instance.reset();
        // Qt cannot name a file that is not UTF-8: the temporary folder's own removal would fail.
        std::error_code ignored;
        std::filesystem::remove_all(media.toStdString(), ignored);
        BackendTest::TearDown();
    }

    // Writes the clips, configures picon, XMP and proxy and starts the scan.
    void scan(const QStringList& clips)
    {
        ASSERT_TRUE(QDir().mkpath(media));
        for (const QString& clip : clips)
            ASSERT_TRUE(std::ofstream(anchor(clip)) << "media");
        scanenv::configure(GetParam(), folder, media,
                           {{"MakeXMP", 1}, {"MaxTranslations", 90}, {"MakeRtin", 0}});
        ASSERT_TRUE(openInstance(instance, db));
        ASSERT_EQ(instance->StartScanning(), 0);
    }

    std::string anchor(const QString& clip) const { return bytesOfText(media + clip); }

    int state(const QString& clip, unsigned code, std::string* path = nullptr,
              std::string* error = nullptr)
    {
        return elementState(db.get(), anchor(clip), code, path, error);
    }

    int jobsOf(const QString& clip)
    {
        return instance->checkThread.jobList.snapshot().filter(media + clip + "&").size();
    }

    QString logName;
    std::unique_ptr<CQZClipwatch> instance;
    std::shared_ptr<dbCwsHandle> db;
};

const unsigned kJobElements[] = {CWS_ELEMENT_PICON, CWS_ELEMENT_XMP, CWS_ELEMENT_PROXY};

TEST_P(Monitor, EveryJobIsFollowedToItsSpecifiedEnd)
{
    const QString fine = "fine.mov", fail = "bad.vexofault-fail.mov",
                  refused = "no.vexofault-refuse.mov", lost = "gone.vexofault-lost.mov",
                  forget = "forgot.vexofault-forget.mov", stall = "stuck.vexofault-stall.mov";
    QStringList finishing{fine}, failing{fail, refused, lost, forget};
    // Only SQLite keeps a name's bytes as they are (the MySQL layer reads text as UTF-8): there
    // the clip cannot be made, but it must still end.
    (GetParam() == Backend::SQLite ? finishing : failing) << textOfBytes("odd\xff\xfe.mov");
    const QStringList ending = finishing + failing;
    scan(ending + QStringList{stall});
    ASSERT_TRUE(waitFor(
        [&] {
            for (const QString& clip : ending) {
                const int complete = state(clip, CWS_ELEMENT_CLIP);
                if ((complete != QZ_FINISHED && complete != QZ_ERROR) || jobsOf(clip) != 0)
                    return false;
            }
            return true;
        },
        60000));

    std::string path, error;
    for (const QString& clip : finishing) {
        EXPECT_EQ(state(clip, CWS_ELEMENT_PROXY, &path, &error), QZ_FINISHED);
        EXPECT_EQ(path, anchor(clip.chopped(4) + ".mp4"));
        EXPECT_EQ(error, "complete");
        EXPECT_EQ(state(clip, CWS_ELEMENT_PICON, &path), QZ_FINISHED);
        EXPECT_EQ(path, anchor(clip + ".picon.jpg"));
        EXPECT_EQ(state(clip, CWS_ELEMENT_CLIP), QZ_FINISHED);
    }
    for (unsigned code : kJobElements) {
        EXPECT_EQ(state(fail, code, nullptr, &error), QZ_ERROR) << code;
        EXPECT_EQ(error, "simulated failure");
        EXPECT_EQ(state(refused, code, nullptr, &error), QZ_ERROR) << code;
        EXPECT_NE(error.find("refused: simulated refusal"), std::string::npos) << code;
        EXPECT_EQ(state(lost, code, &path, &error), QZ_LOST_PROCESS) << code;
        EXPECT_EQ(path, "lost process");
        EXPECT_EQ(error, "lost process");
        EXPECT_EQ(state(forget, code, nullptr, &error), QZ_LOST_PROCESS) << code;
        EXPECT_EQ(error, "lost process purged");
    }
    for (const QString& clip : {fail, refused, lost, forget})
        EXPECT_EQ(state(clip, CWS_ELEMENT_CLIP), QZ_ERROR) << clip.toStdString();
    EXPECT_TRUE(vexotest::notFound(
        service
            .get(vexotest::jobQuery("get", anchor(lost), anchor("gone.vexofault-lost.mp4"),
                                    "mp4-h264"))
            .value_or("")))
        << "a lost job is purged from the service";

    // A stalled job is followed as long as it runs (its progress: PollJob's unit test).
    ASSERT_TRUE(waitFor([&] { return jobsOf(stall) == 3; }, 20000));
    for (unsigned code : kJobElements)
        EXPECT_EQ(state(stall, code), QZ_IN_PROGRESS);
    EXPECT_EQ(instance->state, CQZClipwatch::cwsProcessingClips)
        << "elements still in progress keep the scan in processing";
    // A rescan while they run: the end of its search does not queue them again.
    ASSERT_EQ(instance->SetState(CQZClipwatch::cwsFindDirectories),
              CQZClipwatch::cwsFindDirectories);
    ASSERT_TRUE(
        waitFor([&] { return instance->state == CQZClipwatch::cwsProcessingClips; }, 30000));
    EXPECT_EQ(jobsOf(stall), 3) << "a running job followed twice";

    // Clear Errors through the running scanning thread: the failed clip is waiting again (and
    // may be taken up at once, failing again half a job later).
    ASSERT_TRUE(instance->scanThreadRunning);
    instance->RequestClearErrors();
    EXPECT_TRUE(waitFor([&] { return state(fail, CWS_ELEMENT_PROXY) != QZ_ERROR; }, 5000));

    ASSERT_EQ(instance->SetState(CQZClipwatch::cwsProcessingStopped),
              CQZClipwatch::cwsProcessingStopped);
    ASSERT_TRUE(waitFor([&] { return !instance->scanThreadRunning; }, 5000));
    const auto began = std::chrono::steady_clock::now();
    instance.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3))
        << "the monitor ends with its list emptied";
}

TEST_P(Monitor, SilentServiceKeepsJobsAndItsReturnResetsNetworkErrors)
{
    const QString stall = "s.vexofault-stall.mov";
    scan({stall});
    ASSERT_TRUE(waitFor([&] { return jobsOf(stall) == 3; }, 30000));
    // The scan stops (it would take the reset clip up again); the monitor goes on.
    ASSERT_EQ(instance->SetState(CQZClipwatch::cwsProcessingStopped),
              CQZClipwatch::cwsProcessingStopped);
    ASSERT_TRUE(waitFor([&] { return !instance->scanThreadRunning; }, 5000));
    dbCWSSetElementStatus(db.get(), -1, anchor(stall), CWS_ELEMENT_CLIP, nullptr, nullptr,
                          QZ_NETWORK_ERROR, nullptr);
    ASSERT_EQ(service.get("/control?silent=1500"), R"({"result":"0"})");
    instance->serviceAvailable = 0;
    instance->CheckServiceAddress();
    EXPECT_EQ(instance->serviceAvailable, 0);
    EXPECT_EQ(state(stall, CWS_ELEMENT_CLIP), QZ_NETWORK_ERROR);
    ASSERT_TRUE(waitFor(
        [&] { return testenv::readLog(logName).contains("ERROR:  No return from command <"); },
        1500));
    EXPECT_EQ(jobsOf(stall), 3) << "unanswered polls keep their jobs";

    ASSERT_TRUE(waitFor(
        [&] {
            instance->CheckServiceAddress();
            return instance->serviceAvailable == 1;
        },
        5000));
    EXPECT_EQ(state(stall, CWS_ELEMENT_CLIP), 0);
    EXPECT_EQ(jobsOf(stall), 3);
}

CLIPWATCH_BOTH_BACKENDS(Monitor);

} // namespace
