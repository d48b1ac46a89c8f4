// Directory recursion of the utility library: a depth-first walk that calls back once for
// every directory below a root, on the calling thread.
#pragma once

#include <cstdint>
#include <string>

// Attribute bit of a directory, as passed to the callback.
constexpr uint32_t QZ_ATTRIBUTE_DIRECTORY = 0x10;

// Callback result bit that keeps the walk out of the directory just reported; 0 goes on.
constexpr uint32_t QZ_RECURSE_SKIP_SUBTREE = 0x10000000;

// Called with the caller's context, the directory's full path and its attributes.
using qzRecurseCallback = uint32_t (*)(void* context, const std::string& path, uint32_t attributes);

// Calls `callback` for every directory below `path` (the root itself is not reported; the
// scanner records it on its own), parents before their children and siblings in byte order of
// their names. Each reported path is `path`, a "/" when `path` lacks one, and the relative path
// with a trailing "/", so that a file name can be appended to it directly. Attributes are
// QZ_ATTRIBUTE_DIRECTORY. Symbolic links are never followed, so the walk cannot loop;
// directories that cannot be read are logged and passed over. `flags` carries the callers'
// 0x9001 (directories only, whole tree), which is what this walk always does.
// Returns 0, or -1 when `path` itself cannot be read.
int qzOSRecurseDirectory(void* context, const std::string& path, qzRecurseCallback callback,
                         uint32_t flags);
