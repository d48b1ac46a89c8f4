// An instance scanning a tree against the simulated service: directory and clip records, the
// states it passes, the job strings it hands to the monitor, stop and resume, its end mid-scan,
// a scan folder that comes late and a file still being written.
#include "platform/qzlog.h"
#include "tests/support/instancetest.h"
#include "tests/support/scanenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

namespace
{

using scanenv::touch;
using testenv::waitFor;

class Scan : public scanenv::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }
    int serviceJobMs() const override { return 8000; }

    void SetUp() override
    {
        CQZClipwatch::instanceCount = 1;
        BackendTest::SetUp();
    }

    void TearDown() override
    {
        db.reset();
        instance.reset();
        BackendTest::TearDown();
    }

    void start(const QString& media, int settleSeconds = 0)
    {
        scanenv::configure(GetParam(), folder, media,
                           {{"MaxTranslations", 90},
                            {"ErrorCopyDirectory", folder + "/errors/"},
                            {"SettleSeconds", settleSeconds}});
        ASSERT_TRUE(openInstance(instance, db));
        ASSERT_EQ(instance->StartScanning(), 0);
    }

    std::unique_ptr<CQZClipwatch> instance;
    std::shared_ptr<dbCwsHandle> db;
};

} // namespace

TEST_P(Scan, RecordsTheTreeStartsJobsStopsAndResumes)
{
    const QString logName = GetParam() == Backend::MySQL ? "scan-mysql" : "scan-sqlite";
    ErrLogSetFileName(logName.toUtf8().constData());
    const QStringList clips = {"a.mov", "nested/deeper/b.mp4"};
    for (const QString& clip : clips)
        touch(media + clip);
    touch(media + "nested/notes.txt");
    touch(media + "nested/a.mov.picon.jpg");
    touch(media + "marked/c.mov");
    touch(media + "marked/Do Not Scan.cws");
    for (int i = 1; i <= 5; ++i)
        touch(media + QString("seq/shot_%1.dpx").arg(i, 4, 10, QChar('0')));
    ASSERT_NO_FATAL_FAILURE(start(media));
    // Picon and proxy of each of the two clips, the picon alone of the short sequence.
    ASSERT_TRUE(waitFor([&] { return instance->checkThread.jobList.size() >= 5; }, 60000))
        << instance->checkThread.jobList.size();
    ASSERT_TRUE(waitFor([&] { return instance->state == CQZClipwatch::cwsProcessingClips; }, 5000));

    const std::string root = media.toStdString();
    for (const char* dir : {"", "nested/", "nested/deeper/", "seq/"})
        EXPECT_EQ(dbCWSCheckDirectory(db.get(), root + dir), 1) << dir;
    EXPECT_EQ(dbCWSCheckDirectory(db.get(), root + "marked/"), -1);

    dbCwsElementStatus status;
    for (const QString& clip : clips) {
        ASSERT_EQ(dbCWSGetElementStatus(db.get(), (media + clip).toStdString(), status), 0)
            << clip.toStdString();
        EXPECT_EQ(status.state(CWS_ELEMENT_CLIP), QZ_IN_PROGRESS);
    }
    ASSERT_EQ(dbCWSGetElementStatus(db.get(), root + "seq/shot_0001.dpx", status), 0);
    EXPECT_EQ(status.state(CWS_ELEMENT_PROXY), 9) << "a short still sequence gets no proxy";
    for (const char* absent : {"nested/notes.txt", "nested/a.mov.picon.jpg", "marked/c.mov"})
        EXPECT_EQ(dbCWSGetElementStatus(db.get(), root + absent, status), -1) << absent;

    // The picon request carries the instance's picon settings (the proxy request: jobs_test).
    const QString a = media + "a.mov";
    EXPECT_TRUE(instance->checkThread.jobList.snapshot().contains(
        "http://127.0.0.1:1080/vexojson?request=set&client=127.0.0.1&command=copy&pisrc=" + a +
        "&pidst=" + a +
        ".picon.jpg&profile=picon&width=120&piframe=400&piquality=100&flags=timeconversion"
        "&type=picon"));

    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingStopped),
              CQZClipwatch::cwsProcessingStopped);
    ASSERT_TRUE(waitFor([&] { return !instance->isRunning(); }, 5000));
    EXPECT_EQ(instance->SetState(CQZClipwatch::cwsProcessingResume),
              CQZClipwatch::cwsProcessingClips);
    EXPECT_TRUE(instance->isRunning());

    // The job monitor follows every job to its end; the instance waits for them, then goes idle
    // with every readable clip complete.
    EXPECT_TRUE(waitFor([&] { return instance->state == CQZClipwatch::cwsNotRunning; }, 60000))
        << instance->state;
    for (const QString& clip : clips) {
        ASSERT_EQ(dbCWSGetElementStatus(db.get(), (media + clip).toStdString(), status), 0);
        EXPECT_EQ(status.state(CWS_ELEMENT_CLIP), QZ_FINISHED) << clip.toStdString();
        EXPECT_EQ(status.state(CWS_ELEMENT_PROXY), QZ_FINISHED) << clip.toStdString();
    }
    // The changes into the earlier states: the crash test, which kills the program in each.
    const QString log = testenv::readLog(logName);
    for (const char* change : {"from<cwsProcessingClips> to<cwsWaitingForProcesses>",
                               "from<cwsWaitingForProcesses> to<cwsProcessingComplete>"})
        EXPECT_TRUE(log.contains(QString("StateChange: ") + change)) << change;
}

TEST_P(Scan, EndingWhileScanningStopsEveryThread)
{
    const QString media = folder + "/big/";
    for (int d = 0; d < 300; ++d)
        for (int f = 0; f < 3; ++f)
            touch(media + QString("d%1/e%2/f%3.mov").arg(d).arg(d % 7).arg(f));
    ASSERT_NO_FATAL_FAILURE(start(media));
    ASSERT_TRUE(waitFor([&] { return instance->counts[CWS_COUNT_DIRECTORIES] > 5; }, 20000));
    QElapsedTimer ending;
    ending.start();
    instance.reset();
    EXPECT_LT(ending.elapsed(), 1000 + 2500 + 500) << "the specified waits of the destructor";
}

TEST_P(Scan, AScanFolderThatComesLateAndAFileStillHeldOpenAreWaitedFor)
{
    ASSERT_NO_FATAL_FAILURE(start(media, 1));
    EXPECT_TRUE(
        waitFor([&] { return instance->StatusText() == "Scan folder unavailable"; }, 20000));
    EXPECT_EQ(instance->state, CQZClipwatch::cwsFindDirectories) << "waiting, not idle";
    EXPECT_EQ(dbCWSGetDirectoryCount(db.get()), 0);

    // The folder comes whole, with a file its writer still holds open.
    const QString staging = folder + "/staging";
    touch(staging + "/done.mov");
    QFile live(staging + "/live.mov");
    ASSERT_TRUE(live.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir().rename(staging, media.chopped(1)));
    const auto filesLine = [&] { return instance->LabelText(CQZClipwatch::ClipCountLabel); };
    EXPECT_TRUE(waitFor([&] { return filesLine() == "Found 1 Settling 1"; }, 60000))
        << filesLine().toStdString() << ": the scan did not go on when the folder came";
    EXPECT_EQ(dbCWSCheckDirectory(db.get(), media.toStdString()), CWS_DIR_SETTLING);
    // Held, it is neither taken nor waited for idle: the end-to-end ingest test.
    live.write("the last piece");
    live.close();
    EXPECT_TRUE(waitFor([&] { return filesLine() == "Found 2"; }, 15000))
        << filesLine().toStdString();
}

CLIPWATCH_BOTH_BACKENDS(Scan);
