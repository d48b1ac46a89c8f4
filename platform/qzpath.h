// Path and file functions of the utility library. Paths come in three styles: Windows
// (a drive letter and ":" or a UNC "\\server\share" start; both "\" and "/" separate),
// network sources ("scheme://", such as "s3://bucket/..."; "/" separates) and POSIX
// ("/" separates). Texts are 8-bit, UTF-8 where they meet the file system.
#pragma once

#include <functional>
#include <string>

// True for a network source: a "scheme://" path whose scheme has at least two characters,
// so that a drive letter ("C://") is never taken for one.
bool qzOSIsNetworkSource(const std::string& path);

// True for a network target: a URL ("scheme://...", as for qzOSIsNetworkSource).
bool qzOSIsNetworkFile(const std::string& text);

// '\\' for a Windows-style path (drive letter and ':', or two leading backslashes), '/' for
// every other path.
char qzOSPathSeparator(const std::string& path);

// Splits `path` like _splitpath; null outputs are skipped.
// drive: "C:" for a drive-letter path, else empty. dir: everything up to and including the
// last separator ("s3://bucket/dir/", "\\server\share\"). name: the last component without
// its extension. ext: from the last dot of the last component, with the dot; empty when the
// component has no dot or only leading dots (".profile" and ".." have no extension).
// A path ending in a separator has an empty name and extension.
void qzOSSplitPath(const std::string& path, std::string* drive, std::string* dir, std::string* name,
                   std::string* ext);

// Replaces the extension of `path` by `ext` (with or without its dot) or adds it when the
// path has none; an empty `ext` removes the extension.
void ChangeFileExtension(std::string& path, const std::string& ext);

// 1 when the extension of `path` equals `ext` (with or without its dot), ignoring case;
// 0 otherwise, and always 0 for a path without extension.
int CheckFileExtension(const std::string& path, const std::string& ext);

// 1 when the extension of `path` is one of the dot-separated list ".mov.mp4.mxf" (whole
// entries, ignoring case), else 0.
int CheckFileExtensions(const std::string& path, const std::string& extensions);

// 1 when `name` equals one of the ";"-separated `names`, ignoring case (empty entries are
// ignored), else 0.
int CheckFileName(const std::string& name, const std::string& names);

// Creates the missing directories of the directory part of `path` (all of a path that ends in a
// separator). 0 on success or when there is nothing to create (a bare name, a network source,
// whose object stores have no directories); -1 when a directory cannot be made, also for a
// Windows-style path, which this platform has no place for.
int MakeDirStructure(const std::string& path);

// True when something exists at `path` (file or directory; symbolic links are followed).
bool qzOSFileExists(const std::string& path);

// True when `path` is a directory (symbolic links are followed).
bool qzOSFileIsDir(const std::string& path);

// Calls `visit` with the name and kind (a dirent d_type) of each entry of the open directory
// `fd` but "." and "..", reading up to `chunk` bytes of entries (at most 32 KiB) at a time, until
// `visit` gives false. False when the directory could not be read.
bool qzOSEachEntry(int fd, size_t chunk,
                   const std::function<bool(const char* name, unsigned char type)>& visit);

// What a folder holds, as far as its first entries tell.
enum class QzFolderState {
    Missing,    // no such folder (or not a folder)
    Unreadable, // it cannot be listed
    Empty,      // nothing but "." and ".."
    Filled,     // at least one entry
};
QzFolderState qzOSFolderState(const std::string& path);

// Deletes the file; 0 on success, -1 otherwise.
int qzOSDeleteFile(const std::string& path);

// Copies `from` to `to`, replacing an existing file and creating the missing directories of
// `to`; 0 on success, -1 otherwise.
int qzOSCopyFile(const std::string& from, const std::string& to);
