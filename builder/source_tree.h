// source_tree.h -- the files and folders of a source folder, in the order the file area lists
// them, with the attributes and times the package records for each file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host_files.h"

struct SourceEntry {
    std::string name;       // the entry's own name (no path)
    std::string relative;   // path below the group's source folder, '/'-separated
    std::string path;       // full path on the build machine
    uint32_t depth;         // 0 = directly in the source folder
    bool isFile;
};

struct SourceFileInfo {
    uint64_t size;
    uint32_t attributes;    // 0x80 normal, or 0x01 read-only
    uint64_t creationTime;  // FILETIME ticks (100 ns since 1601)
    uint64_t lastAccessTime;
    uint64_t lastWriteTime;
};

// Whether Windows can create an entry of this name: no device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, also with an extension) and no * or ?.
bool isInstallableName(const std::string& name);
// Every entry below folder, depth first, each folder's entries sorted by name (byte order of the
// UTF-8 names), skipping relative paths matched by a pattern of exclude. False with *err on a read failure.
bool listSourceTree(const std::string& folder, const std::vector<std::string>& exclude,
                    std::vector<SourceEntry>* entries, std::string* err);
// Size, attributes and times of one file: all three times are its last-write time.
bool readSourceFileInfo(const std::string& path, SourceFileInfo* info, std::string* err);
// Whether a relative path matches one of the shell patterns ('*' also crosses '/').
bool matchesAny(const std::string& relative, const std::vector<std::string>& patterns);
