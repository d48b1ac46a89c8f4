// The clip search of one folder by an instance.
#include "db/dbcws.h"
#include "tests/support/instancetest.h"
#include "tests/support/scanenv.h"
#include "tests/support/testdb.h"

#include <QFile>
#include <QThread>

#include <map>

using Walk = InstanceTest;

// A still beside a video of the same name stands for that video: both files must give the clip
// the video's stamp, or every search takes the clip as replaced and makes it again.
TEST_F(Walk, AStillBesideItsVideoLeavesTheFinishedClipAloneUntilTheVideoIsReplaced)
{
    makeInstance();
    const QString media = folder + "/media/";
    ASSERT_TRUE(scanenv::touch(media + "clip.png"));
    QFile video(media + "clip.mov"); // of another size than the still
    ASSERT_TRUE(video.open(QIODevice::WriteOnly) && video.write(QByteArray(4000, 'v')) == 4000);
    video.close();
    const std::string anchor = (media + "clip.mov").toStdString();

    ASSERT_TRUE(instance->SearchDirectory(media.toStdString()));
    EXPECT_EQ(dbCWSGetFileCount(db.get()), 1);
    dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_CLIP, nullptr, nullptr, 1, nullptr);
    ASSERT_TRUE(instance->SearchDirectory(media.toStdString()));
    EXPECT_EQ(clipState(anchor), 1) << "an unchanged clip was made again";

    // Searched again once more, its files now looked at while the clips are looked up (the last
    // search found them known, as on a rescan): the video replaced is made again.
    ASSERT_TRUE(video.open(QIODevice::WriteOnly) && video.write(QByteArray(5000, 'w')) == 5000);
    video.close();
    ASSERT_TRUE(instance->SearchDirectory(media.toStdString()));
    EXPECT_EQ(clipState(anchor), 0) << "the replaced clip was not made again";
}

// While folders are searched one after another the next one is listed ahead: the search of
// another folder meanwhile, or a search long after, reads its folder as it is then.
TEST_F(Walk, AFolderListedAheadServesOnlyASearchOfThatFolderSoonAfter)
{
    makeInstance();
    instance->state = CQZClipwatch::cwsFindClips;
    std::map<char, std::string> dirs;
    for (const char name : {'a', 'b', 'c'}) {
        const QString dir = folder + "/" + name + "/";
        ASSERT_TRUE(scanenv::touch(dir + "1.mov"));
        dirs[name] = dir.toStdString();
        ASSERT_EQ(dbCWSAddDirectory(db.get(), dirs[name], 0), 0);
    }
    dbCWSMoveDirectoryChecks(db.get(), QZ_FOUND_FILE, 0); // walked: to be searched
    const auto recorded = [&](char dir, const char* file) {
        return clipState(dirs[dir] + file) != -1;
    };

    ASSERT_TRUE(instance->SearchDirectory(dirs['a'])); // "b" is listed meanwhile
    ASSERT_TRUE(instance->SearchDirectory(dirs['c']));
    EXPECT_TRUE(recorded('c', "1.mov"));
    EXPECT_FALSE(recorded('b', "1.mov")) << "a folder was searched with another's listing";

    // "b", listed again while "c" was searched, gains a clip; its search comes later.
    QThread::msleep(50);
    ASSERT_TRUE(scanenv::touch(QString::fromStdString(dirs['b']) + "2.mov"));
    QThread::msleep(300);
    ASSERT_TRUE(instance->SearchDirectory(dirs['b']));
    EXPECT_TRUE(recorded('b', "1.mov"));
    EXPECT_TRUE(recorded('b', "2.mov")) << "a stale listing read ahead was searched";
}

// A folder listed ahead is looked up only when its clips or their files changed since its last
// whole search: a replacement left for later (its clip's jobs running) is made by a later one.
TEST_F(Walk, AFolderIsLookedUpAgainUntilEveryChangeInItWasTakenIn)
{
    makeInstance();
    instance->state = CQZClipwatch::cwsFindClips;
    const std::string a = (folder + "/a/").toStdString(), b = (folder + "/b/").toStdString();
    ASSERT_TRUE(scanenv::touch(QString::fromStdString(a + "1.mov")));
    QFile video(QString::fromStdString(b + "1.mov"));
    ASSERT_TRUE(scanenv::touch(video.fileName()));
    ASSERT_TRUE(video.open(QIODevice::WriteOnly) && video.write(QByteArray(4000, 'v')) == 4000);
    video.close();
    for (const std::string& dir : {a, b})
        ASSERT_EQ(dbCWSAddDirectory(db.get(), dir, 0), 0);
    const auto searchBAfterA = [&] { // "b" is listed while "a" is searched
        for (const std::string& dir : {a, b})
            dbCWSUpdateDirectoryCheck(db.get(), dir, 0);
        return instance->SearchDirectory(a) && instance->SearchDirectory(b);
    };
    const auto setClip = [&](int state) {
        dbCWSSetElementStatus(db.get(), -1, b + "1.mov", CWS_ELEMENT_CLIP, nullptr, nullptr, state,
                              nullptr);
    };

    ASSERT_TRUE(searchBAfterA());
    EXPECT_NE(dbCWSGetFolderPrint(db.get(), b), "");
    setClip(QZ_IN_PROGRESS);
    ASSERT_TRUE(video.open(QIODevice::WriteOnly) && video.write(QByteArray(5000, 'w')) == 5000);
    video.close();
    ASSERT_TRUE(searchBAfterA());
    EXPECT_EQ(clipState(b + "1.mov"), QZ_IN_PROGRESS) << "made again while its jobs ran";

    setClip(QZ_FINISHED);
    ASSERT_TRUE(searchBAfterA());
    EXPECT_EQ(clipState(b + "1.mov"), 0) << "a replacement left for later was never made";
    ASSERT_TRUE(scanenv::touch(QString::fromStdString(b + "2.mov")));
    ASSERT_TRUE(searchBAfterA());
    EXPECT_NE(clipState(b + "2.mov"), -1) << "a new clip was not recorded";
}

namespace
{

// The walk's fixture on this process's MySQL database.
class WalkMySQL : public InstanceTest
{
protected:
    void SetUp() override
    {
        CLIPWATCH_REQUIRE_MARIADB();
        testdb::dropMySQL(testdb::mysqlName());
        InstanceTest::SetUp();
    }
    void TearDown() override
    {
        InstanceTest::TearDown();
        testdb::dropMySQL(testdb::mysqlName());
    }
    void makeInstance(const std::map<QString, QVariant>& = {}) override
    {
        scanenv::configure(Backend::MySQL, folder, folder + "/media/");
        ASSERT_TRUE(openInstance(instance, db));
    }
};

} // namespace

// On a MySQL server the folders listed ahead are looked up ahead as well: a path that the server
// holds equal to an earlier one of the same folder is looked up again once that one is in.
TEST_F(WalkMySQL, AFolderLookedUpAheadRecordsEachClipOnce)
{
    makeInstance();
    instance->state = CQZClipwatch::cwsFindClips;
    const std::string a = (folder + "/media/a/").toStdString(),
                      b = (folder + "/media/b/").toStdString();
    for (const std::string& path : {a + "1.mov", b + "X.mov", b + "x.mov", b + "y.mov"})
        ASSERT_TRUE(scanenv::touch(QString::fromStdString(path)));
    for (const std::string& dir : {a, b})
        ASSERT_EQ(dbCWSAddDirectory(db.get(), dir, 0), 0);
    dbCWSMoveDirectoryChecks(db.get(), QZ_FOUND_FILE, 0);

    ASSERT_TRUE(instance->SearchDirectory(a)); // "b" is listed and looked up meanwhile
    ASSERT_TRUE(instance->SearchDirectory(b));
    EXPECT_EQ(dbCWSGetFileCount(db.get()), 3);
    EXPECT_NE(clipState(b + "y.mov"), -1);
}
