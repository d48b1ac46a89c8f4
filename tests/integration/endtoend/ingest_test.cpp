// Files copied into a watched folder, against the real reference service on SQLite and MariaDB:
// clips still being written wait until they have settled while settled ones are made, and a
// clip replaced in place is made again by a rescan while unchanged clips get no request.
#include "tests/integration/endtoend/e2efixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace
{

QString md5Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result().toHex()
                                                                 : QString();
}

// A one-second clip of the lavfi source `source` (a real file for the service's picon).
void makeClip(const QString& path, const QString& source)
{
    QDir().mkpath(QFileInfo(path).path());
    QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                 source + "=size=64x48:rate=5:duration=1", path});
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
}

// The jobs of `jobs` whose source is `path`.
int jobsFor(const QStringList& jobs, const QString& path)
{
    return static_cast<int>(std::count_if(
        jobs.begin(), jobs.end(), [&](const QString& job) { return job.endsWith(" " + path); }));
}

// The checksum of every file below `dir`, by path.
QMap<QString, QString> filesBelow(const QString& dir)
{
    QMap<QString, QString> sums;
    for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        sums[path] = md5Of(path);
    }
    return sums;
}

class Ingest : public e2e::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }
    QString run(const char* name) const
    {
        return QString("ingest-%1-%2")
            .arg(name, QString::fromStdString(backendName({GetParam(), 0})));
    }
    QString recordedMD5(e2e::ClipDb& db, const QString& path)
    {
        const QStringList sums =
            db.column("SELECT MD5 FROM Clips WHERE AnchorPath = '" + path + "'");
        return sums.isEmpty() ? QString() : sums.first().toLower();
    }
};

} // namespace

TEST_P(Ingest, FilesBeingWrittenWaitWhileSettledClipsAreMade)
{
    const QStringList settled = e2e::makeTree(media, 10, 1);
    e2e::configure(backend(), folder, media,
                   {{"MakeMD5", 1}, {"MakePicons", 0}, {"MakeProxy", 0}, {"SettleSeconds", 3}});
    ASSERT_TRUE(service.start(0, true)) << "port 1080 taken";
    // A recorder holds its file open; a copy in pieces reopens it for each piece.
    const QString recording = media + "live/recording.mov", copy = media + "live/copy.mxf";
    QDir().mkpath(media + "live");
    QFile held(recording);
    ASSERT_TRUE(held.open(QIODevice::WriteOnly));
    e2e::Driver driver;
    ASSERT_TRUE(driver.start(run("growing")));
    e2e::ClipDb db(backend(), folder);
    const QByteArray piece(64 * 1024, 'x');
    bool settledMadeMeanwhile = false;
    for (int i = 0; i < 10; ++i) {
        if (i == 9) {
            EXPECT_EQ(jobsFor(service.jobs(), recording) + jobsFor(service.jobs(), copy), 0)
                << "a request for a file still being written";
        }
        held.write(piece + QByteArray::number(i));
        held.flush();
        QFile pieces(copy);
        ASSERT_TRUE(pieces.open(QIODevice::Append));
        pieces.write(piece + QByteArray::number(i));
        pieces.close();
        settledMadeMeanwhile =
            db.number("SELECT COUNT(*) FROM Clips WHERE MD5 IS NOT NULL AND length(MD5) = 32") ==
            settled.size();
        if (i < 9)
            QThread::msleep(2000);
    }
    EXPECT_TRUE(settledMadeMeanwhile) << "the settled clips waited for the files being written";
    held.close();
    ASSERT_TRUE(driver.waitIdle(120000)) << "the written files were never taken up";
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE Complete = 1"), settled.size() + 2);
    for (const QString& path : {recording, copy}) {
        EXPECT_EQ(recordedMD5(db, path), md5Of(path)) << path.toStdString();
        EXPECT_EQ(jobsFor(service.jobs(), path), 1) << path.toStdString();
    }
}

TEST_P(Ingest, AClipReplacedInPlaceIsMadeAgainAndOnlyIt)
{
    const QStringList clips = {media + "a/c0.mov", media + "a/c1.mov", media + "b/c2.mov"};
    for (const QString& path : clips)
        makeClip(path, "testsrc");
    const QString picons = folder + "/picons/";
    e2e::configure(backend(), folder, media,
                   {{"MakeMD5", 1}, {"MakeProxy", 0}, {"PiconDir", picons}, {"SettleSeconds", 2}});
    ASSERT_TRUE(service.start(0, true)) << "port 1080 taken";
    e2e::Driver first;
    ASSERT_TRUE(first.start(run("replaced-first")));
    ASSERT_TRUE(first.waitIdle(120000));
    e2e::ClipDb db(backend(), folder);
    e2e::expectAllComplete(db, clips);
    const int jobsBefore = service.jobs().size();
    ASSERT_EQ(jobsBefore, 6) << "a picon and an MD5 for each clip";
    const QMap<QString, QString> piconsBefore = filesBelow(picons);
    ASSERT_EQ(piconsBefore.size(), 3);
    const QString oldSum = recordedMD5(db, clips[0]);

    makeClip(clips[0], "smptebars");
    e2e::Driver rescan;
    ASSERT_TRUE(rescan.start(run("replaced-rescan"), {"--request", "scandir=0&restart"}));
    ASSERT_TRUE(rescan.waitIdle(120000));
    e2e::expectAllComplete(db, clips);
    const QStringList newJobs = service.jobs().mid(jobsBefore);
    EXPECT_EQ(newJobs.size(), 2) << newJobs.join(", ").toStdString();
    EXPECT_EQ(jobsFor(newJobs, clips[0]), 2) << "the replaced clip's picon and MD5 were not redone";
    EXPECT_EQ(recordedMD5(db, clips[0]), md5Of(clips[0]));
    EXPECT_NE(recordedMD5(db, clips[0]), oldSum);
    const QMap<QString, QString> piconsAfter = filesBelow(picons);
    int changed = 0;
    for (auto it = piconsAfter.begin(); it != piconsAfter.end(); ++it)
        changed += piconsBefore.value(it.key()) != it.value();
    EXPECT_EQ(changed, 1) << "the replaced clip's picon alone is new";
}

CLIPWATCH_BOTH_BACKENDS(Ingest);
