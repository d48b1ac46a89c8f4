// The generated scan tree of the scan benchmark: parent folders of ten folders each, every folder
// holding the same number of small clips, and the rows a scan of it records.
#pragma once

#include <QString>

#include <string>
#include <vector>

// One directory the walk records, with the clips its search records (paths as recorded).
struct TreeFolder {
    std::string dir;                // directory row, ending in "/"
    std::vector<std::string> clips; // anchor paths of its clips
};

struct ScanTree {
    QString root;                    // the scan folder
    std::vector<TreeFolder> folders; // every directory, the scan folder first
    size_t clipCount = 0;            // clips over all folders
};

// Writes `files` clips of five bytes in `folders` folders below `root` (made). Returns the tree;
// clipCount is 0 when a file could not be written.
ScanTree makeTree(const QString& root, int files, int folders);
