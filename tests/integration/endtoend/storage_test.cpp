// The scan folder swapped for an empty one (an unmounted share) during the search and a rescan,
// then put back: nothing failed, reset or renumbered, the reason logged once, the scan completes.
#include "tests/integration/endtoend/e2efixture.h"

#include <QDir>

#include <fcntl.h>
#include <stdio.h>

namespace
{

// Swaps two folders in one step, as a share's mount point turns empty.
bool exchange(const QString& a, const QString& b)
{
    return renameat2(AT_FDCWD, QFile::encodeName(a).constData(), AT_FDCWD,
                     QFile::encodeName(b).constData(), RENAME_EXCHANGE) == 0;
}

class ScanFolderAway : public e2e::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }
    int serviceJobMs() const override { return 100; }

    // Once the run `log` searches, swaps in an empty scan folder until the run says why it
    // waits, checks that nothing failed, and swaps the folder back.
    void takeAwayDuringTheSearch(const QString& log, e2e::ClipDb& db)
    {
        ASSERT_TRUE(e2e::waitForLog(log, "\ncwsFindClips(", 10));
        const QString scanFolder = QDir::cleanPath(media), away = folder + "/away";
        ASSERT_TRUE(QDir().mkdir(away));
        ASSERT_TRUE(exchange(scanFolder, away));
        const QString reason =
            "Scan folder unavailable: " + media + " is empty while the database holds clips";
        EXPECT_TRUE(e2e::waitFor([&] { return e2e::logCount(log, reason) == 1; }, 30000));
        EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE Complete = 4 OR Complete = 5"), 0)
            << "a clip marked failed while its folder was away";
        EXPECT_EQ(db.number("SELECT COUNT(*) FROM Directories WHERE Checked = 4"), 0);
        ASSERT_TRUE(exchange(away, scanFolder));
        ASSERT_TRUE(QDir(away).removeRecursively());
    }
};

} // namespace

TEST_P(ScanFolderAway, NothingIsLostAndTheScanGoesOnWhenItIsBack)
{
    const QStringList clips = e2e::makeTree(media, 200, 1);
    e2e::configure(backend(), folder, media, {{"MakeMD5", 1}, {"MakeProxy", 0}});
    const QString run = "storage-" + QString::fromStdString(backendName({backend(), 0}));
    e2e::Driver first;
    ASSERT_TRUE(first.start(run));
    e2e::ClipDb db(backend(), folder); // the program has made the database
    takeAwayDuringTheSearch(run, db);
    ASSERT_TRUE(first.waitIdle(120000)) << "the scan did not go on once the folder was back";
    EXPECT_EQ(e2e::logCount(run, "Scan folder unavailable: "), 1) << "logged once while away";
    e2e::expectAllComplete(db, clips);
    const auto rowsWithIds = [&] {
        return db.column("SELECT ID, AnchorPath FROM Clips") +
               db.column("SELECT ID, Directory FROM Directories");
    };
    const QStringList before = rowsWithIds();

    const QStringList added = {media + "top.mov", media + "g1/d1/late.mp4",
                               media + "new/fresh.mxf"};
    for (const QString& path : added)
        ASSERT_TRUE(e2e::touch(path));
    e2e::Driver rescan;
    ASSERT_TRUE(rescan.start(run + "-rescan", {"--request", "scandir=0&restart"}));
    takeAwayDuringTheSearch(run + "-rescan", db);
    ASSERT_TRUE(rescan.waitIdle(120000)) << "the rescan did not go on once the folder was back";
    e2e::expectAllComplete(db, clips + added);
    const QStringList after = rowsWithIds();
    for (const QString& row : before)
        EXPECT_TRUE(after.contains(row)) << "row reset, renumbered or lost: " << row.toStdString();
    EXPECT_EQ(after.size(), before.size() + added.size() + 1) << "the added clips and new/";
}

CLIPWATCH_BOTH_BACKENDS(ScanFolderAway);
