// The directory walk of a scan and the clip search of one directory: skip rules, directory
// records, multi-file groups, short still sequences and unreadable files.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/kinora.h"
#include "platform/qzlog.h"
#include "platform/qzpath.h"
#include "platform/qzrecurse.h"
#include "platform/qzsync.h"
#include "scanner/clipwatch_p.h"
#include "scanner/elementsettings.h"

#include <QThreadPool>

#include <algorithm>
#include <ctime>
#include <future>
#include <memory>

namespace
{

// qzOSRecurseDirectory's flags: directories only, the whole tree.
constexpr uint32_t kWalkFlags = 0x9001;
constexpr int kDebugLogWalk = 0x10000100;
constexpr int kDebugLogSearch = 0x10000;
constexpr int kDebugLogFiles = 0x20000;
// Clips of a listing looked up and recorded together (the database's statements per stretch).
constexpr size_t kClipsRecordedTogether = 1000;
// Age past which a folder's listing read ahead is read again at its search.
constexpr uint32_t kListedAheadFreshMs = 250;

using FileStamps = std::vector<std::optional<dbCwsFileStamp>>;

// The size and modification time of a listing's file; nothing when it cannot be looked at.
std::optional<dbCwsFileStamp> fileStamp(const KnListing& listing, int index)
{
    uint64_t size = 0;
    int64_t modified = 0;
    if (!dqzGetFileStamp(listing, index, &size, &modified))
        return std::nullopt;
    return dbCwsFileStamp{static_cast<long long>(size), modified};
}

// The stamps of the listing's files `indexes`, taken on a pooled thread while the caller goes
// on; the caller waits for them before `listing` goes.
std::future<FileStamps> stampsAhead(const KnListing& listing, std::vector<int> indexes)
{
    auto stamps = std::make_shared<std::promise<FileStamps>>();
    std::future<FileStamps> taken = stamps->get_future();
    QThreadPool::globalInstance()->start([stamps, &listing, indexes = std::move(indexes)] {
        FileStamps result;
        for (const int index : indexes)
            result.push_back(fileStamp(listing, index));
        stamps->set_value(std::move(result));
    });
    return taken;
}

} // namespace

std::string cwsErrorCopyPath(const std::string& errorDir, const std::string& path)
{
    size_t root = 0;
    const size_t scheme = path.find("://");
    std::string drive;
    qzOSSplitPath(path, &drive, nullptr, nullptr, nullptr);
    if (qzOSIsNetworkSource(path))
        root = scheme + 3;
    else
        root = drive.size();
    while (root < path.size() && (path[root] == '/' || path[root] == '\\'))
        ++root;
    return errorDir + path.substr(root);
}

namespace
{

// Logs a file that cannot be read and copies it to ErrorCopyDirectory when that is set.
void reportUnreadableFile(const CWSSettings& s, const std::string& path)
{
    ErrOut("\nException Occured Error %s %s %d", path.c_str(), "clipwatch", 2601);
    if (!s.ErrorCopyDirectory.empty())
        qzOSCopyFile(path, cwsErrorCopyPath(s.ErrorCopyDirectory, path));
}

} // namespace

void CQZClipwatch::WalkTree(const std::string& root)
{
    // Walked directories wait until the whole walk is done, so a walk cut short by a crash
    // simply walks again: its directories need not be committed one by one.
    const std::shared_ptr<dbCwsHandle> db = Database();
    dbCwsWriteBatch batch(db.get(), "DirectoryVisited");
    std::pair<CQZClipwatch*, dbCwsWriteBatch*> walk{this, &batch};
    qzOSRecurseDirectory(
        &walk, root,
        [](void* context, const std::string& path, uint32_t attributes) {
            const auto* w = static_cast<std::pair<CQZClipwatch*, dbCwsWriteBatch*>*>(context);
            return w->first->DirectoryVisited(*w->second, path, attributes);
        },
        kWalkFlags);
}

uint32_t CQZClipwatch::DirectoryVisited(dbCwsWriteBatch& batch, const std::string& path,
                                        uint32_t attributes)
{
    // A stop or exit ends the walk; the scan takes it up again when it resumes.
    if (!KeepGoing(Work::Scan))
        return QZ_RECURSE_SKIP_SUBTREE;
    const CWSSettings s = Settings();
    if (s.DebugOutFlags & kDebugLogWalk)
        ErrOut("\nrDir=<%s> ", path.c_str());
    if (!s.SkipDir.empty() && IsSkippedDirectory(path))
        return QZ_RECURSE_SKIP_SUBTREE;
    if (!(attributes & QZ_ATTRIBUTE_DIRECTORY))
        return 0;
    CountWork(cwsFindDirectories);
    const std::shared_ptr<dbCwsHandle> db = Database();
    const std::string dir = cwsUniformPath(path);
    const bool isNew =
        recordDirectories && (fullRescan || dbCWSCheckDirectory(db.get(), dir) == -1);
    // The directory's row is added and marked in one commit.
    batch.renewAfter(kLongestBatch);
    bool known = !isNew;
    if (isNew) {
        // A full rescan meets known directories here too: they are searched again.
        if (dbCWSAddDirectory(db.get(), dir, 0) == 0)
            ++counts[CWS_COUNT_DIRECTORIES];
        else
            known = true;
    } else {
        Show(StateLabel, QString("Scanning %1").arg(QString::fromStdString(path)));
        if (cwsSearchPending(dbCWSGetDirectoryState(db.get(), dir)))
            return QZ_RECURSE_SKIP_SUBTREE;
    }
    const uint32_t bits = dqzCheckDir(path);
    // Walked directories wait at "just recorded" until the whole walk is done: a walk cut short
    // by a crash or a stop then descends into them again instead of skipping subtrees it never
    // reached.
    if (known)
        dbCWSUpdateDirectoryCheck(db.get(), dir, QZ_FOUND_FILE);
    // Counts kept as the walk goes: a count query per directory would make the walk quadratic.
    ShowCounts(true, false, false);
    if (isNew)
        Show(StateLabel, QString("Scanning %1").arg(QString::fromStdString(path)));
    return (bits & ~KN_DIR_PLAIN) ? QZ_RECURSE_SKIP_SUBTREE : 0;
}

bool CQZClipwatch::SearchDirectory(const std::string& directory)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    ErrOut("\ncwsFindClips(%s) ", directory.c_str());
    const unsigned lost = dbCWSLostStatements(db.get());
    bool settling = false, marked = false;
    {
        // The folder's clips and its final mark are committed together: a crash before the end
        // leaves the folder to be searched again. The mark "being searched" is written only
        // when a long search commits before its end.
        dbCwsWriteBatch batch(db.get(), "SearchDirectory");
        batch.beforeRenewal([&] { dbCWSUpdateDirectoryCheck(db.get(), directory, 2); });
        Show(StateLabel, QString("Searching Directory %1").arg(QString::fromStdString(directory)));
        settle_.BeginFolder(directory);
        // A search cut short by a stop, by the scan folder going away or by a server that did
        // not take its clips is done again.
        if (CreateClipList(directory, batch) && KeepGoing(Work::Scan) &&
            dbCWSLostStatements(db.get()) == lost) {
            CountWork(cwsFindClips);
            settling = settle_.EndFolder();
            dbCWSUpdateDirectoryCheck(db.get(), directory, settling ? CWS_DIR_SETTLING : 1);
            marked = true;
        }
    }
    if (dbCWSLostStatements(db.get()) != lost)
        WaitForDatabase();
    if (!marked || dbCWSLostStatements(db.get()) != lost) {
        dbCWSUpdateDirectoryCheck(db.get(), directory, 0);
        return false;
    }
    if (!settling)
        ++counts[CWS_COUNT_SEARCHED];
    Show(ClipCountLabel, ClipCountText());
    return true;
}

bool CQZClipwatch::SearchSettledFolder()
{
    const std::string folder = settle_.DueFolder(qzOSGetMs());
    if (folder.empty())
        return false;
    SearchDirectory(folder);
    Sleep(10);
    return true;
}

bool CQZClipwatch::CreateClipList(const std::string& directory, dbCwsWriteBatch& batch)
{
    const CWSSettings s = Settings();
    if (s.DebugOutFlags & kDebugLogSearch)
        ErrOut("\nCreateClipList=<%s> ", directory.c_str());
    const ListedFolder folder = TakeListing(s, directory);
    if (!folder.listing) {
        ErrOut("\nClipwatch failed to open directory %s", directory.c_str());
        return !ScanFolderProblem(s.Dir);
    }
    ListNextFolderAhead(s, directory);
    const std::string sourceDir = cwsUniformPath(directory);
    const std::vector<ListedClip>& clips = folder.clips;
    for (size_t begin = 0; begin < clips.size() && KeepGoing(Work::Scan);
         begin += kClipsRecordedTogether) {
        const auto first = static_cast<std::ptrdiff_t>(begin);
        const auto end = first + static_cast<std::ptrdiff_t>(
                                     std::min(kClipsRecordedTogether, clips.size() - begin));
        const FileStamps& stamps = folder.stamps;
        if (!RecordClips(s, *folder.listing, sourceDir,
                         {clips.begin() + first, clips.begin() + end},
                         stamps.empty() ? FileStamps()
                                        : FileStamps(stamps.begin() + first, stamps.begin() + end)))
            return false;
        batch.renewAfter(kLongestBatch);
    }
    return true;
}

CQZClipwatch::ListedFolder CQZClipwatch::ListFolder(const CWSSettings& s,
                                                    const std::string& directory, bool stamped)
{
    ListedFolder folder;
    folder.listing = dqzOpenCheckedDir(directory);
    if (!folder.listing)
        return folder;
    const int count = dqzGetTotalFiles(*folder.listing);
    for (int i = 0; i < count; ++i)
        if (std::optional<ListedClip> clip = ListedClipOf(s, *folder.listing, i))
            folder.clips.push_back(std::move(*clip));
    if (stamped)
        for (const ListedClip& clip : folder.clips)
            folder.stamps.push_back(fileStamp(*folder.listing, clip.fileIndex));
    return folder;
}

CQZClipwatch::ListedFolder CQZClipwatch::TakeListing(const CWSSettings& s,
                                                     const std::string& directory)
{
    FolderAhead ahead = std::exchange(ahead_, FolderAhead());
    // A listing read long before its search (the search stopped meanwhile, or the folder
    // before took long) would miss what changed since: it is read again.
    if (ahead.listed.valid() && ahead.directory == directory &&
        qzOSGetMs() - ahead.startedAt < kListedAheadFreshMs)
        return ahead.listed.get();
    return ListFolder(s, directory, false);
}

void CQZClipwatch::ListNextFolderAhead(const CWSSettings& s, const std::string& directory)
{
    // Folders claimed one at a time from a shared catalogue may go to another host.
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (state != cwsFindClips || dbCWSSharedCatalogue(db.get()))
        return;
    std::string next = dbCWSPeekNextDirectory(db.get(), directory);
    if (next.empty())
        return;
    auto listed = std::make_shared<std::promise<ListedFolder>>();
    ahead_ = {next, qzOSGetMs(), listed->get_future()};
    QThreadPool::globalInstance()->start([listed, s, next = std::move(next), known = expectKnown_] {
        listed->set_value(ListFolder(s, next, known));
    });
}

std::optional<CQZClipwatch::ListedClip>
CQZClipwatch::ListedClipOf(const CWSSettings& s, const KnListing& listing, int index)
{
    std::string path = dqzGetFilePath(listing, index);
    if (path.empty())
        return std::nullopt;
    if (s.DebugOutFlags & kDebugLogFiles)
        ErrOut("\nClip=<%s> ", path.c_str());
    std::string name, ext;
    qzOSSplitPath(path, nullptr, nullptr, &name, &ext);
    // A listing holds no directories (links to them included).
    if (ext.empty() || path.find(".picon") != std::string::npos ||
        CheckFileExtensions(path, s.scanExtensions) != 1 ||
        (!s.SkipName.empty() && CheckFileName(name + ext, s.SkipName)))
        return std::nullopt;
    std::string groupExtensions;
    FindFileExtensions(listing, path, &groupExtensions);
    ChooseVideoExtension(&path, groupExtensions);
    qzOSSplitPath(path, nullptr, nullptr, &name, &ext);
    if (name + ext == "." || name + ext == "..")
        return std::nullopt;
    ListedClip clip;
    // A file standing for its group's video (a still beside it) is read and stamped as that
    // video, so that both files of the group agree on the clip's stamp.
    const int found = dqzFindListedFile(listing, path);
    clip.fileIndex = found >= 0 ? found : index;
    clip.clipName = name;
    if (knIsStillExtension(ext)) {
        std::string first;
        clip.isShort = FindFistFilesNumber(listing, &first, path) < s.MinimumStillLength;
        if (knFileTypeFlags(ext) & KN_TYPE_FRAME_FILES)
            clip.clipName = dqzGetBaseName(name);
    }
    clip.anchor = cwsUniformPath(path);
    clip.path = std::move(path);
    return clip;
}

bool CQZClipwatch::RecordClips(const CWSSettings& s, const KnListing& listing,
                               const std::string& sourceDir, std::vector<ListedClip> clips,
                               FileStamps stamps)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    const unsigned lost = dbCWSLostStatements(db.get());
    // Paths equal to an earlier one of the same look-up are looked up again once it is in; a
    // server gone away ends the rounds (the caller searches the folder again).
    while (!clips.empty() && dbCWSLostStatements(db.get()) == lost) {
        std::vector<std::string> anchors;
        std::vector<int> indexes;
        for (const ListedClip& clip : clips) {
            anchors.push_back(clip.anchor);
            indexes.push_back(clip.fileIndex);
        }
        // A known clip's file is looked at for a replacement: where the last look-up found
        // mostly known clips (a rescan) and the listing came without them, those looks are
        // taken meanwhile on another thread.
        std::future<FileStamps> ahead;
        if (expectKnown_ && stamps.empty())
            ahead = stampsAhead(listing, std::move(indexes));
        const std::vector<dbCwsFoundClip> found = dbCWSFindClips(db.get(), sourceDir, anchors);
        if (ahead.valid())
            stamps = ahead.get();
        const auto count = [&](dbCwsFoundClip::Kind kind) {
            return std::count_if(found.begin(), found.end(),
                                 [kind](const dbCwsFoundClip& f) { return f.kind == kind; });
        };
        expectKnown_ = count(dbCwsFoundClip::Known) > count(dbCwsFoundClip::New);
        // The label shows the last clip of each look-up: one per clip would only flicker.
        Show(StateLabel, QString("Found clip %1").arg(QString::fromStdString(clips.back().anchor)));
        std::vector<ListedClip> repeats, added;
        std::vector<dbCwsNewClip> rows;
        std::vector<bool> readable;
        for (size_t i = 0; i < clips.size(); ++i) {
            const ListedClip& clip = clips[i];
            if (found[i].kind == dbCwsFoundClip::Repeat)
                repeats.push_back(clip);
            if (found[i].kind == dbCwsFoundClip::Known)
                RenewIfReplaced(s, listing, clip.fileIndex,
                                stamps.empty() ? fileStamp(listing, clip.fileIndex) : stamps[i],
                                found[i].known);
            if (found[i].kind != dbCwsFoundClip::New)
                continue;
            // A new clip's row is inserted in the state its status write would give it: waiting
            // ("Added", "Success"), or QZ_ERROR ("Exception", "Not Opened") for a file that
            // cannot be read. One that cannot be read because the scan folder has gone away, or
            // that is still being written, is not recorded now.
            KnFileInfo info;
            const bool canRead = dqzGetFileInfo(listing, clip.fileIndex, &info);
            if (!canRead && ScanFolderProblem(s.Dir))
                return false;
            if (canRead && !settle_.Settled(info, s.SettleSeconds, time(nullptr), qzOSGetMs()))
                continue;
            rows.push_back({clip.clipName, clip.anchor, canRead ? 0 : QZ_ERROR,
                            canRead
                                ? dbCwsFileStamp{static_cast<long long>(info.size), info.modified}
                                : dbCwsFileStamp()});
            added.push_back(clip);
            readable.push_back(canRead);
        }
        dbCWSInsertClips(db.get(), sourceDir, rows);
        for (size_t i = 0; i < added.size(); ++i) {
            ++counts[CWS_COUNT_FILES];
            if (!readable[i])
                reportUnreadableFile(s, added[i].path);
            for (const dbCwsElement& e : dbCwsElements())
                if (readable[i] && added[i].isShort && e.shortClipText && cwsMakes(s, e))
                    dbCWSSetElementStatus(db.get(), -1, added[i].anchor, e.code, nullptr, nullptr,
                                          9, e.shortClipText);
        }
        Show(ClipCountLabel, ClipCountText());
        clips = std::move(repeats);
        stamps.clear();
    }
    return true;
}

void CQZClipwatch::RenewIfReplaced(const CWSSettings& s, const KnListing& listing, int index,
                                   const std::optional<dbCwsFileStamp>& now,
                                   const dbCwsKnownClip& known)
{
    if (!now)
        return;
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!known.stamp.known()) {
        dbCWSStampClip(db.get(), known.id, *now);
        return;
    }
    // A clip whose jobs are running is looked at again by a later search.
    if (*now == known.stamp || known.inProgress)
        return;
    KnFileInfo info;
    if (!dqzGetFileInfo(listing, index, &info) ||
        !settle_.Settled(info, s.SettleSeconds, time(nullptr), qzOSGetMs()))
        return;
    ErrOut("\nClip replaced since it was made, made again: %s", info.path.c_str());
    dbCWSRenewClip(db.get(), known.id, {static_cast<long long>(info.size), info.modified});
}
