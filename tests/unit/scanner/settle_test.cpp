// The settle rule of files found by the clip search, on a clock the test moves.
#include "platform/kinora.h"
#include "scanner/settle.h"

#include <gtest/gtest.h>

namespace
{

constexpr int kSettle = 10;
constexpr int64_t kNow = 1'000'000;      // wall clock, seconds
constexpr uint32_t kMs = 4'000'000'000u; // monotonic clock near its wrap

KnFileInfo file(const char* path, uint64_t size, int64_t changed, bool writerOpen = false)
{
    return {path, "", size, 0, changed, writerOpen};
}

// One search of folder "/m/" at `seconds` after the start, of `files`; which of them settled.
std::vector<bool> search(SettleWatch& watch, int seconds, const std::vector<KnFileInfo>& files)
{
    watch.BeginFolder("/m/");
    std::vector<bool> settled;
    for (const KnFileInfo& info : files)
        settled.push_back(watch.Settled(info, kSettle, kNow + seconds, kMs + seconds * 1000u));
    watch.EndFolder();
    return settled;
}

} // namespace

TEST(Settle, FilesWaitUntilUnchangedForTheSettleTimeAndGoneFilesAreForgotten)
{
    SettleWatch watch;
    // An old file, one written 4 s ago, one held open by its writer, one whose time is ahead of
    // our clock (a server's clock): only the old one is a clip now.
    const auto at0 =
        search(watch, 0,
               {file("/m/old", 5, kNow - 60), file("/m/copied", 5, kNow - 4),
                file("/m/live", 5, kNow - 60, true), file("/m/ahead", 5, kNow + 3600)});
    EXPECT_EQ(at0, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(watch.Files(), 3);
    EXPECT_EQ(watch.DueFolder(kMs + 5999), "");
    EXPECT_EQ(watch.DueFolder(kMs + 6000), "/m/") << "the copied file may have settled by then";

    // 6 s on: the copy has settled by its time; the recording still grows; the file ahead is
    // unchanged but not yet watched for the settle time.
    const auto at6 = search(watch, 6,
                            {file("/m/copied", 5, kNow - 4), file("/m/live", 9, kNow + 6, true),
                             file("/m/ahead", 5, kNow + 3600)});
    EXPECT_EQ(at6, (std::vector<bool>{true, false, false}));

    // 10 s on: the file ahead has been seen unchanged for the settle time.
    const auto at10 =
        search(watch, 10, {file("/m/live", 12, kNow + 10, true), file("/m/ahead", 5, kNow + 3600)});
    EXPECT_EQ(at10, (std::vector<bool>{false, true}));

    // The writer closed it: settled once unchanged for the settle time, never before.
    EXPECT_EQ(search(watch, 15, {file("/m/live", 20, kNow + 15)}), std::vector<bool>{false});
    EXPECT_EQ(search(watch, 24, {file("/m/live", 20, kNow + 15)}), std::vector<bool>{false});
    EXPECT_EQ(search(watch, 25, {file("/m/live", 20, kNow + 15)}), std::vector<bool>{true});
    EXPECT_EQ(watch.Files(), 0);
    EXPECT_EQ(watch.DueFolder(kMs + 100000), "") << "a folder with nothing waiting is dropped";

    // A file gone before it settled (renamed away by its writer) is no longer counted.
    search(watch, 30, {file("/m/part.tmp", 1, kNow + 30)});
    EXPECT_EQ(watch.Files(), 1);
    search(watch, 32, {});
    EXPECT_EQ(watch.Files(), 0);

    // A settle time of 0 turns the check off.
    watch.BeginFolder("/m/");
    EXPECT_TRUE(watch.Settled(file("/m/new", 1, kNow, true), 0, kNow, kMs));
    watch.EndFolder();
    EXPECT_EQ(watch.Files(), 0);
}
