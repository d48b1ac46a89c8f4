// A listing's clips looked up and recorded together, on both backends: each path is found as a
// look-up of that path alone finds it (on MySQL by the server's collation), and each new clip
// gets its own stamp.
#include "tests/unit/db/dbfixture.h"

namespace
{

using ClipBatch = DbTest;

std::vector<dbCwsFoundClip::Kind> kinds(const std::vector<dbCwsFoundClip>& found)
{
    std::vector<dbCwsFoundClip::Kind> result;
    for (const dbCwsFoundClip& clip : found)
        result.push_back(clip.kind);
    return result;
}

} // namespace

TEST_P(ClipBatch, EachPathIsFoundAsItsOwnLookUpWouldFindIt)
{
    using K = dbCwsFoundClip;
    dbCWSAddClip(handle, "known", "/scan/known.mov", "/scan", nullptr, {7, 1700000000});
    // A second record of the same path: the first recorded is the one found.
    ASSERT_TRUE(exec("INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete) VALUES "
                     "('later', '/scan/known.mov', '/scan', 0)"));
    clip("/scan/made.mov", "ProxyPath='/scan/made.mov.mp4'");
    // With a last letter, as long as a local path can be: 4096 characters.
    const std::string longest = "/scan/" + std::string(4085, 'x') + ".mov";
    dbCWSAddClip(handle, "long", longest + "a", "/scan");
    const std::vector<dbCwsFoundClip> found = dbCWSFindClips(
        handle, "/scan",
        {"/scan/new.mov", "/scan/known.mov", "/scan/new.mov", "/scan/made.mov.mp4", "/scan/a.mov",
         "/scan/A.MOV", "/scan/MADE.MOV", longest + "a", longest + "b"});
    if (isMySQL()) // its collation ignores case; its proxies are no clips
        EXPECT_EQ(kinds(found),
                  (std::vector<K::Kind>{K::New, K::Known, K::Repeat, K::Derived, K::New, K::Repeat,
                                        K::Known, K::Known, K::New}));
    else
        EXPECT_EQ(kinds(found), (std::vector<K::Kind>{K::New, K::Known, K::Repeat, K::New, K::New,
                                                      K::New, K::New, K::Known, K::New}));
    // Beyond ASCII, accents aside as well.
    EXPECT_EQ(kinds(dbCWSFindClips(handle, "/scan", {"/scan/caf\xC3\xA9.mov", "/scan/CAFE.mov "})),
              (std::vector<K::Kind>{K::New, isMySQL() ? K::Repeat : K::New}));
    EXPECT_EQ(found[1].known.id, number("SELECT ID FROM Clips WHERE ClipName='known'"));
    EXPECT_TRUE(found[1].known.stamp == (dbCwsFileStamp{7, 1700000000}));
}

TEST_P(ClipBatch, ManyNewClipsEachKeepTheirOwnStamp)
{
    std::vector<std::string> anchors;
    std::vector<dbCwsNewClip> clips;
    for (int i = 0; i < 250; ++i) { // more than one statement's stretch
        // Some with the characters that end or mark a value in a statement's text.
        anchors.push_back("/scan/c" + std::to_string(i) + (i % 7 ? "" : " it's \\?\"`%") + ".mov");
        clips.push_back({"c", anchors.back(), i % 2 ? 0 : QZ_ERROR,
                         i % 3 ? dbCwsFileStamp{i, 1700000000 + i} : dbCwsFileStamp()});
    }
    const auto middle = clips.begin() + 125;
    EXPECT_TRUE(handle->returnsIds) << "both give the rows of an INSERT";
    ASSERT_EQ(dbCWSInsertClips(handle, "/scan", {clips.begin(), middle}), 0);
    // The rest as a server that does not give them takes them (staged and joined by path), the
    // staging table gone since its last use, as when a MySQL connection reconnects.
    dbCWSFindClips(handle, "/scan", anchors);
    ASSERT_TRUE(exec(isMySQL() ? "DROP TEMPORARY TABLE IF EXISTS CwsStaged"
                               : "DROP TABLE IF EXISTS temp.CwsStaged"));
    handle->returnsIds = false;
    ASSERT_EQ(dbCWSInsertClips(handle, "/scan", {middle, clips.end()}), 0);

    const std::vector<dbCwsFoundClip> found = dbCWSFindClips(handle, "/scan", anchors);
    for (int i = 0; i < 250; ++i) {
        SCOPED_TRACE(anchors[i]);
        EXPECT_EQ(found[i].kind, dbCwsFoundClip::Known);
        EXPECT_TRUE(found[i].known.stamp == clips[i].stamp);
        EXPECT_EQ(row(anchors[i], "Complete,SourceDir"),
                  std::to_string(clips[i].complete) + ",/scan");
    }
    EXPECT_EQ(number("SELECT COUNT(*) FROM Clips"), 250);
}

// A staging table the server refuses (one of another shape here; a user without the right to
// make temporary tables meets it): a recorded clip is never taken for a new one.
TEST_P(ClipBatch, WithoutTheStagingTableEachPathIsLookedUpAlone)
{
    if (!isMySQL())
        GTEST_SKIP() << "SQLite looks paths up without staging them";
    using K = dbCwsFoundClip;
    dbCWSAddClip(handle, "known", "/scan/known.mov", "/scan");
    ASSERT_TRUE(exec(isMySQL() ? "CREATE TEMPORARY TABLE CwsStaged (Unusable INT)"
                               : "CREATE TEMP TABLE CwsStaged (Unusable INTEGER)"));
    EXPECT_EQ(kinds(dbCWSFindClips(handle, "/scan",
                                   {"/scan/known.mov", "/scan/new.mov", "/scan/Known.MOV"})),
              (std::vector<K::Kind>{K::Known, K::New, K::Repeat}));
    EXPECT_EQ(dbCWSInsertClips(handle, "/scan", {{"n", "/scan/new.mov", 0, {5, 6}}}), 0);
    EXPECT_EQ(row("/scan/new.mov", "Complete"), "0");
    EXPECT_EQ(number("SELECT COUNT(*) FROM ClipFiles WHERE Size=5 AND MTime=6"), 1);
}

CLIPWATCH_BOTH_BACKENDS(ClipBatch);
