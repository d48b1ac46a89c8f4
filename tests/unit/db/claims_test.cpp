// Two hosts ("a" and "b") sharing one MariaDB catalogue: folders and clips go to one host each,
// and what a host left when its claims ran out goes to the other.
#include "tests/unit/db/dbfixture.h"

#include <set>

namespace
{

class Claims : public DbTest
{
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        b = open(false, "scanner1");
        ASSERT_NE(b, nullptr);
        dbCWSShareCatalogue(handle, "a", 60);
        dbCWSShareCatalogue(b, "b", 60);
    }
    void TearDown() override
    {
        dbCWSClose(b);
        DbTest::TearDown();
    }

    // Makes every claim of `host` run out.
    void lapse(const std::string& host)
    {
        ASSERT_TRUE(exec("UPDATE Claims SET Until=0 WHERE Host='" + host + "'"));
    }
    // The anchors of the clips `next` hands out, at most `limit`.
    std::set<std::string> work(dbCwsHandle* host, int limit, bool md5 = false)
    {
        std::vector<dbCwsClipSlot> found(10);
        if (md5)
            dbCWSGetNextMD5FileToCheck(host, found, limit);
        else
            dbCWSGetNextFileToCheck(host, found, CWS_ELEMENT_PICON, limit);
        std::set<std::string> anchors;
        for (const dbCwsClipSlot& slot : found)
            if (!slot.anchorPath.empty())
                anchors.insert(slot.anchorPath);
        return anchors;
    }

    dbCwsHandle* b = nullptr;
};

TEST_P(Claims, AFolderIsSearchedByOneHostAndFreedWhenItsHostsClaimRunsOut)
{
    for (const char* dir : {"/m/1/", "/m/2/"})
        dbCWSAddDirectory(handle, dir, 0);
    dbCWSMoveDirectoryChecks(handle, QZ_FOUND_FILE, 0);
    std::string first, second, none;
    ASSERT_EQ(dbCWSClaimNextDirectory(handle, first), 0);
    ASSERT_EQ(dbCWSClaimNextDirectory(b, second), 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(dbCWSClaimNextDirectory(handle, none), -1);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, first), QZ_IN_PROGRESS);

    dbCWSUpdateDirectoryCheck(handle, first, 1);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Claims WHERE Host='a'"), 0) << "searched, still held";
    EXPECT_EQ(dbCWSFreeLapsedDirectories(handle), 0) << "a live claim freed";
    lapse("b");
    EXPECT_TRUE(dbCWSCatalogueBusy(handle)) << "b's folder counts until it is taken over";
    EXPECT_EQ(dbCWSFreeLapsedDirectories(handle), 1);
    ASSERT_EQ(dbCWSClaimNextDirectory(handle, none), 0);
    EXPECT_EQ(none, second);
}

TEST_P(Claims, AClipsWorkGoesToTheHostThatClaimedItUntilItEndsOrItsHostStops)
{
    for (int i = 0; i < 4; ++i)
        dbCWSAddClip(handle, "c", "/m/c" + std::to_string(i) + ".mov", "/m/", [] { return 0; });
    const std::set<std::string> ofA = work(handle, 2), ofB = work(b, 10);
    ASSERT_EQ(ofA.size(), 2u);
    ASSERT_EQ(ofB.size(), 2u);
    for (const std::string& anchor : ofA)
        EXPECT_EQ(ofB.count(anchor), 0u) << anchor << " handed to both hosts";
    EXPECT_EQ(work(b, 10, true), ofB) << "the MD5 query handed out a's clips";
    EXPECT_EQ(work(handle, 10), ofA) << "a's own clips not handed to it again";

    dbCWSReleaseClip(handle, *ofA.begin());
    EXPECT_EQ(work(b, 10).count(*ofA.begin()), 1u) << "an ended clip's claim kept";
    EXPECT_TRUE(dbCWSTakeLapsedClips(handle, 10).empty()) << "live claims taken over";
    lapse("b");
    std::set<std::string> taken;
    for (const dbCwsClipSlot& slot : dbCWSTakeLapsedClips(handle, 10))
        taken.insert(slot.anchorPath);
    EXPECT_EQ(taken.size(), 3u);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Claims WHERE Host='b'"), 0);
}

TEST_P(Claims, OneHostWalksAndARestartedHostTakesUpOnlyItsOwnWork)
{
    EXPECT_TRUE(dbCWSClaim(handle, dbCwsClaimKind::Walk, 0));
    EXPECT_FALSE(dbCWSClaim(b, dbCwsClaimKind::Walk, 0));
    EXPECT_FALSE(dbCWSWalkLapsed(b));

    for (const char* dir : {"/m/1/", "/m/2/"})
        dbCWSAddDirectory(handle, dir, 0);
    dbCWSMoveDirectoryChecks(handle, QZ_FOUND_FILE, 0);
    std::string ofA, ofB;
    dbCWSClaimNextDirectory(handle, ofA);
    dbCWSClaimNextDirectory(b, ofB);
    clip("/m/a.mov", "Complete=2");
    clip("/m/b.mov", "Complete=0");
    work(handle, 10);
    clip("/m/left.mov", "Complete=2"); // in progress, nobody's: left by a run of a lone host

    dbCWSReleaseOwnWork(handle);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, ofA), 0) << "a's folder not searched again";
    EXPECT_EQ(dbCWSGetDirectoryState(handle, ofB), QZ_IN_PROGRESS) << "b's live folder reset";
    EXPECT_TRUE(dbCWSWalkLapsed(b)) << "a's cut-short walk not left to be taken over";
    std::set<std::string> taken;
    for (const dbCwsClipSlot& slot : dbCWSTakeLapsedClips(b, 10))
        taken.insert(slot.anchorPath);
    EXPECT_EQ(taken, (std::set<std::string>{"/m/a.mov", "/m/b.mov", "/m/left.mov"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, Claims, ::testing::Values(Backend::MySQL), backendName);

} // namespace
