// Media-file recognition and listing by extension, name and folder structure.
#include "platform/kinora.h"

#include "platform/qzpath.h"

#include <QDir>
#include <QDirIterator>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr uint32_t VIDEO = KN_TYPE_VIDEO;
constexpr uint32_t AUDIO = KN_TYPE_AUDIO;
constexpr uint32_t STILL = KN_TYPE_STILL;
constexpr uint32_t FRAMES = KN_TYPE_STILL | KN_TYPE_FRAME_FILES;

struct MediaType {
    const char* ext;
    uint32_t flags;
};

// What the transcoding service (ffmpeg) reads, in the order knSupportedExtensions gives it.
const MediaType mediaTypes[] = {
    {".mov", VIDEO},  {".mp4", VIDEO},  {".m4v", VIDEO},   {".mxf", VIDEO},  {".mts", VIDEO},
    {".m2ts", VIDEO}, {".m2t", VIDEO},  {".ts", VIDEO},    {".mpg", VIDEO},  {".mpeg", VIDEO},
    {".m2v", VIDEO},  {".mpv", VIDEO},  {".vob", VIDEO},   {".avi", VIDEO},  {".wmv", VIDEO},
    {".asf", VIDEO},  {".flv", VIDEO},  {".f4v", VIDEO},   {".mkv", VIDEO},  {".webm", VIDEO},
    {".ogv", VIDEO},  {".3gp", VIDEO},  {".3g2", VIDEO},   {".dv", VIDEO},   {".dif", VIDEO},
    {".gxf", VIDEO},  {".y4m", VIDEO},  {".h264", VIDEO},  {".264", VIDEO},  {".hevc", VIDEO},
    {".265", VIDEO},  {".nut", VIDEO},  {".rm", VIDEO},    {".rmvb", VIDEO}, {".divx", VIDEO},
    {".wav", AUDIO},  {".bwf", AUDIO},  {".w64", AUDIO},   {".aif", AUDIO},  {".aiff", AUDIO},
    {".aifc", AUDIO}, {".mp3", AUDIO},  {".mp2", AUDIO},   {".mpa", AUDIO},  {".m4a", AUDIO},
    {".aac", AUDIO},  {".ac3", AUDIO},  {".eac3", AUDIO},  {".dts", AUDIO},  {".flac", AUDIO},
    {".ogg", AUDIO},  {".oga", AUDIO},  {".opus", AUDIO},  {".wma", AUDIO},  {".caf", AUDIO},
    {".amr", AUDIO},  {".au", AUDIO},   {".mka", AUDIO},   {".dpx", FRAMES}, {".exr", FRAMES},
    {".cin", FRAMES}, {".tif", FRAMES}, {".tiff", FRAMES}, {".png", FRAMES}, {".tga", FRAMES},
    {".bmp", FRAMES}, {".jpg", FRAMES}, {".jpeg", FRAMES}, {".j2k", FRAMES}, {".jp2", FRAMES},
    {".sgi", FRAMES}, {".gif", STILL},  {".webp", STILL},
};

// A card or package structure: found when the folder's name ends in `dirSuffix` (when given)
// and every marker path exists below it; its media files are those below `mediaDir` whose
// names end in `fileSuffix` (when given).
struct Structure {
    uint32_t bit;
    const char* dirSuffix;
    std::vector<const char*> markers;
    const char* mediaDir;
    const char* fileSuffix;
};

const Structure structures[] = {
    {KN_DIR_P2, "", {"CONTENTS/VIDEO", "CONTENTS/CLIP"}, "CONTENTS/VIDEO", ""},
    {KN_DIR_XDCAM, "", {"MEDIAPRO.XML", "Clip"}, "Clip", ""},
    {KN_DIR_XDCAM, "", {"XDROOT/MEDIAPRO.XML", "XDROOT/Clip"}, "XDROOT/Clip", ""},
    {KN_DIR_AVCHD, "", {"BDMV/STREAM"}, "BDMV/STREAM", ""},
    {KN_DIR_AVCHD, "", {"PRIVATE/AVCHD/BDMV/STREAM"}, "PRIVATE/AVCHD/BDMV/STREAM", ""},
    {KN_DIR_CANON_XF, "", {"CONTENTS/CLIPS001"}, "CONTENTS/CLIPS001", ""},
    {KN_DIR_RED, ".RDC", {}, "", "_001.R3D"},
    {KN_DIR_PACKAGE, "", {"ASSETMAP"}, "", ".MXF"},
    {KN_DIR_PACKAGE, "", {"ASSETMAP.xml"}, "", ".MXF"},
};

std::string lowerExt(const std::string& ext)
{
    std::string out = ext.empty() || ext[0] == '.' ? ext : "." + ext;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Extension of a file name or path with its dot; "" when the last component has none.
std::string extensionOf(const std::string& name)
{
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return name.substr(dot);
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string& dir, const std::string& name)
{
    if (!dir.empty() && dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

// The last component of a directory path, trailing separators ignored.
std::string dirNameOf(const std::string& dir)
{
    const size_t end = dir.find_last_not_of('/');
    if (end == std::string::npos)
        return std::string();
    const size_t slash = dir.rfind('/', end);
    return dir.substr(slash == std::string::npos ? 0 : slash + 1,
                      end - (slash == std::string::npos ? 0 : slash + 1) + 1);
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One name of a directory and whether it is (or links to) a directory.
struct DirEntry {
    std::string name;
    bool isDirectory;
};

// The entries of `dir` but "." and "..", in byte order of their names; false when `dir` is not
// a readable directory. The kind comes from the listing itself; only links and entries of
// unknown kind cost a stat. With `held`, the directory is left open there.
bool readEntries(const std::string& dir, std::vector<DirEntry>* entries, int* held = nullptr)
{
    entries->clear();
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool read = qzOSEachEntry(fd, 32768, [&](const char* name, unsigned char type) {
        bool isDirectory = type == DT_DIR;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat st;
            isDirectory = fstatat(fd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries->push_back({name, isDirectory});
        return true;
    });
    if (!read || !held)
        close(fd);
    if (!read)
        return false;
    if (held)
        *held = fd;
    std::sort(entries->begin(), entries->end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
}

// Names of the files among `entries`: not subdirectories, not hidden.
std::vector<std::string> fileNamesOf(const std::vector<DirEntry>& entries)
{
    std::vector<std::string> names;
    for (const DirEntry& e : entries)
        if (!e.isDirectory && e.name[0] != '.')
            names.push_back(e.name);
    return names;
}

std::vector<std::string> entryNamesOf(const std::vector<DirEntry>& entries)
{
    std::vector<std::string> names;
    for (const DirEntry& e : entries)
        names.push_back(e.name);
    return names;
}

// The sorted file names of the directory `dir` (ending in "/"): those of `listing` when it is a
// listing of that directory, else read into `read`. Null when the directory cannot be read.
const std::vector<std::string>* fileNamesIn(const KnListing& listing, const std::string& dir,
                                            std::vector<std::string>* read)
{
    if (!listing.directory.empty() && listing.directory == dir)
        return &listing.names;
    std::vector<DirEntry> entries;
    if (!readEntries(dir, &entries))
        return nullptr;
    *read = fileNamesOf(entries);
    return read;
}

// The child of `dir` named `relative` ("A/B"), matching each component ignoring case; `top`
// holds the entry names of `dir` itself, read once per classification. Returns the real path,
// or an empty string when some component is missing.
std::string findIgnoringCase(const std::string& dir, const std::vector<std::string>& top,
                             const std::string& relative)
{
    std::string current = dir;
    std::vector<std::string> below;
    size_t start = 0;
    for (bool first = true; start <= relative.size(); first = false) {
        const size_t end = std::min(relative.find('/', start), relative.size());
        const std::string part = relative.substr(start, end - start);
        if (!first) {
            std::vector<DirEntry> entries;
            readEntries(current, &entries);
            below = entryNamesOf(entries);
        }
        const std::vector<std::string>& names = first ? top : below;
        const auto it = std::find_if(names.begin(), names.end(), [&](const std::string& e) {
            return equalIgnoringCase(e, part);
        });
        if (it == names.end())
            return std::string();
        current = joinPath(current, *it);
        start = end + 1;
    }
    return current;
}

bool structureFound(const Structure& s, const std::string& dir, const std::vector<std::string>& top)
{
    if (*s.dirSuffix) {
        const std::string name = dirNameOf(dir);
        const std::string suffix = s.dirSuffix;
        if (name.size() < suffix.size() ||
            !equalIgnoringCase(name.substr(name.size() - suffix.size()), suffix))
            return false;
    }
    for (const char* marker : s.markers)
        if (findIgnoringCase(dir, top, marker).empty())
            return false;
    return true;
}

void listStructure(const Structure& s, const std::string& dir, const std::vector<std::string>& top,
                   KnListing* listing)
{
    const std::string media = *s.mediaDir ? findIgnoringCase(dir, top, s.mediaDir) : dir;
    if (media.empty())
        return;
    QStringList found;
    QDirIterator it(QString::fromStdString(media), QDir::Files | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!*s.fileSuffix || path.endsWith(s.fileSuffix, Qt::CaseInsensitive))
            found << path;
    }
    found.sort();
    for (const QString& path : found)
        listing->files.push_back(path.toStdString());
}

// A plain directory's files in name order, each frame sequence once as its lowest frame.
void listPlain(const std::string& dir, const std::vector<std::string>& names, KnListing* listing)
{
    std::map<std::string, std::pair<size_t, long long>> sequences; // key: slot, lowest number
    for (const std::string& name : names) {
        std::string prefix, ext;
        long long number = 0;
        if (!knSplitFrameName(name, &prefix, &number, &ext)) {
            listing->files.push_back(joinPath(dir, name));
            continue;
        }
        const std::string key = prefix + "\n" + lowerExt(ext);
        const auto it = sequences.find(key);
        if (it == sequences.end()) {
            sequences[key] = {listing->files.size(), number};
            listing->files.push_back(joinPath(dir, name));
        } else if (number < it->second.second) {
            it->second.second = number;
            listing->files[it->second.first] = joinPath(dir, name);
        }
    }
}

// True when some process holds the file of `fd` (opened read-only) open for writing: the kernel
// refuses a read lease then. Files whose lease cannot be asked for (another owner, network file
// systems) give false. A lease held for these few instructions could be broken by a writer
// opening the file, which signals SIGIO: that signal is ignored unless someone handles it.
bool heldForWriting(int fd)
{
    static std::once_flag quietBreaks;
    std::call_once(quietBreaks, [] {
        struct sigaction current = {};
        if (sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            signal(SIGIO, SIG_IGN);
    });
    if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

// The descriptor and name by which `path` of `listing` is opened: relative to the listing's
// directory when it holds one, else the whole path.
std::pair<int, const char*> openableName(const KnListing& listing, const std::string& path)
{
    if (listing.directoryFd >= 0 && path.size() > listing.directory.size() &&
        path.compare(0, listing.directory.size(), listing.directory) == 0)
        return {listing.directoryFd, path.c_str() + listing.directory.size()};
    return {AT_FDCWD, path.c_str()};
}

} // namespace

KnListing::~KnListing()
{
    if (directoryFd >= 0)
        close(directoryFd);
}

std::string knSupportedExtensions()
{
    std::string all;
    for (const MediaType& t : mediaTypes)
        all += t.ext;
    return all;
}

uint32_t knFileTypeFlags(const std::string& ext)
{
    const std::string wanted = lowerExt(ext);
    for (const MediaType& t : mediaTypes)
        if (wanted == t.ext)
            return t.flags;
    return 0;
}

bool knIsStillExtension(const std::string& ext)
{
    return (knFileTypeFlags(ext) & KN_TYPE_STILL) != 0;
}

bool knSplitFrameName(const std::string& name, std::string* prefix, long long* number,
                      std::string* ext)
{
    const std::string e = extensionOf(name);
    if (e.empty() || !knIsStillExtension(e))
        return false;
    const std::string stem = name.substr(0, name.size() - e.size());
    size_t digits = stem.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(stem[digits - 1])))
        --digits;
    // At most 18 digits keep the number inside a long long.
    if (digits == stem.size() || stem.size() - digits > 18)
        return false;
    if (prefix)
        *prefix = stem.substr(0, digits);
    if (number)
        *number = std::stoll(stem.substr(digits));
    if (ext)
        *ext = e;
    return true;
}

std::string dqzGetBaseName(const std::string& name)
{
    size_t end = name.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(name[end - 1])))
        --end;
    if (end == name.size())
        return name;
    while (end > 0 && std::string(" _-.").find(name[end - 1]) != std::string::npos)
        --end;
    return end == 0 ? name : name.substr(0, end);
}

namespace
{

uint32_t classify(const std::string& path, const std::vector<std::string>& top)
{
    uint32_t bits = KN_DIR_PLAIN;
    for (const Structure& s : structures)
        if (structureFound(s, path, top))
            bits |= s.bit;
    return bits;
}

// The listing of `entries`, read from `path`, which `fd` holds open: a plain listing keeps it.
std::unique_ptr<KnListing> listEntries(const std::string& path, uint32_t checkFlags,
                                       const std::vector<DirEntry>& entries, int fd)
{
    auto listing = std::make_unique<KnListing>();
    if (!(checkFlags & KN_DIR_STRUCTURES)) {
        listing->directory = joinPath(path, std::string());
        listing->directoryFd = fd;
        listing->names = fileNamesOf(entries);
        listPlain(path, listing->names, listing.get());
        return listing;
    }
    close(fd);
    const std::vector<std::string> top = entryNamesOf(entries);
    for (const Structure& s : structures)
        if ((checkFlags & s.bit) && structureFound(s, path, top))
            listStructure(s, path, top, listing.get());
    return listing;
}

} // namespace

uint32_t dqzCheckDir(const std::string& path)
{
    std::vector<DirEntry> entries;
    if (!readEntries(path, &entries))
        return 0;
    return classify(path, entryNamesOf(entries));
}

std::unique_ptr<KnListing> dqzOpenDir(const std::string& path, uint32_t checkFlags)
{
    std::vector<DirEntry> entries;
    int fd = -1;
    if (!readEntries(path, &entries, &fd))
        return nullptr;
    return listEntries(path, checkFlags, entries, fd);
}

std::unique_ptr<KnListing> dqzOpenCheckedDir(const std::string& path)
{
    std::vector<DirEntry> entries;
    int fd = -1;
    if (!readEntries(path, &entries, &fd))
        return nullptr;
    return listEntries(path, classify(path, entryNamesOf(entries)), entries, fd);
}

int dqzGetTotalFiles(const KnListing& listing)
{
    return static_cast<int>(listing.files.size());
}

std::string dqzGetFilePath(const KnListing& listing, int index)
{
    if (index < 0 || index >= dqzGetTotalFiles(listing))
        return std::string();
    return listing.files[static_cast<size_t>(index)];
}

int dqzFindListedFile(const KnListing& listing, const std::string& path)
{
    const auto begin = listing.files.begin(), end = listing.files.end();
    // A plain listing is in byte order; the others keep the order of their structure.
    const auto found = listing.directory.empty() ? std::find(begin, end, path)
                                                 : std::lower_bound(begin, end, path);
    return found != end && *found == path ? static_cast<int>(found - begin) : -1;
}

bool dqzGetFileInfo(const KnListing& listing, int index, KnFileInfo* info)
{
    const std::string path = dqzGetFilePath(listing, index);
    if (path.empty())
        return false;
    // Opened without waiting, then checked: a FIFO or device is refused before any read.
    const auto [dirFd, name] = openableName(listing, path);
    const int fd = openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool readable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (readable) {
        char head[4096];
        const size_t wanted = std::min<size_t>(static_cast<size_t>(st.st_size), sizeof head);
        size_t got = 0;
        while (got < wanted) {
            const ssize_t n = read(fd, head + got, wanted - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        readable = got == wanted;
    }
    const bool writerOpen = readable && heldForWriting(fd);
    close(fd);
    if (!readable)
        return false;
    info->path = path;
    info->ext = extensionOf(fileNameOf(path));
    info->size = static_cast<uint64_t>(st.st_size);
    info->modified = static_cast<int64_t>(st.st_mtime);
    info->changed = static_cast<int64_t>(std::max(st.st_mtime, st.st_ctime));
    info->writerOpen = writerOpen;
    info->typeFlags = knFileTypeFlags(info->ext);
    return true;
}

bool dqzGetFileStamp(const KnListing& listing, int index, uint64_t* size, int64_t* modified)
{
    const std::string path = dqzGetFilePath(listing, index);
    if (path.empty())
        return false;
    const auto [dirFd, name] = openableName(listing, path);
    struct stat st;
    if (fstatat(dirFd, name, &st, 0) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = static_cast<uint64_t>(st.st_size);
    *modified = static_cast<int64_t>(st.st_mtime);
    return true;
}

int FindFileExtensions(const KnListing& listing, const std::string& path, std::string* extsOut)
{
    extsOut->clear();
    std::vector<std::string> read;
    const std::vector<std::string>* names = fileNamesIn(listing, directoryOf(path), &read);
    if (!names)
        return 0;
    const std::string name = fileNameOf(path);
    // The group's names are the sorted run that begins with the stem and a dot.
    const std::string stem = name.substr(0, name.size() - extensionOf(name).size()) + ".";
    int count = 0;
    for (auto it = std::lower_bound(names->begin(), names->end(), stem);
         it != names->end() && startsWith(*it, stem); ++it) {
        if (it->find('.', stem.size()) != std::string::npos)
            continue; // a longer stem
        *extsOut += it->substr(stem.size() - 1);
        ++count;
    }
    return count;
}

int FindFileExtensions(const std::string& path, std::string* extsOut)
{
    return FindFileExtensions(KnListing(), path, extsOut);
}

bool ChooseVideoExtension(std::string* path, const std::string& exts)
{
    const std::string own = extensionOf(fileNameOf(*path));
    if (knFileTypeFlags(own) & KN_TYPE_VIDEO)
        return true;
    size_t start = exts.find('.');
    while (start != std::string::npos) {
        const size_t next = exts.find('.', start + 1);
        const std::string ext = exts.substr(start, next - start);
        if (knFileTypeFlags(ext) & KN_TYPE_VIDEO) {
            *path = path->substr(0, path->size() - own.size()) + ext;
            return true;
        }
        start = next;
    }
    return false;
}

int FindFistFilesNumber(const KnListing& listing, std::string* first, const std::string& path)
{
    *first = path;
    std::string prefix, ext;
    long long lowest = 0;
    if (!knSplitFrameName(fileNameOf(path), &prefix, &lowest, &ext))
        return 1;
    const std::string dir = directoryOf(path);
    std::vector<std::string> read;
    const std::vector<std::string>* names = fileNamesIn(listing, dir, &read);
    if (!names)
        return 1;
    const std::string wantedExt = lowerExt(ext);
    int count = 0;
    // The frames are in the sorted run of names that begin with the prefix.
    for (auto it = std::lower_bound(names->begin(), names->end(), prefix);
         it != names->end() && startsWith(*it, prefix); ++it) {
        std::string p, e;
        long long number = 0;
        if (!knSplitFrameName(*it, &p, &number, &e) || p != prefix || lowerExt(e) != wantedExt)
            continue;
        ++count;
        if (number <= lowest) {
            lowest = number;
            *first = joinPath(dir, *it);
        }
    }
    return count == 0 ? 1 : count;
}

int FindFistFilesNumber(std::string* first, const std::string& path)
{
    return FindFistFilesNumber(KnListing(), first, path);
}
