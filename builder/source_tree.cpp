// source_tree.cpp -- walking source folders and reading file metadata.
#include "source_tree.h"

#include <algorithm>
#include <cctype>

#include "host_files.h"

namespace {

constexpr uint32_t attributeReadOnly = 0x01;
constexpr uint32_t attributeNormal = 0x80;
constexpr uint32_t maxDepth = 64;  // deeper trees are most likely a link loop

// The names of a folder in byte order of their UTF-8 texts: the same order on every system,
// whatever order the file system lists them in.
bool readNames(const std::string& folder, std::vector<std::string>* names, std::string* err) {
    std::string why;
    if (!listFolderNames(folder, names, &why)) return *err = folder + ": cannot read the folder (" + why + ")", false;
    std::sort(names->begin(), names->end());
    return true;
}

// Whether text[t..] matches pattern[p..] as a shell pattern: '*' any run of bytes ('/' too), '?'
// one byte, [abc], [a-z] and [!...] one byte of a set, '\' takes the next byte as it is.
bool matchesFrom(const std::string& pattern, size_t p, const std::string& text, size_t t);

// A bracket set at pattern[p] ('['): whether c is in it, and where the set ends. False when the
// set is not closed, in which case '[' stands for itself.
bool matchSet(const std::string& pattern, size_t p, unsigned char c, bool* inSet, size_t* end) {
    size_t i = p + 1;
    bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated) ++i;
    bool found = false;
    for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
        unsigned char low = static_cast<unsigned char>(pattern[i]), high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = static_cast<unsigned char>(pattern[i + 2]);
            i += 3;
        } else {
            ++i;
        }
        found = found || (c >= low && c <= high);
    }
    if (i >= pattern.size()) return false;
    *inSet = found != negated;
    *end = i + 1;
    return true;
}

bool matchesFrom(const std::string& pattern, size_t p, const std::string& text, size_t t) {
    while (p < pattern.size()) {
        char c = pattern[p];
        if (c == '*') {
            while (p < pattern.size() && pattern[p] == '*') ++p;
            for (size_t from = t; from <= text.size(); ++from)
                if (matchesFrom(pattern, p, text, from)) return true;
            return false;
        }
        if (t >= text.size()) return false;
        bool inSet;
        size_t end;
        if (c == '?') {
            ++p;
        } else if (c == '[' && matchSet(pattern, p, static_cast<unsigned char>(text[t]), &inSet, &end)) {
            if (!inSet) return false;
            p = end;
        } else {
            if (c == '\\' && p + 1 < pattern.size()) c = pattern[++p];
            if (text[t] != c) return false;
            ++p;
        }
        ++t;
    }
    return t == text.size();
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
        HostFileInfo info;
        std::string why;
        if (!readHostFileInfo(entry.path, &info, &why)) return *err = entry.path + ": cannot read (" + why + ")", false;
        if (info.kind != PathKind::folder && info.kind != PathKind::file)
            return *err = entry.path + ": neither a file nor a folder", false;
        entry.isFile = info.kind == PathKind::file;
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

// The times come from the last-write time alone. The last-access time moves when the build reads
// the file, and the creation time is the moment the file came onto the build machine (a checkout,
// a copy), which the same inputs do not share from one machine or one checkout to the next.
bool readSourceFileInfo(const std::string& path, SourceFileInfo* info, std::string* err) {
    HostFileInfo host;
    std::string why;
    if (!readHostFileInfo(path, &host, &why)) return *err = path + ": cannot read (" + why + ")", false;
    info->size = host.size;
    info->attributes = host.readOnly ? attributeReadOnly : attributeNormal;
    info->lastWriteTime = host.lastWriteTime;
    info->lastAccessTime = host.lastWriteTime;
    info->creationTime = host.lastWriteTime;
    return true;
}

bool matchesAny(const std::string& relative, const std::vector<std::string>& patterns) {
    for (const std::string& pattern : patterns)
        if (matchesFrom(pattern, 0, relative, 0)) return true;
    return false;
}
