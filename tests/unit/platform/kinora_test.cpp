// Media-file recognition: sequences, name groups, directory kinds and listings, file info.
#include "platform/kinora.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace
{

// A folder named exactly `name` holding `files` (relative paths, space-separated), four bytes each.
std::string makeFiles(const QString& name, const QString& files)
{
    const QString dir = testenv::makeDir("kinora") + "/" + name;
    QDir().mkpath(dir);
    for (const QString& f : files.split(' ', Qt::SkipEmptyParts)) {
        QDir().mkpath(QFileInfo(dir + "/" + f).absolutePath());
        QFile file(dir + "/" + f);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("data");
    }
    return dir.toStdString();
}

std::string names(const KnListing& listing)
{
    std::string out;
    for (int i = 0; i < dqzGetTotalFiles(listing); ++i) {
        const std::string path = dqzGetFilePath(listing, i);
        out += (i ? " " : "") + path.substr(path.rfind('/') + 1);
    }
    return out;
}

} // namespace

TEST(Kinora, FrameNamesAndBaseNames)
{
    std::string prefix, ext;
    long long number = -1;
    EXPECT_TRUE(knSplitFrameName("shot_0012.DPX", &prefix, &number, &ext));
    EXPECT_EQ(prefix + " " + std::to_string(number) + " " + ext, "shot_ 12 .DPX");
    EXPECT_TRUE(knSplitFrameName("0001.exr", &prefix, &number, nullptr));
    EXPECT_EQ(prefix, "");
    EXPECT_FALSE(knSplitFrameName("a1234567890123456789012.dpx", nullptr, nullptr, nullptr))
        << "a number too long for its type";

    EXPECT_EQ(dqzGetBaseName("shot_0012"), "shot");
    EXPECT_EQ(dqzGetBaseName("A001 - 000123"), "A001");
    EXPECT_EQ(dqzGetBaseName("000123"), "000123") << "nothing would be left";
}

TEST(Kinora, NameGroupsAndSequencesFromAListingOrTheirDirectory)
{
    const std::string dir = makeFiles("group", "clip.wav clip.mov clip.x.mov clip.picon.jpg "
                                               "clipper.mp4 voice.wav voice.txt s_2.dpx s_3.DPX "
                                               "s_10.dpx s_x.dpx s_4.tif");
    const auto listing = dqzOpenDir(dir, KN_DIR_PLAIN);
    ASSERT_TRUE(listing);
    std::string exts, first;
    EXPECT_EQ(FindFileExtensions(*listing, dir + "/clip.wav", &exts), 2);
    EXPECT_EQ(exts, ".mov.wav");
    EXPECT_EQ(FindFistFilesNumber(*listing, &first, dir + "/s_10.dpx"), 3);
    EXPECT_EQ(first, dir + "/s_2.dpx");
    EXPECT_EQ(FindFistFilesNumber(*listing, &first, dir + "/clip.mov"), 1);
    EXPECT_EQ(first, dir + "/clip.mov") << "a clip that is no frame is its own first file";

    // Files made after the listing are not in it: the listing answers without reading again.
    QFile(QString::fromStdString(dir + "/clip.xml")).open(QIODevice::WriteOnly);
    EXPECT_EQ(FindFileExtensions(*listing, dir + "/clip.wav", &exts), 2);
    EXPECT_EQ(FindFileExtensions(dir + "/clip.wav", &exts), 3) << "read from the directory";
    EXPECT_EQ(exts, ".mov.wav.xml");
    std::string path = dir + "/voice.wav";
    FindFileExtensions(path, &exts);
    EXPECT_FALSE(ChooseVideoExtension(&path, exts));
    EXPECT_EQ(path, dir + "/voice.wav") << "an audio-only group keeps its own file";
    EXPECT_EQ(FindFileExtensions(dir + "/missing/clip.mov", &exts), 0);
    EXPECT_EQ(exts, "");

    // A path of another directory, or a listing made by hand, reads that directory.
    const std::string other = makeFiles("otherdir", "clip.mov clip.wav clip.xml");
    EXPECT_EQ(FindFileExtensions(*listing, other + "/clip.mov", &exts), 3);
    EXPECT_EQ(FindFistFilesNumber(KnListing(), &first, dir + "/s_3.DPX"), 3);
}

TEST(Kinora, PlainDirectoryListingIsSortedWithSequencesOnceAndFileInfoNeedsAReadableFile)
{
    const std::string dir = makeFiles(
        "plain", "b.mov a.mxf f_0003.dpx f_0002.dpx f_0004.dpx g_1.png .hidden.mov sub/inner.mov");
    const auto listing = dqzOpenDir(dir, KN_DIR_PLAIN);
    ASSERT_TRUE(listing);
    EXPECT_EQ(names(*listing), "a.mxf b.mov f_0002.dpx g_1.png");
    EXPECT_EQ(dqzGetFilePath(*listing, 4) + dqzGetFilePath(*listing, -1), "");
    EXPECT_EQ(dqzCheckDir(dir + "/b.mov"), 0u) << "a file is no directory";
    EXPECT_EQ(dqzCheckDir(dir + "/nowhere"), 0u);
    EXPECT_FALSE(dqzOpenDir(dir + "/nowhere", KN_DIR_PLAIN));

    // File info needs a file that opens and reads, if empty. A FIFO and a dangling link:
    // Hostile.EveryClipRecordedOnceUnderItsExactPath.
    QFile(QString::fromStdString(dir + "/empty.mp4")).open(QIODevice::WriteOnly);
    ASSERT_EQ(mkdir((dir + "/folder.mov").c_str(), 0755), 0);
    KnListing files;
    for (const char* name : {"b.mov", "empty.mp4", "folder.mov", "absent.mov"})
        files.files.push_back(dir + "/" + name);
    KnFileInfo info;
    ASSERT_TRUE(dqzGetFileInfo(files, 0, &info));
    EXPECT_EQ(info.size, 4u);
    EXPECT_TRUE(dqzGetFileInfo(files, 1, &info));
    for (int i = 2; i < 5; ++i)
        EXPECT_FALSE(dqzGetFileInfo(files, i, &info)) << i;
}

TEST(Kinora, CameraCardsAndPackagesAreOneUnit)
{
    const struct {
        const char* name;
        const char* files;
        uint32_t bits;
        const char* listed;
    } cases[] = {
        {"p2", "CONTENTS/VIDEO/0001AB.MXF CONTENTS/AUDIO/0001AB00.MXF CONTENTS/CLIP/0001AB.XML",
         KN_DIR_P2, "0001AB.MXF"},
        {"xdcam", "mediapro.xml Clip/C0001.MP4 Clip/C0001M01.XML", KN_DIR_XDCAM,
         "C0001.MP4 C0001M01.XML"},
        {"avchd", "PRIVATE/AVCHD/BDMV/STREAM/00000.MTS PRIVATE/AVCHD/BDMV/INDEX.BDM", KN_DIR_AVCHD,
         "00000.MTS"},
        {"canon", "CONTENTS/CLIPS001/AA0001/AA000101.MXF", KN_DIR_CANON_XF, "AA000101.MXF"},
        {"A001_C002.RDC", "A001_C002_001.R3D A001_C002_002.R3D", KN_DIR_RED, "A001_C002_001.R3D"},
        {"dcp", "ASSETMAP.xml picture.mxf sound.mxf cpl.xml", KN_DIR_PACKAGE,
         "picture.mxf sound.mxf"},
        {"nearly_p2", "CONTENTS/VIDEO/0001AB.MXF", 0, ""},
    };
    for (const auto& c : cases) {
        const std::string dir = makeFiles(c.name, c.files);
        const uint32_t bits = dqzCheckDir(dir);
        EXPECT_EQ(bits, KN_DIR_PLAIN | c.bits) << c.name;
        if (!c.bits)
            continue;
        const auto listing = dqzOpenDir(dir, bits);
        ASSERT_TRUE(listing) << c.name;
        EXPECT_EQ(names(*listing), c.listed) << c.name;
    }
}
