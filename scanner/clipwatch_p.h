// Private to scanner/: the service exchange and small helpers shared by the instance's files.
#pragma once

#include <chrono>
#include <optional>
#include <string>

// The longest time a write batch of the scanning thread holds the database from the instance's
// other threads.
constexpr std::chrono::milliseconds kLongestBatch{50};

// `path` with its separators made uniform (vexoFixSeperators).
std::string cwsUniformPath(const std::string& path);

// True for a directory's Checked value that a walk leaves alone: to be searched (0), being
// searched (2) or failed (4).
inline bool cwsSearchPending(int checked)
{
    return checked == 0 || checked == 2 || checked == 4;
}

// Where the error copy of the unreadable file `path` goes: `errorDir` followed by `path` without
// its root prefix (a drive "C:\\", a leading "/" or "\\", a "scheme://").
std::string cwsErrorCopyPath(const std::string& errorDir, const std::string& path);

// The directory an element's output goes to (with its separator): beside the source when
// `outputDir` is empty, `outputDir` itself for `flags` 2, else the source's directory re-created
// below `outputDir`.
std::string cwsOutputDirectory(const std::string& anchor, const std::string& outputDir, int flags);

// The target of element `code` (picon, XMP, proxy, mezzanine, RTIN, wrap, MD5) of the clip at
// `anchor` before MakeCompFile sets a proxy's or mezzanine's extension.
std::string cwsElementTarget(unsigned code, const std::string& anchor, const std::string& outputDir,
                             int flags);

// The profile word and extension of a proxy mode number; false for an unknown mode.
bool cwsProxyProfile(int mode, std::string* profile, std::string* extension);

// The extension of a mezzanine mode word; false for a word that gives none.
bool cwsMezzanineExtension(const std::string& modeWord, std::string* extension);

// The extension a mezzanine type word asks for; false (extension unchanged) for an unknown word.
bool cwsMezzanineTypeExtension(const std::string& typeWord, std::string* extension);
