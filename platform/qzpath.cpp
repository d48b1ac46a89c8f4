// Path and file functions: pure text functions for both path styles, and the file tests and
// operations on the local file system.
#include "platform/qzpath.h"

#include "platform/qzlog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// Where the parts of a path begin: [0, dirStart) drive, [dirStart, nameStart) dir,
// [nameStart, extStart) name, [extStart, end) ext.
struct PathParts {
    size_t dirStart = 0;
    size_t nameStart = 0;
    size_t extStart = 0;
};

bool hasDriveLetter(const std::string& path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

bool isWindowsStyle(const std::string& path)
{
    return hasDriveLetter(path) || path.compare(0, 2, "\\\\") == 0;
}

PathParts partsOf(const std::string& path)
{
    PathParts parts;
    parts.dirStart = hasDriveLetter(path) ? 2 : 0;
    const size_t lastSeparator = path.find_last_of(isWindowsStyle(path) ? "\\/" : "/");
    parts.nameStart = lastSeparator == std::string::npos ? parts.dirStart : lastSeparator + 1;
    parts.extStart = path.size();
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < parts.nameStart)
        return parts;
    const size_t firstNonDot = path.find_first_not_of('.', parts.nameStart);
    if (firstNonDot < dot)
        parts.extStart = dot;
    return parts;
}

// The extension text of `path` without its dot; empty when it has none.
std::string extensionWord(const std::string& path)
{
    const PathParts parts = partsOf(path);
    return parts.extStart < path.size() ? path.substr(parts.extStart + 1) : std::string();
}

std::string withoutLeadingDot(const std::string& ext)
{
    return !ext.empty() && ext[0] == '.' ? ext.substr(1) : ext;
}

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

// True when `word` equals one of the non-empty entries of `list` separated by `delimiter`.
bool inList(const std::string& word, const std::string& list, char delimiter)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(delimiter, start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start && equalIgnoringCase(word, list.substr(start, end - start)))
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

bool qzOSIsNetworkSource(const std::string& path)
{
    const size_t mark = path.find("://");
    if (mark == std::string::npos || mark < 2 || !std::isalpha(static_cast<unsigned char>(path[0])))
        return false;
    for (size_t i = 1; i < mark; ++i) {
        const unsigned char c = path[i];
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

bool qzOSIsNetworkFile(const std::string& text)
{
    return qzOSIsNetworkSource(text);
}

char qzOSPathSeparator(const std::string& path)
{
    return isWindowsStyle(path) ? '\\' : '/';
}

void qzOSSplitPath(const std::string& path, std::string* drive, std::string* dir, std::string* name,
                   std::string* ext)
{
    const PathParts parts = partsOf(path);
    if (drive)
        *drive = path.substr(0, parts.dirStart);
    if (dir)
        *dir = path.substr(parts.dirStart, parts.nameStart - parts.dirStart);
    if (name)
        *name = path.substr(parts.nameStart, parts.extStart - parts.nameStart);
    if (ext)
        *ext = path.substr(parts.extStart);
}

void ChangeFileExtension(std::string& path, const std::string& ext)
{
    path.resize(partsOf(path).extStart);
    const std::string word = withoutLeadingDot(ext);
    if (!word.empty())
        path += "." + word;
}

int CheckFileExtension(const std::string& path, const std::string& ext)
{
    const std::string word = extensionWord(path);
    return !word.empty() && equalIgnoringCase(word, withoutLeadingDot(ext)) ? 1 : 0;
}

int CheckFileExtensions(const std::string& path, const std::string& extensions)
{
    const std::string word = extensionWord(path);
    return !word.empty() && inList(word, extensions, '.') ? 1 : 0;
}

int CheckFileName(const std::string& name, const std::string& names)
{
    return !name.empty() && inList(name, names, ';') ? 1 : 0;
}

int MakeDirStructure(const std::string& path)
{
    if (qzOSIsNetworkSource(path))
        return 0;
    if (isWindowsStyle(path)) {
        ErrOut("\nMakeDirStructure: no local place for <%s>", path.c_str());
        return -1;
    }
    const std::string dir = path.substr(0, partsOf(path).nameStart);
    if (dir.empty())
        return 0;
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !qzOSFileIsDir(dir)) {
        ErrOut("\nMakeDirStructure: cannot create <%s>: %s", dir.c_str(), error.message().c_str());
        return -1;
    }
    return 0;
}

bool qzOSFileExists(const std::string& path)
{
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool qzOSFileIsDir(const std::string& path)
{
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool qzOSEachEntry(int fd, size_t chunk,
                   const std::function<bool(const char* name, unsigned char type)>& visit)
{
    alignas(dirent64) char entries[32768];
    ssize_t size;
    while ((size = getdents64(fd, entries, std::min(chunk, sizeof entries))) > 0)
        for (ssize_t at = 0; at < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
            at += entry->d_reclen;
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0 &&
                !visit(entry->d_name, entry->d_type))
                return true;
        }
    return size == 0;
}

QzFolderState qzOSFolderState(const std::string& path)
{
    const int folder = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return errno == ENOENT || errno == ENOTDIR || path.empty() ? QzFolderState::Missing
                                                                   : QzFolderState::Unreadable;
    // A few entries at a time: the first besides "." and ".." settles it, however large the
    // folder.
    QzFolderState state = QzFolderState::Empty;
    qzOSEachEntry(folder, 1024, [&](const char*, unsigned char) {
        state = QzFolderState::Filled;
        return false;
    });
    close(folder);
    return state;
}

int qzOSDeleteFile(const std::string& path)
{
    return !path.empty() && unlink(path.c_str()) == 0 ? 0 : -1;
}

int qzOSCopyFile(const std::string& from, const std::string& to)
{
    if (MakeDirStructure(to) != 0)
        return -1;
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error) {
        ErrOut("\nqzOSCopyFile: <%s> to <%s>: %s", from.c_str(), to.c_str(),
               error.message().c_str());
        return -1;
    }
    return 0;
}
