// Files copied into a watched folder, against the real reference service: clips still being
// written wait until they have settled, and a clip replaced in place is made again by a rescan.
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
};

} // namespace

TEST_P(Ingest, FilesBeingWrittenWaitAndAClipReplacedInPlaceIsMadeAgainAlone)
{
    const QStringList settled = {media + "a/c0.mov", media + "a/c1.mov", media + "b/c2.mov"};
    for (const QString& path : settled)
        makeClip(path, "testsrc");
    QFile source(folder + "/source.mov");
    makeClip(source.fileName(), "testsrc2");
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    const QString picons = folder + "/picons/";
    e2e::configure(backend(), folder, media,
                   {{"MakeMD5", 1}, {"MakeProxy", 0}, {"PiconDir", picons}, {"SettleSeconds", 3}});
    ASSERT_TRUE(service.start(0, true)) << "port 1080 taken";
    // A recorder holds its file open; a copy in pieces reopens it for each piece.
    const QString recording = media + "live/recording.mov", copy = media + "live/copy.mov";
    QDir().mkpath(media + "live");
    QFile held(recording);
    ASSERT_TRUE(held.open(QIODevice::WriteOnly));
    const QString run = QString::fromStdString("ingest-" + backendName({GetParam(), 0}));
    e2e::Driver first;
    ASSERT_TRUE(first.start(run));
    e2e::ClipDb db(backend(), folder);
    const auto recordedMD5 = [&](const QString& path) {
        return db.column("SELECT MD5 FROM Clips WHERE AnchorPath = '" + path + "'")
            .value(0)
            .toLower();
    };
    const int pieceSize = bytes.size() / 10 + 1;
    bool settledMadeMeanwhile = false;
    for (int i = 0; i < 10; ++i) {
        if (i == 9) {
            EXPECT_EQ(service.jobs().filter(media + "live/").size(), 0)
                << "a request for a file still being written";
        }
        const QByteArray piece = bytes.mid(i * pieceSize, pieceSize);
        held.write(piece);
        held.flush();
        QFile pieces(copy);
        ASSERT_TRUE(pieces.open(QIODevice::Append));
        pieces.write(piece);
        pieces.close();
        settledMadeMeanwhile =
            db.number("SELECT COUNT(*) FROM Clips WHERE MD5 IS NOT NULL AND length(MD5) = 32") ==
            settled.size();
        if (i < 9)
            QThread::msleep(2000);
    }
    EXPECT_TRUE(settledMadeMeanwhile) << "the settled clips waited for the files being written";
    held.close();
    ASSERT_TRUE(first.waitIdle(120000)) << "the written files were never taken up";
    const QStringList clips = settled + QStringList{recording, copy};
    e2e::expectAllComplete(db, clips);
    for (const QString& path : {recording, copy}) {
        EXPECT_EQ(recordedMD5(path), md5Of(path)) << path.toStdString();
        EXPECT_EQ(service.jobs().filter(path).size(), 2) << path.toStdString();
    }
    const int jobsBefore = service.jobs().size();
    ASSERT_EQ(jobsBefore, 10) << "a picon and an MD5 for each clip";
    const QMap<QString, QString> piconsBefore = filesBelow(picons);
    ASSERT_EQ(piconsBefore.size(), 5);
    const QString oldSum = recordedMD5(settled[0]);

    makeClip(settled[0], "smptebars");
    e2e::Driver rescan;
    ASSERT_TRUE(rescan.start(run + "-rescan", {"--request", "scandir=0&restart"}));
    ASSERT_TRUE(rescan.waitIdle(120000));
    e2e::expectAllComplete(db, clips);
    const QStringList newJobs = service.jobs().mid(jobsBefore);
    EXPECT_EQ(newJobs.size(), 2) << newJobs.join(", ").toStdString();
    EXPECT_EQ(newJobs.filter(settled[0]).size(), 2)
        << "the replaced clip's picon and MD5 were not redone";
    EXPECT_EQ(recordedMD5(settled[0]), md5Of(settled[0]));
    EXPECT_NE(recordedMD5(settled[0]), oldSum);
    const QMap<QString, QString> piconsAfter = filesBelow(picons);
    int changed = 0;
    for (auto it = piconsAfter.begin(); it != piconsAfter.end(); ++it)
        changed += piconsBefore.value(it.key()) != it.value();
    EXPECT_EQ(changed, 1) << "the replaced clip's picon alone is new";
}

CLIPWATCH_BOTH_BACKENDS(Ingest);
