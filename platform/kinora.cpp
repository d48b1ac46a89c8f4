// Media-file recognition and listing by extension, name and folder structure.
#include "platform/kinora.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <map>

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

// Names of a directory's files (not subdirectories, not hidden), sorted; false when unreadable.
bool listFileNames(const std::string& dir, QStringList* names)
{
    QDir d(QString::fromStdString(dir));
    if (!d.exists() || !d.isReadable())
        return false;
    *names = d.entryList(QDir::Files | QDir::System, QDir::Name);
    return true;
}

QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

// The child of `dir` named `relative` ("A/B"), matching each component ignoring case; `top`
// holds the entries of `dir` itself, read once per classification. Returns the real path, or
// an empty string when some component is missing.
QString findIgnoringCase(const QString& dir, const QStringList& top, const QString& relative)
{
    QString current = dir;
    const QStringList parts = relative.split('/');
    for (int i = 0; i < parts.size(); ++i) {
        const QStringList entries = i == 0 ? top : entriesOf(current);
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const QString& e) {
            return e.compare(parts[i], Qt::CaseInsensitive) == 0;
        });
        if (it == entries.end())
            return QString();
        current += "/" + *it;
    }
    return current;
}

bool structureFound(const Structure& s, const QString& dir, const QStringList& top)
{
    if (*s.dirSuffix && !QDir(dir).dirName().endsWith(s.dirSuffix, Qt::CaseInsensitive))
        return false;
    for (const char* marker : s.markers)
        if (findIgnoringCase(dir, top, marker).isEmpty())
            return false;
    return true;
}

void listStructure(const Structure& s, const QString& dir, const QStringList& top,
                   KnListing* listing)
{
    const QString media = *s.mediaDir ? findIgnoringCase(dir, top, s.mediaDir) : dir;
    if (media.isEmpty())
        return;
    QStringList found;
    QDirIterator it(media, QDir::Files | QDir::System, QDirIterator::Subdirectories);
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
void listPlain(const std::string& dir, const QStringList& names, KnListing* listing)
{
    std::map<std::string, std::pair<size_t, long long>> sequences; // key: slot, lowest number
    for (const QString& qname : names) {
        const std::string name = qname.toStdString();
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

} // namespace

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

uint32_t dqzCheckDir(const std::string& path)
{
    const QString dir = QString::fromStdString(path);
    const QFileInfo info(dir);
    if (!info.isDir() || !info.isReadable())
        return 0;
    const QStringList top = entriesOf(dir);
    uint32_t bits = KN_DIR_PLAIN;
    for (const Structure& s : structures)
        if (structureFound(s, dir, top))
            bits |= s.bit;
    return bits;
}

std::unique_ptr<KnListing> dqzOpenDir(const std::string& path, uint32_t checkFlags)
{
    QStringList names;
    if (!listFileNames(path, &names))
        return nullptr;
    auto listing = std::make_unique<KnListing>();
    if (!(checkFlags & KN_DIR_STRUCTURES)) {
        listPlain(path, names, listing.get());
        return listing;
    }
    const QString dir = QString::fromStdString(path);
    const QStringList top = entriesOf(dir);
    for (const Structure& s : structures)
        if ((checkFlags & s.bit) && structureFound(s, dir, top))
            listStructure(s, dir, top, listing.get());
    return listing;
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

bool dqzGetFileInfo(const KnListing& listing, int index, KnFileInfo* info)
{
    const std::string path = dqzGetFilePath(listing, index);
    if (path.empty())
        return false;
    const QFileInfo fi(QString::fromStdString(path));
    // isFile() is false for FIFOs and devices, whose open could block or never end.
    if (!fi.isFile())
        return false;
    QFile file(fi.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 wanted = std::min<qint64>(fi.size(), 4096);
    if (file.read(wanted).size() != wanted)
        return false;
    info->path = path;
    info->ext = extensionOf(fileNameOf(path));
    info->size = static_cast<uint64_t>(fi.size());
    info->modified = fi.lastModified().toSecsSinceEpoch();
    info->typeFlags = knFileTypeFlags(info->ext);
    return true;
}

int FindFileExtensions(const std::string& path, std::string* extsOut)
{
    extsOut->clear();
    QStringList names;
    if (!listFileNames(directoryOf(path), &names))
        return 0;
    const std::string name = fileNameOf(path);
    const std::string stem = name.substr(0, name.size() - extensionOf(name).size());
    int count = 0;
    for (const QString& qname : names) {
        const std::string other = qname.toStdString();
        const std::string ext = extensionOf(other);
        if (ext.empty() || other.size() - ext.size() != stem.size() ||
            other.compare(0, stem.size(), stem) != 0)
            continue;
        *extsOut += ext;
        ++count;
    }
    return count;
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

int FindFistFilesNumber(std::string* first, const std::string& path)
{
    *first = path;
    std::string prefix, ext;
    long long lowest = 0;
    if (!knSplitFrameName(fileNameOf(path), &prefix, &lowest, &ext))
        return 1;
    QStringList names;
    if (!listFileNames(directoryOf(path), &names))
        return 1;
    const std::string dir = directoryOf(path);
    const std::string wantedExt = lowerExt(ext);
    int count = 0;
    for (const QString& qname : names) {
        const std::string name = qname.toStdString();
        std::string p, e;
        long long number = 0;
        if (!knSplitFrameName(name, &p, &number, &e) || p != prefix || lowerExt(e) != wantedExt)
            continue;
        ++count;
        if (number <= lowest) {
            lowest = number;
            *first = joinPath(dir, name);
        }
    }
    return count == 0 ? 1 : count;
}
