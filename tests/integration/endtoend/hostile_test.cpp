// A hostile scan tree: odd and over-long names and paths, a link loop, a FIFO, a dangling link and
// a folder removed while it is searched.
#include "tests/integration/endtoend/e2efixture.h"

#include <QDir>

#include <sys/stat.h>

namespace
{

class Hostile : public e2e::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }
    int serviceJobMs() const override { return 100; }
};

} // namespace

TEST_P(Hostile, EveryClipRecordedOnceUnderItsExactPathWhileAFolderIsRemoved)
{
    const QString deep = (QString(200, QChar('L')) + "/").repeated(5);
    // The service protocol cannot carry a double quote nor an "&" followed by a fragment holding
    // "=": those clips end as failed, never left in progress.
    QStringList readable, uncarried;
    for (const QString& name : QStringList{
             "double\"quote.mov", "single'quote.mov", "amp&ersand=1.mov", "per%25cent%.mov",
             "#hash.mp4", "what?.mxf", "semi;colon.avi", "with  spaces .mov", "new\nline.mov",
             QString::fromUtf8("Čaj ünïcødé 日本語.mp4"), QString(251, QChar('n')) + ".mov",
             "it's \"odd\" & 50% #1?; dir/clip.mov", "sub/nested.mp4", deep + "long.mov"}) {
        ASSERT_TRUE(e2e::touch(media + name)) << name.toStdString();
        (name.contains('"') || name.contains("&ersand=") ? uncarried : readable) << media + name;
    }
    ASSERT_GT(readable.last().toUtf8().size(), 1000);
    // A loop back to the media folder, a FIFO and a link to nothing.
    ASSERT_TRUE(QFile::link("..", media + "sub/loop"));
    ASSERT_TRUE(QFile::link(media, media + "sub/back.mov"));
    const QStringList unreadable = {media + "pipe.mov", media + "dead.mov"};
    ASSERT_EQ(::mkfifo(unreadable[0].toUtf8().constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(media + "nowhere.mov", unreadable[1]));
    const QString vanishing = media + "vanishing/";
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(e2e::touch(vanishing + QString("v%1.mov").arg(i)));

    e2e::configure(GetParam(), folder, media, {{"MakeMD5", 1}, {"MakeProxy", 0}});
    const QString log = QString::fromStdString("hostile-" + backendName({GetParam(), 0}));
    e2e::Driver driver;
    ASSERT_TRUE(driver.start(log));
    ASSERT_TRUE(e2e::waitForLog(log, "CreateClipList=<" + vanishing + ">"));
    ASSERT_TRUE(QDir(vanishing).removeRecursively());
    ASSERT_TRUE(driver.waitIdle(180000)) << "the walk, the search or the jobs did not end";

    e2e::ClipDb db(GetParam(), folder);
    const QString outside = " FROM Clips WHERE AnchorPath NOT LIKE '" + vanishing + "%'";
    EXPECT_EQ(e2e::sorted(db.column("SELECT AnchorPath" + outside)),
              e2e::sorted(readable + uncarried + unreadable));
    EXPECT_EQ(e2e::sorted(db.column("SELECT AnchorPath" + outside +
                                    " AND Complete = 1 AND PiconValue = 1 AND length(MD5) = 32")),
              e2e::sorted(readable))
        << "a readable clip not made";
    EXPECT_EQ(e2e::sorted(db.column("SELECT AnchorPath" + outside + " AND Complete = 4")),
              e2e::sorted(uncarried + unreadable))
        << "a clip the service cannot be asked about not failed";
    // A clip whose file went away before it was read is recorded as failed; none is stuck.
    const QString inside = " FROM Clips WHERE AnchorPath LIKE '" + vanishing + "%'";
    EXPECT_EQ(db.number("SELECT COUNT(*)" + inside + " AND Complete NOT IN (1, 4)"), 0);
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE PiconValue = 2 OR MD5 = 'in progress'"),
              0);
    e2e::expectDirectoriesDone(db);
    for (const QString& directory : db.column("SELECT Directory FROM Directories"))
        EXPECT_FALSE(directory.contains("/loop")) << "the link loop was walked";
}

CLIPWATCH_BOTH_BACKENDS(Hostile);
