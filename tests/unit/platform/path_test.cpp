// Path text functions on every path style, and the file operations on a temporary tree.
#include "platform/qzpath.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(Path, SplitsEveryStyle)
{
    const struct {
        std::string path, drive, dir, name, ext;
    } cases[] = {
        {"C:\\clips\\day1\\a.mov", "C:", "\\clips\\day1\\", "a", ".mov"},
        {"C:a.mov", "C:", "", "a", ".mov"},
        {"\\\\server\\share\\dir\\a.mxf", "", "\\\\server\\share\\dir\\", "a", ".mxf"},
        {"/mnt/media/clip.tar.gz", "", "/mnt/media/", "clip.tar", ".gz"},
        {"/mnt/media/", "", "/mnt/media/", "", ""},
        {"/home/u/.profile", "", "/home/u/", ".profile", ""},
        {"/a/trailing.", "", "/a/", "trailing", "."},
        {"/posix\\back.mov", "", "/", "posix\\back", ".mov"},
        {"", "", "", "", ""},
    };
    for (const auto& c : cases) {
        std::string drive = "x", dir = "x", name = "x", ext = "x";
        qzOSSplitPath(c.path, &drive, &dir, &name, &ext);
        EXPECT_EQ(drive + "|" + dir + "|" + name + "|" + ext,
                  c.drive + "|" + c.dir + "|" + c.name + "|" + c.ext);
    }
}

TEST(Path, StylesAndNetworkSources)
{
    EXPECT_EQ(qzOSPathSeparator("C:\\x"), '\\');
    EXPECT_EQ(qzOSPathSeparator("\\\\srv\\share"), '\\');
    EXPECT_EQ(qzOSPathSeparator("relative\\x"), '/');
    EXPECT_TRUE(qzOSIsNetworkSource("s3://bucket/a.mov"));
    EXPECT_FALSE(qzOSIsNetworkSource("C://clips/a.mov")) << "a drive letter is no scheme";
    EXPECT_FALSE(qzOSIsNetworkSource("/mnt/s3://x"));
}

TEST(Path, ExtensionsChangeAndMatchWholeAndIgnoringCase)
{
    const struct {
        std::string path, ext, expected;
    } changes[] = {
        {"/m/a.mxf", "mp4", "/m/a.mp4"},         {"/m.d/a", "mov", "/m.d/a.mov"},
        {"/m/a.b.c", "ts", "/m/a.b.ts"},         {"/m/a.mov", "", "/m/a"},
        {"C:\\m.x\\a", "m4v", "C:\\m.x\\a.m4v"}, {"/m/.cfg", "mov", "/m/.cfg.mov"},
    };
    for (const auto& c : changes) {
        std::string path = c.path;
        ChangeFileExtension(path, c.ext);
        EXPECT_EQ(path, c.expected) << c.path << " + " << c.ext;
    }
    EXPECT_EQ(CheckFileExtension("/m/X.MP4", ".mp4") + CheckFileExtension("/m/x.mp4", "MP4"), 2);
    EXPECT_EQ(CheckFileExtension("/m/x.mp4", ".mp"), 0);
    EXPECT_EQ(CheckFileExtension("/m.mp4/x", ".mp4"), 0);
    EXPECT_EQ(CheckFileExtension("x", ""), 0);
    const std::string list = ".mov.mp4.MXF";
    EXPECT_EQ(CheckFileExtensions("/m/a.mxf", list), 1);
    for (const char* path : {"/m/a.mp", "/m/a.mov4", "/m/mov"})
        EXPECT_EQ(CheckFileExtensions(path, list), 0) << path << ": whole entries only";
    EXPECT_EQ(CheckFileExtensions("/m/a.mov", ""), 0);
    EXPECT_NE(CheckFileName("Thumbs.db", "desktop.ini;thumbs.DB"), 0);
    EXPECT_NE(CheckFileName("a", ";;a;"), 0);
    EXPECT_EQ(CheckFileName("thumbs", "thumbs.db;desktop.ini"), 0);
    EXPECT_EQ(CheckFileName("", ";;"), 0) << "empty entries never match";
}

TEST(Path, FileOperationsOnALocalTree)
{
    const std::string root = testenv::makeDir("files").toStdString();
    const std::string target = root + "/out/deep/er/a.mov.picon.jpg";
    EXPECT_EQ(MakeDirStructure(target), 0);
    EXPECT_TRUE(qzOSFileIsDir(root + "/out/deep/er"));
    EXPECT_FALSE(qzOSFileExists(target)) << "only the directories are made";
    EXPECT_EQ(MakeDirStructure(root + "/whole/"), 0);
    EXPECT_EQ(MakeDirStructure(target), 0) << "existing directories are fine";
    EXPECT_EQ(MakeDirStructure("s3://bucket/a/b.mov"), 0);
    EXPECT_EQ(MakeDirStructure("C:\\out\\a.mov"), -1);
    std::ofstream(root + "/src.mov") << "clip";
    std::ofstream(root + "/blocker") << "x";
    EXPECT_EQ(MakeDirStructure(root + "/blocker/sub/a.mov"), -1);

    for (int i = 0; i < 2; ++i) // an existing copy is replaced
        EXPECT_EQ(qzOSCopyFile(root + "/src.mov", root + "/errors/clips/src.mov"), 0);
    std::string copied;
    std::ifstream(root + "/errors/clips/src.mov") >> copied;
    EXPECT_EQ(copied, "clip");
    EXPECT_NE(qzOSCopyFile(root + "/missing.mov", root + "/x.mov"), 0);
    EXPECT_EQ(qzOSDeleteFile(root + "/src.mov"), 0);
    EXPECT_FALSE(qzOSFileExists(root + "/src.mov"));
    EXPECT_NE(qzOSDeleteFile(root + "/src.mov"), 0);

    // A file, not a folder, is as good as missing: a share's mount point never holds one.
    EXPECT_EQ(qzOSFolderState(root + "/absent"), QzFolderState::Missing);
    EXPECT_EQ(qzOSFolderState(root + "/blocker"), QzFolderState::Missing);
    EXPECT_EQ(qzOSFolderState(root + "/whole"), QzFolderState::Empty);
    EXPECT_EQ(qzOSFolderState(root + "/errors"), QzFolderState::Filled);
}
