// The clip search of one folder by an instance.
#include "db/dbcws.h"
#include "tests/support/instancetest.h"
#include "tests/support/scanenv.h"

#include <QFile>

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
