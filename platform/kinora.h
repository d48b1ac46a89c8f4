// Media-file recognition and directory listing (the Kinora media library): which extensions
// are readable media, which are still images, numbered frame sequences, camera-card and
// package folders that are searched as one unit, sorted listings and file information.
// Everything works on names and the file system only; no media file is decoded.
// Extensions are compared ignoring case and may be given with or without the leading dot.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Directory classification bits of dqzCheckDir. Any bit other than KN_DIR_PLAIN marks a folder
// whose structure is one unit: the walk does not descend below it, and dqzOpenDir given the
// same bits lists the media files inside that structure.
constexpr uint32_t KN_DIR_PLAIN = 0x10;        // an ordinary directory
constexpr uint32_t KN_DIR_P2 = 0x100;          // P2 card: CONTENTS/VIDEO and CONTENTS/CLIP
constexpr uint32_t KN_DIR_XDCAM = 0x200;       // XDCAM / XAVC card: Clip with MEDIAPRO.XML
constexpr uint32_t KN_DIR_AVCHD = 0x400;       // AVCHD card: BDMV/STREAM
constexpr uint32_t KN_DIR_CANON_XF = 0x800;    // Canon XF card: CONTENTS/CLIPS001
constexpr uint32_t KN_DIR_RED = 0x1000;        // RED clip folder: *.RDC holding numbered spans
constexpr uint32_t KN_DIR_PACKAGE = 0x2000;    // DCP / IMF package: ASSETMAP beside its MXF files
constexpr uint32_t KN_DIR_STRUCTURES = 0x3F00; // every card and package bit

// File type bits of knFileTypeFlags.
constexpr uint32_t KN_TYPE_VIDEO = 0x1;
constexpr uint32_t KN_TYPE_AUDIO = 0x2;
constexpr uint32_t KN_TYPE_STILL = 0x4;
constexpr uint32_t KN_TYPE_FRAME_FILES = 0x10000; // a type stored as one file per frame

// The readable extensions, each with its leading dot, written one after the other
// (".mov.mp4.mxf..."): video, then audio, then still images.
std::string knSupportedExtensions();

// KN_TYPE_* bits of an extension; 0 for an extension that is not readable media.
uint32_t knFileTypeFlags(const std::string& ext);

// True for still-image extensions (".dpx", "tif", ".JPG" ...).
bool knIsStillExtension(const std::string& ext);

// Splits a file name without directory into a numbered frame: true when `name` is a prefix
// followed by at least one digit and a still extension ("shot_0012.dpx" gives prefix "shot_",
// number 12, extension ".dpx"). Null outputs are skipped.
bool knSplitFrameName(const std::string& name, std::string* prefix, long long* number,
                      std::string* ext);

// The sequence base name of a frame file name given without directory and extension:
// "shot_0012" gives "shot"; trailing digits and then trailing ' ', '_', '-', '.' are removed.
// A name that has no trailing digits, or that would become empty, is returned unchanged.
std::string dqzGetBaseName(const std::string& name);

// Classifies the directory `path`: KN_DIR_PLAIN plus the bits of every card or package
// structure found in it; 0 when `path` is not a readable directory. Marker names are matched
// ignoring case, as cards are written by cameras with case-blind file systems.
uint32_t dqzCheckDir(const std::string& path);

// What is known of one listed file without decoding it.
struct KnFileInfo {
    std::string path;        // full path as listed
    std::string ext;         // extension with its dot, "" when none
    uint64_t size = 0;       // size in bytes
    int64_t modified = 0;    // modification time, seconds since the epoch
    int64_t changed = 0;     // last change of content or metadata: the later of mtime and ctime
    bool writerOpen = false; // some process holds it open for writing (local files only)
    uint32_t typeFlags = 0;  // knFileTypeFlags of the extension
};

// A sorted listing of one directory's files, made by dqzOpenDir. Plain directories list their
// files (regular files, links and special files; not subdirectories, not hidden "." files) in
// byte order of their names; a numbered frame sequence appears once, as its lowest-numbered
// frame. Card and package structures list the media files of the structure instead.
// A plain listing keeps every file name of its directory as well, so that name groups and
// sequences of its files are answered without reading the directory again.
struct KnListing {
    KnListing() = default;
    KnListing(const KnListing&) = delete;
    KnListing& operator=(const KnListing&) = delete;
    ~KnListing();

    std::vector<std::string> files; // full paths
    std::string directory;          // plain listing: the directory, ending in "/"; else empty
    std::vector<std::string> names; // plain listing: every file name of it, in byte order
    // Plain listing: the directory held open, so that its files are opened and looked at by
    // name instead of walking their whole path each time; -1 when not held.
    int directoryFd = -1;
};

// Lists `path` as classified by `checkFlags` (the result of dqzCheckDir). Returns null when the
// directory cannot be read. Paths are joined with "/", the separator of local files here.
std::unique_ptr<KnListing> dqzOpenDir(const std::string& path, uint32_t checkFlags);

// The same as dqzOpenDir(path, dqzCheckDir(path)), reading the directory once.
std::unique_ptr<KnListing> dqzOpenCheckedDir(const std::string& path);

// Number of files of a listing.
int dqzGetTotalFiles(const KnListing& listing);

// The full path of file `index`; "" for an index outside the listing.
std::string dqzGetFilePath(const KnListing& listing, int index);

// The index of the file `path` in `listing`; -1 when it holds none of that path.
int dqzFindListedFile(const KnListing& listing, const std::string& path);

// Fills `info` for file `index`. Fails (false) for an index outside the listing and for a file
// that cannot be opened and read: missing, a dangling link, a directory, a FIFO or other special
// file, or one whose first bytes cannot be read.
bool dqzGetFileInfo(const KnListing& listing, int index, KnFileInfo* info);

// Size and modification time of file `index` from one stat(), without opening it; false when
// it cannot be read.
bool dqzGetFileStamp(const KnListing& listing, int index, uint64_t* size, int64_t* modified);

// Collects into `extsOut` the extensions (each with its dot, in name order) of the files in the
// directory of `path` whose names without extension equal that of `path` ("clip.mov" beside
// "clip.wav" gives ".mov.wav"). Returns how many there are; 0 when the directory cannot be read.
int FindFileExtensions(const std::string& path, std::string* extsOut);
// The same, answered from `listing` when it is a plain listing of the directory of `path`.
int FindFileExtensions(const KnListing& listing, const std::string& path, std::string* extsOut);

// Sets `path` to the member of its name group (extensions `exts`, from FindFileExtensions) that
// carries the video. A path whose own extension is video stays as it is; otherwise the first
// video extension of `exts` replaces its extension. Returns true when `path` names video.
bool ChooseVideoExtension(std::string* path, const std::string& exts);

// The length of the numbered frame sequence that the file `path` belongs to (files of its
// directory with the same prefix and still extension followed by a number), and in `first` the
// path of its lowest-numbered frame. A file that is not a numbered still frame counts as 1 with
// `first` set to `path`.
int FindFistFilesNumber(std::string* first, const std::string& path);
// The same, answered from `listing` when it is a plain listing of the directory of `path`.
int FindFistFilesNumber(const KnListing& listing, std::string* first, const std::string& path);
