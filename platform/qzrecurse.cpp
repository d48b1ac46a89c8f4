// Directory recursion on readdir: one path buffer for the whole walk, d_type to tell
// directories (lstat only where the file system does not fill it in), links never followed.
#include "platform/qzrecurse.h"

#include "platform/qzlog.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace
{

struct Walk {
    void* context;
    qzRecurseCallback callback;
    std::string path; // the directory being read, with a trailing "/"
};

bool isDirectory(const dirent* entry, const std::string& path)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names of the subdirectories of walk.path, sorted; false when it cannot be read.
bool readSubdirectories(Walk& walk, std::vector<std::string>& names)
{
    DIR* dir = opendir(walk.path.c_str());
    if (!dir)
        return false;
    const size_t length = walk.path.size();
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        walk.path.append(name);
        if (isDirectory(entry, walk.path))
            names.emplace_back(name);
        walk.path.resize(length);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

// Reports and descends into every subdirectory of walk.path; the directory stays closed
// while its children are walked, so open handles never pile up with the depth. False when
// walk.path cannot be read.
bool walkBelow(Walk& walk)
{
    std::vector<std::string> names;
    if (!readSubdirectories(walk, names)) {
        ErrOut("\nqzOSRecurseDirectory: cannot read <%s>", walk.path.c_str());
        return false;
    }
    const size_t length = walk.path.size();
    for (const std::string& name : names) {
        walk.path.append(name).append(1, '/');
        if (!(walk.callback(walk.context, walk.path, QZ_ATTRIBUTE_DIRECTORY) &
              QZ_RECURSE_SKIP_SUBTREE))
            walkBelow(walk);
        walk.path.resize(length);
    }
    return true;
}

} // namespace

int qzOSRecurseDirectory(void* context, const std::string& path, qzRecurseCallback callback,
                         uint32_t)
{
    if (path.empty() || !callback)
        return -1;
    Walk walk{context, callback, path};
    if (walk.path.back() != '/')
        walk.path += '/';
    return walkBelow(walk) ? 0 : -1;
}
