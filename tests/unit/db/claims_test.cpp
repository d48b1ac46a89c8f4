// Two hosts ("a" and "b") sharing one MariaDB catalogue: folders and clips go to one host each,
// and what a host left when its claims ran out goes to the other.
#include "monitor/completion.h"
#include "monitor/jobowner.h"
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
    EXPECT_EQ(dbCWSGetDirectoryState(handle, first), QZ_IN_PROGRESS);

    dbCWSUpdateDirectoryCheck(handle, first, 1);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Claims WHERE Host='a'"), 0) << "searched, still held";
    EXPECT_EQ(dbCWSFreeLapsedDirectories(handle), 0) << "a live claim freed";
    ASSERT_TRUE(exec("UPDATE Claims SET Until=0 WHERE Host='b'")); // b's claims run out
    EXPECT_TRUE(dbCWSCatalogueBusy(handle)) << "b's folder counts until it is taken over";
    EXPECT_EQ(dbCWSFreeLapsedDirectories(handle), 1);
    ASSERT_EQ(dbCWSClaimNextDirectory(handle, none), 0);
    EXPECT_EQ(none, second);
}

TEST_P(Claims, AScanIsUnderWayWhileAClipWaitsOneHostWalksAndARestartedHostTakesUpItsOwnWork)
{
    clip("/m/a.mov", "Complete=1");
    EXPECT_FALSE(dbCWSCatalogueScanning(b)) << "all done: a new walk may begin";
    clip("/m/b.mov", "Complete=0");
    // Else a host joining while no claim is held walks again: every folder is searched twice.
    EXPECT_TRUE(dbCWSCatalogueScanning(b));

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
    std::vector<dbCwsClipSlot> claimed(10);
    dbCWSGetNextFileToCheck(handle, claimed, CWS_ELEMENT_PICON, 10);
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

// What the completion check asks of the host that claimed the clip.
struct Host final : JobOwner {
    explicit Host(dbCwsHandle* handle) : db(handle, [](dbCwsHandle*) {}) {}
    std::shared_ptr<dbCwsHandle> Database() const override { return db; }
    void ReloadDatabase() override {}
    JobSettings JobSettingsNow() const override { return {}; }
    ProgressElements& JobProgress() override { return progress; }
    QStringListThreadSafe& Jobs() override { return jobs; }
    void SetFailedClipCount(int) override {}
    bool KeepGoing(Work) const override { return true; }
    void JobEnded() override {}

    std::shared_ptr<dbCwsHandle> db;
    ProgressElements progress{{}, [] { return 0u; }};
    QStringListThreadSafe jobs;
};

// A host that stops between a clip's end and giving up its claim must leave the claim to run
// out: with the claim gone first, nobody would take the unfinished clip over.
TEST_P(Claims, AClipsClaimIsGivenUpOnlyOnceItsEndIsWritten)
{
    clip("/m/c.mov", "Complete=2");
    std::vector<dbCwsClipSlot> claimed(1);
    ASSERT_EQ(dbCWSGetNextFileToCheck(handle, claimed, CWS_ELEMENT_PICON, 1), 0);
    Host host(handle);
    ASSERT_TRUE(exec("CREATE TRIGGER EndRefused BEFORE UPDATE ON Clips FOR EACH ROW SIGNAL "
                     "SQLSTATE '45000'"));
    CheckClipCompletion(&host, "/m/c.mov");
    EXPECT_EQ(number("SELECT COUNT(*) FROM Claims WHERE Host='a' AND Kind='C'"), 1);
    ASSERT_TRUE(exec("DROP TRIGGER EndRefused"));
    CheckClipCompletion(&host, "/m/c.mov");
    EXPECT_EQ(row("/m/c.mov", "Complete"), "1");
    EXPECT_EQ(number("SELECT COUNT(*) FROM Claims"), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, Claims, ::testing::Values(Backend::MySQL), backendName);

} // namespace
