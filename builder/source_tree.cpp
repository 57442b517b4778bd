// source_tree.cpp -- walking source folders and reading file metadata (POSIX).
#include "source_tree.h"

#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t attributeReadOnly = 0x01;
constexpr uint32_t attributeNormal = 0x80;
constexpr uint32_t maxDepth = 64;  // deeper trees are most likely a link loop

bool readNames(const std::string& folder, std::vector<std::string>* names, std::string* err) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        *err = folder + ": cannot read the folder (" + std::strerror(errno) + ")";
        return false;
    }
    while (dirent* item = readdir(dir)) {
        std::string name = item->d_name;
        if (name != "." && name != "..") names->push_back(name);
    }
    closedir(dir);
    std::sort(names->begin(), names->end());
    return true;
}

bool listFolder(const std::string& folder, const std::string& relative, uint32_t depth,
                const std::vector<std::string>& exclude, std::vector<SourceEntry>* entries, std::string* err) {
    if (depth >= maxDepth) return *err = folder + ": folders nested too deeply", false;
    std::vector<std::string> names;
    if (!readNames(folder, &names, err)) return false;
    for (const std::string& name : names) {
        SourceEntry entry{name, relative.empty() ? name : relative + "/" + name, folder + "/" + name, depth, false};
        if (matchesAny(entry.relative, exclude)) continue;
        if (!isInstallableName(name))
            return *err = entry.path + ": the name is a device name or holds * or ?, which Windows cannot create",
                   false;
        struct stat info;
        if (stat(entry.path.c_str(), &info) != 0)
            return *err = entry.path + ": cannot read (" + std::strerror(errno) + ")", false;
        if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))
            return *err = entry.path + ": neither a file nor a folder", false;
        entry.isFile = S_ISREG(info.st_mode);
        entries->push_back(entry);
        if (!entry.isFile && !listFolder(entry.path, entry.relative, depth + 1, exclude, entries, err)) return false;
    }
    return true;
}

}  // namespace

bool isInstallableName(const std::string& name) {
    if (name.find_first_of("*?") != std::string::npos) return false;
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return false;
    bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
    return !(numbered && base[3] >= '1' && base[3] <= '9');
}

bool listSourceTree(const std::string& folder, const std::vector<std::string>& exclude,
                    std::vector<SourceEntry>* entries, std::string* err) {
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return listFolder(root, "", 0, exclude, entries, err);
}

uint64_t unixToFileTime(int64_t seconds, uint32_t nanoseconds) {
    const int64_t secondsFrom1601 = 11644473600;
    if (seconds < -secondsFrom1601) return 0;
    return static_cast<uint64_t>(seconds + secondsFrom1601) * 10000000u + nanoseconds / 100;
}

// The last-access time is written equal to the last-write time: reading the file during the
// build moves its access time, and two builds of the same inputs must give the same bytes.
bool readSourceFileInfo(const std::string& path, SourceFileInfo* info, std::string* err) {
    struct statx sx;
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        *err = path + ": cannot read (" + std::strerror(errno) + ")";
        return false;
    }
    info->size = sx.stx_size;
    info->attributes = (sx.stx_mode & S_IWUSR) ? attributeNormal : attributeReadOnly;
    info->lastWriteTime = unixToFileTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    info->lastAccessTime = info->lastWriteTime;
    info->creationTime = (sx.stx_mask & STATX_BTIME) ? unixToFileTime(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                                                     : info->lastWriteTime;
    return true;
}

bool matchesAny(const std::string& relative, const std::vector<std::string>& patterns) {
    for (const std::string& pattern : patterns)
        if (fnmatch(pattern.c_str(), relative.c_str(), 0) == 0) return true;
    return false;
}
