// Directory recursion: the order and form of reported paths, skipped subtrees, symbolic links
// and unreadable directories.
#include "platform/qzrecurse.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace
{

struct Visits {
    std::string root;
    std::vector<std::string> paths; // relative to root
    std::vector<uint32_t> attributes;
    std::string skipName; // a directory path ending in this is not descended into
};

uint32_t record(void* context, const std::string& path, uint32_t attributes)
{
    auto* visits = static_cast<Visits*>(context);
    visits->paths.push_back(path.substr(visits->root.size()));
    visits->attributes.push_back(attributes);
    const std::string& skip = visits->skipName;
    const bool skipped = !skip.empty() && path.size() >= skip.size() &&
                         path.compare(path.size() - skip.size(), skip.size(), skip) == 0;
    return skipped ? QZ_RECURSE_SKIP_SUBTREE : 0;
}

std::string makeTree()
{
    const std::string root = testenv::makeDir("tree").toStdString() + "/";
    for (const char* dir : {"b/x/deep", "a/y", "a/z", "c"})
        QDir().mkpath(QString::fromStdString(root + dir));
    for (const char* file : {"file.mov", "a/clip.mxf", "a/y/1.jpg"})
        std::ofstream(root + file) << "x";
    return root;
}

} // namespace

TEST(Recurse, ReportsEveryDirectoryBelowTheRootParentsFirst)
{
    Visits visits;
    visits.root = makeTree();
    EXPECT_EQ(qzOSRecurseDirectory(&visits, visits.root, record, 0x9001), 0);
    const std::vector<std::string> expected = {"a/",   "a/y/",      "a/z/", "b/",
                                               "b/x/", "b/x/deep/", "c/"};
    EXPECT_EQ(visits.paths, expected);
    for (uint32_t attributes : visits.attributes)
        EXPECT_EQ(attributes, QZ_ATTRIBUTE_DIRECTORY);

    Visits withoutSlash;
    withoutSlash.root = visits.root;
    EXPECT_EQ(qzOSRecurseDirectory(&withoutSlash, visits.root.substr(0, visits.root.size() - 1),
                                   record, 0x9001),
              0);
    EXPECT_EQ(withoutSlash.paths, expected) << "a root without its slash reports the same paths";
}

TEST(Recurse, SkippedSubtreesAndSymbolicLinksAreLeftOut)
{
    Visits visits;
    visits.root = makeTree();
    ASSERT_EQ(symlink(visits.root.c_str(), (visits.root + "a/loop").c_str()), 0);
    ASSERT_EQ(symlink((visits.root + "b").c_str(), (visits.root + "c/tob").c_str()), 0);
    visits.skipName = "/x/";
    qzOSRecurseDirectory(&visits, visits.root, record, 0x9001);
    const std::vector<std::string> expected = {"a/", "a/y/", "a/z/", "b/", "b/x/", "c/"};
    EXPECT_EQ(visits.paths, expected);
}

TEST(Recurse, DirectoriesThatCannotBeReadArePassedOver)
{
    // The callback moves "b" away as it is reported, so reading it fails (chmod would not do:
    // the tests may run as root).
    Visits visits;
    visits.root = makeTree();
    auto moveAway = [](void* context, const std::string& path, uint32_t attributes) {
        auto* v = static_cast<Visits*>(context);
        if (path == v->root + "b/")
            rename(path.c_str(), (v->root + "c/b-moved").c_str());
        return record(context, path, attributes);
    };
    EXPECT_EQ(qzOSRecurseDirectory(&visits, visits.root, moveAway, 0x9001), 0);
    const std::vector<std::string> expected = {
        "a/", "a/y/", "a/z/", "b/", "c/", "c/b-moved/", "c/b-moved/x/", "c/b-moved/x/deep/"};
    EXPECT_EQ(visits.paths, expected);
}

TEST(Recurse, AMissingOrEmptyRootIsAnError)
{
    Visits visits;
    visits.root = testenv::makeDir("gone").toStdString();
    EXPECT_EQ(qzOSRecurseDirectory(&visits, visits.root + "/nothing", record, 0x9001), -1);
    EXPECT_EQ(qzOSRecurseDirectory(&visits, "", record, 0x9001), -1);
    EXPECT_TRUE(visits.paths.empty());
}
