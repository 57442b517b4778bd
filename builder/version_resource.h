// version_resource.h -- the file version of a PE image, read from its first RT_VERSION resource
// (VS_FIXEDFILEINFO). Parsing is bounded: nothing is read outside the image's bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Reads size bytes at offset into out; false when they are not all there.
using RangeReader = std::function<bool(uint64_t offset, size_t size, uint8_t* out)>;

struct PeVersion {
    uint32_t ms;  // major << 16 | minor
    uint32_t ls;  // build << 16 | revision
};

// True and the version when the image holds a version resource with a valid fixed-info block;
// false for anything else (not a PE file, no resource, damaged tables).
bool readPeVersion(const RangeReader& read, uint64_t imageSize, PeVersion* version);
// The same over a file on disk; false also when the file cannot be opened.
bool readPeFileVersion(const std::string& path, PeVersion* version);
