// After a complete scan, files added to the scan folder, to a folder searched before and to a new
// folder: the control word "restart" must record each once, keep every earlier row's ID and
// process the new clips.
#include "tests/integration/endtoend/e2efixture.h"

namespace
{

class Rescan : public e2e::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }
    int serviceJobMs() const override { return 100; }
};

} // namespace

TEST_P(Rescan, RestartRecordsFilesAddedToKnownAndNewFolders)
{
    QStringList clips = e2e::makeTree(media, 4, 2);
    e2e::configure(backend(), folder, media, {{"MakeMD5", 1}, {"MakeProxy", 0}});
    const QString run = QString::fromStdString(backendName({backend(), 0}));

    e2e::Driver first;
    ASSERT_TRUE(first.start("rescan-" + run + "-first"));
    ASSERT_TRUE(first.waitIdle(60000)) << "the first scan did not finish";
    e2e::ClipDb db(backend(), folder);
    const QStringList before = e2e::rowsWithIds(db);
    ASSERT_EQ(before.size(), clips.size() + 9) << "8 clips; the scan folder, g0..g3 and d0..d3";

    const QStringList added = {media + "top.mov", media + "g1/d1/late.mp4",
                               media + "new/fresh.mxf"};
    for (const QString& path : added)
        ASSERT_TRUE(e2e::touch(path));
    e2e::Driver again;
    ASSERT_TRUE(again.start("rescan-" + run + "-again", {"--request", "scandir=0&restart"}));
    ASSERT_TRUE(again.waitIdle(60000)) << "the rescan did not finish";

    e2e::expectAllComplete(db, clips + added);
    const QStringList after = e2e::rowsWithIds(db);
    for (const QString& row : before)
        EXPECT_TRUE(after.contains(row)) << "row changed or lost: " << row.toStdString();
}

CLIPWATCH_BOTH_BACKENDS(Rescan);
