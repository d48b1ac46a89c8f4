// Directory recursion over a tree with links, a skipped subtree and a folder that goes away.
#include "platform/qzrecurse.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace
{

struct Visits {
    std::string root;
    std::string paths;    // relative to root, space-separated
    std::string skipName; // a directory path ending in this is not descended into
    std::string moveAway; // a directory moved into "c/" as it is reported
};

uint32_t record(void* context, const std::string& path, uint32_t attributes)
{
    auto* v = static_cast<Visits*>(context);
    v->paths += (v->paths.empty() ? "" : " ") + path.substr(v->root.size());
    EXPECT_EQ(attributes, QZ_ATTRIBUTE_DIRECTORY) << path;
    if (!v->moveAway.empty() && path == v->root + v->moveAway)
        rename(path.c_str(), (v->root + "c/moved").c_str());
    const std::string& skip = v->skipName;
    const bool skipped = !skip.empty() && path.size() >= skip.size() &&
                         path.compare(path.size() - skip.size(), skip.size(), skip) == 0;
    return skipped ? QZ_RECURSE_SKIP_SUBTREE : 0;
}

// Visits a fresh tree of directories with files and symbolic links to directories.
Visits visit(const std::string& skipName, const std::string& moveAway = {}, bool slash = true)
{
    Visits v{testenv::makeDir("tree").toStdString() + "/", "", skipName, moveAway};
    for (const char* dir : {"b/x/deep", "a/y", "a/z", "c"})
        QDir().mkpath(QString::fromStdString(v.root + dir));
    for (const char* file : {"file.mov", "a/clip.mxf", "a/y/1.jpg"})
        std::ofstream(v.root + file) << "x";
    EXPECT_EQ(symlink(v.root.c_str(), (v.root + "a/loop").c_str()), 0);
    EXPECT_EQ(symlink((v.root + "b").c_str(), (v.root + "c/tob").c_str()), 0);
    const std::string root = slash ? v.root : v.root.substr(0, v.root.size() - 1);
    EXPECT_EQ(qzOSRecurseDirectory(&v, root, record, 0x9001), 0);
    return v;
}

} // namespace

TEST(Recurse, ReportsEveryReadableDirectoryBelowTheRootParentsFirstButNoLinks)
{
    EXPECT_EQ(visit("").paths, "a/ a/y/ a/z/ b/ b/x/ b/x/deep/ c/");
    EXPECT_EQ(visit("", "", false).paths, "a/ a/y/ a/z/ b/ b/x/ b/x/deep/ c/")
        << "a root without its slash reports the same paths";
    EXPECT_EQ(visit("/x/").paths, "a/ a/y/ a/z/ b/ b/x/ c/") << "skipped subtree";
    // "b" is moved away as it is reported, so reading it fails (chmod would not do: the tests
    // may run as root).
    EXPECT_EQ(visit("", "b/").paths, "a/ a/y/ a/z/ b/ c/ c/moved/ c/moved/x/ c/moved/x/deep/");

    // A missing or empty root is an error.
    Visits v{testenv::makeDir("gone").toStdString(), "", "", ""};
    EXPECT_EQ(qzOSRecurseDirectory(&v, v.root + "/nothing", record, 0x9001), -1);
    EXPECT_EQ(qzOSRecurseDirectory(&v, "", record, 0x9001), -1);
    EXPECT_EQ(v.paths, "");
}
