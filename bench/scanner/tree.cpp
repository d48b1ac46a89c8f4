// The generated scan tree of the scan benchmark.
#include "bench/scanner/tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool writeClip(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, "media", 5) == 5;
    return ::close(fd) == 0 && written;
}

} // namespace

ScanTree makeTree(const QString& root, int files, int folders)
{
    ScanTree tree{root, {}, 0};
    const std::string top = root.toStdString() + "/";
    ::mkdir(top.c_str(), 0755);
    tree.folders.push_back({top, {}});
    const int perFolder = files / folders;
    for (int d = 0; d < folders; ++d) {
        const std::string parent = top + "p" + std::to_string(d / 10) + "/";
        if (d % 10 == 0) {
            ::mkdir(parent.c_str(), 0755);
            tree.folders.push_back({parent, {}});
        }
        TreeFolder folder{parent + "d" + std::to_string(d) + "/", {}};
        ::mkdir(folder.dir.c_str(), 0755);
        for (int f = 0; f < perFolder; ++f) {
            folder.clips.push_back(folder.dir + "clip" + std::to_string(f) + ".mov");
            if (!writeClip(folder.clips.back())) {
                tree.clipCount = 0;
                return tree;
            }
        }
        tree.clipCount += folder.clips.size();
        tree.folders.push_back(std::move(folder));
    }
    return tree;
}
