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

#include <QCryptographicHash>
#include <QThreadPool>

#include <algorithm>
#include <ctime>
#include <future>
#include <memory>
#include <utility>

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
// Folders listed ahead of the one searched, each on its own pooled thread; on a MySQL server,
// where the look-up is most of a folder's search, their clips are looked up there as well.
constexpr int kFoldersListedAhead = 2;

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

// What a new clip's row needs of a listing's file; nothing when it cannot be read.
std::optional<KnFileInfo> fileInfo(const KnListing& listing, int index)
{
    KnFileInfo info;
    if (!dqzGetFileInfo(listing, index, &info))
        return std::nullopt;
    return info;
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
        std::string print;
        if (CreateClipList(directory, batch, print) && KeepGoing(Work::Scan) &&
            dbCWSLostStatements(db.get()) == lost) {
            CountWork(cwsFindClips);
            settling = settle_.EndFolder();
            dbCWSUpdateDirectoryCheck(db.get(), directory, settling ? CWS_DIR_SETTLING : 1);
            if (!settling && !print.empty())
                dbCWSSetFolderPrint(db.get(), directory, print);
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

bool CQZClipwatch::CreateClipList(const std::string& directory, dbCwsWriteBatch& batch,
                                  std::string& print)
{
    const CWSSettings s = Settings();
    if (s.DebugOutFlags & kDebugLogSearch)
        ErrOut("\nCreateClipList=<%s> ", directory.c_str());
    const ListedFolder folder = TakeListing(s, directory);
    if (!folder.listing) {
        ErrOut("\nClipwatch failed to open directory %s", directory.c_str());
        return !ScanFolderProblem(s.Dir);
    }
    ListNextFoldersAhead(s, directory);
    // The same clips with the same stamps as at the folder's last whole search: nothing to
    // record or make again. Asked on a rescan only, where clips are mostly known.
    if (!folder.clips.empty() && folder.clips.front().looked == ListedClip::Looked::Stamp &&
        folder.print == dbCWSGetFolderPrint(Database().get(), directory)) {
        expectKnown_ = true;
        return true;
    }
    const std::string sourceDir = cwsUniformPath(directory);
    const std::vector<ListedClip>& clips = folder.clips;
    bool whole = true;
    for (size_t begin = 0; begin < clips.size() && KeepGoing(Work::Scan);
         begin += kClipsRecordedTogether) {
        const auto first = clips.begin() + static_cast<std::ptrdiff_t>(begin);
        const size_t n = std::min(kClipsRecordedTogether, clips.size() - begin);
        const bool lookedUp = folder.found.size() == clips.size() && n == clips.size();
        if (!RecordClips(s, *folder.listing, sourceDir,
                         {first, first + static_cast<std::ptrdiff_t>(n)}, whole,
                         lookedUp ? &folder.found : nullptr))
            return false;
        batch.renewAfter(kLongestBatch);
    }
    if (whole)
        print = folder.print;
    return true;
}

CQZClipwatch::ListedFolder CQZClipwatch::ListFolder(const CWSSettings& s,
                                                    const std::string& directory,
                                                    ListedClip::Looked look)
{
    ListedFolder folder;
    folder.listing = dqzOpenCheckedDir(directory);
    if (!folder.listing)
        return folder;
    const KnListing& listing = *folder.listing;
    const int count = dqzGetTotalFiles(listing);
    for (int i = 0; i < count; ++i)
        if (std::optional<ListedClip> clip = ListedClipOf(s, listing, i))
            folder.clips.push_back(std::move(*clip));
    if (look == ListedClip::Looked::Nothing)
        return folder;
    QCryptographicHash print(QCryptographicHash::Sha1);
    for (ListedClip& clip : folder.clips) {
        clip.looked = look;
        if (look == ListedClip::Looked::Stamp)
            clip.stamp = fileStamp(listing, clip.fileIndex);
        else if ((clip.info = fileInfo(listing, clip.fileIndex)))
            clip.stamp =
                dbCwsFileStamp{static_cast<long long>(clip.info->size), clip.info->modified};
        print.addData(clip.anchor.c_str(), static_cast<int>(clip.anchor.size() + 1));
        const std::string stamp = clip.stamp ? std::to_string(clip.stamp->size) + " " +
                                                   std::to_string(clip.stamp->modified)
                                             : "-";
        print.addData(stamp.c_str(), static_cast<int>(stamp.size() + 1));
    }
    folder.print = print.result().toHex().toStdString();
    return folder;
}

CQZClipwatch::ListedFolder CQZClipwatch::TakeListing(const CWSSettings& s,
                                                     const std::string& directory)
{
    // A listing read long before its search (the search stopped meanwhile, or the folder
    // before took long) would miss what changed since: it is read again.
    const auto ahead = std::find_if(ahead_.begin(), ahead_.end(),
                                    [&](const FolderAhead& a) { return a.directory == directory; });
    if (ahead != ahead_.end()) {
        FolderAhead taken = std::move(*ahead);
        ahead_.erase(ahead);
        if (qzOSGetMs() - taken.startedAt < kListedAheadFreshMs) {
            ListedFolder folder = taken.listed.get();
            if (taken.lookedUpIn.lock() != Database())
                folder.found.clear();
            return folder;
        }
    }
    return ListFolder(s, directory, ListedClip::Looked::Nothing);
}

void CQZClipwatch::ListNextFoldersAhead(const CWSSettings& s, const std::string& directory)
{
    // Folders claimed one at a time from a shared catalogue may go to another host.
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (state != cwsFindClips || dbCWSSharedCatalogue(db.get())) {
        ahead_.clear();
        return;
    }
    const std::vector<std::string> next =
        dbCWSPeekNextDirectories(db.get(), directory, kFoldersListedAhead);
    std::vector<FolderAhead> ahead;
    const auto look = expectKnown_ ? ListedClip::Looked::Stamp : ListedClip::Looked::Info;
    // A first scan's look-up, on the pooled thread's own connection, which does not see the
    // clips this search records until they are committed. None of them can be the folder's own:
    // the peek leaves out folders the server holds equal to the one searched (as it holds
    // equal paths only in equal folders), and every search drops the folders its peek left out.
    // A rescan's folders are mostly known and skipped by their prints.
    const std::shared_ptr<dbCwsHandle> lookUpIn =
        db && db->kind == CWS_DB_MYSQL && look == ListedClip::Looked::Info ? db : nullptr;
    for (const std::string& folder : next) {
        const auto listed = std::find_if(ahead_.begin(), ahead_.end(), [&](const FolderAhead& a) {
            return a.directory == folder;
        });
        if (listed != ahead_.end()) {
            ahead.push_back(std::move(*listed));
            continue;
        }
        auto promise = std::make_shared<std::promise<ListedFolder>>();
        ahead.push_back({folder, qzOSGetMs(), promise->get_future(), lookUpIn});
        QThreadPool::globalInstance()->start([promise, s, folder, look, lookUpIn] {
            ListedFolder listed = ListFolder(s, folder, look);
            if (lookUpIn && listed.clips.size() <= kClipsRecordedTogether) {
                std::vector<std::string> anchors;
                for (const ListedClip& clip : listed.clips)
                    anchors.push_back(clip.anchor);
                listed.found = dbCWSLookUpClips(lookUpIn.get(), anchors);
            }
            promise->set_value(std::move(listed));
        });
    }
    ahead_ = std::move(ahead);
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
                               bool& whole, const std::vector<dbCwsFoundClip>* foundAhead)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    const unsigned lost = dbCWSLostStatements(db.get());
    // Paths equal to an earlier one of the same look-up are looked up again once it is in; a
    // server gone away ends the rounds (the caller searches the folder again).
    while (!clips.empty() && dbCWSLostStatements(db.get()) == lost) {
        std::vector<std::string> anchors;
        for (const ListedClip& clip : clips)
            anchors.push_back(clip.anchor);
        // A known clip's file is looked at for a replacement: where the last look-up found
        // mostly known clips (a rescan) and the listing did not, those looks are taken meanwhile
        // on another thread.
        std::future<FileStamps> ahead;
        if (expectKnown_ && clips.front().looked == ListedClip::Looked::Nothing) {
            std::vector<int> indexes;
            for (const ListedClip& clip : clips)
                indexes.push_back(clip.fileIndex);
            ahead = stampsAhead(listing, std::move(indexes));
        }
        // A look-up made ahead serves the first round, its lines logged now in their place;
        // repeats are looked up once their first is in.
        std::vector<dbCwsFoundClip> found;
        if (foundAhead) {
            dbCWSLogClipLookUp(sourceDir, anchors);
            found = *std::exchange(foundAhead, nullptr);
        } else {
            found = dbCWSFindClips(db.get(), sourceDir, anchors);
        }
        const FileStamps stamps = ahead.valid() ? ahead.get() : FileStamps();
        const auto stampOf = [&](size_t i) {
            if (clips[i].looked != ListedClip::Looked::Nothing)
                return clips[i].stamp;
            return stamps.empty() ? fileStamp(listing, clips[i].fileIndex) : stamps[i];
        };
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
                whole = RenewIfReplaced(s, listing, clip.fileIndex, stampOf(i), found[i].known) &&
                        whole;
            if (found[i].kind != dbCwsFoundClip::New)
                continue;
            // A new clip's row is inserted in the state its status write would give it: waiting
            // ("Added", "Success"), or QZ_ERROR ("Exception", "Not Opened") for a file that
            // cannot be read. One that cannot be read because the scan folder has gone away, or
            // that is still being written, is not recorded now.
            const std::optional<KnFileInfo> info = clip.looked == ListedClip::Looked::Info
                                                       ? clip.info
                                                       : fileInfo(listing, clip.fileIndex);
            const bool canRead = info.has_value();
            if (!canRead && ScanFolderProblem(s.Dir))
                return false;
            if (canRead && !settle_.Settled(*info, s.SettleSeconds, time(nullptr), qzOSGetMs())) {
                whole = false;
                continue;
            }
            rows.push_back({clip.clipName, clip.anchor, canRead ? 0 : QZ_ERROR,
                            canRead
                                ? dbCwsFileStamp{static_cast<long long>(info->size), info->modified}
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
    }
    return true;
}

bool CQZClipwatch::RenewIfReplaced(const CWSSettings& s, const KnListing& listing, int index,
                                   const std::optional<dbCwsFileStamp>& now,
                                   const dbCwsKnownClip& known)
{
    if (!now)
        return true;
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!known.stamp.known()) {
        dbCWSStampClip(db.get(), known.id, *now);
        return true;
    }
    if (*now == known.stamp)
        return true;
    // A clip whose jobs are running is looked at again by a later search.
    KnFileInfo info;
    if (known.inProgress || !dqzGetFileInfo(listing, index, &info) ||
        !settle_.Settled(info, s.SettleSeconds, time(nullptr), qzOSGetMs()))
        return false;
    ErrOut("\nClip replaced since it was made, made again: %s", info.path.c_str());
    dbCWSRenewClip(db.get(), known.id, {static_cast<long long>(info.size), info.modified});
    return true;
}
