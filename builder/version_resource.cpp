// version_resource.cpp -- PE headers -> resource directory -> VS_VERSIONINFO -> VS_FIXEDFILEINFO.
#include "version_resource.h"

#include <cstdio>
#include <vector>

#include "byte_buffer.h"
#include "host_files.h"

namespace {

constexpr uint32_t rtVersion = 16;
constexpr uint32_t fixedInfoSignature = 0xFEEF04BDu;
constexpr uint32_t resourceDirectoryIndex = 2;
constexpr size_t maxVersionResource = 1 << 16;

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

struct Image {
    const RangeReader& read;
    uint64_t size;
    std::vector<Section> sections;

    bool bytes(uint64_t offset, size_t count, uint8_t* out) const {
        if (offset > size || size - offset < count) return false;
        return read(offset, count, out);
    }
    bool u16(uint64_t offset, uint16_t* value) const {
        uint8_t b[2];
        if (!bytes(offset, 2, b)) return false;
        *value = static_cast<uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool u32(uint64_t offset, uint32_t* value) const {
        uint8_t b[4];
        if (!bytes(offset, 4, b)) return false;
        *value = loadU32(b);
        return true;
    }
    // File offset of an RVA inside a section's raw data; false when it lies in no section.
    bool rvaToOffset(uint32_t rva, uint64_t* offset) const {
        for (const Section& s : sections) {
            uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
                uint32_t delta = rva - s.virtualAddress;
                if (delta >= s.rawSize) return false;
                *offset = static_cast<uint64_t>(s.rawOffset) + delta;
                return true;
            }
        }
        return false;
    }
};

// Reads the headers: the section table and the resource directory's RVA.
bool readHeaders(Image* image, uint32_t* resourceRva) {
    uint16_t magic;
    uint32_t peAt, signature;
    if (!image->u16(0, &magic) || magic != 0x5A4D) return false;  // "MZ"
    if (!image->u32(0x3C, &peAt) || !image->u32(peAt, &signature) || signature != 0x00004550) return false;
    uint16_t sectionCount, optionalSize, optionalMagic;
    uint64_t coff = static_cast<uint64_t>(peAt) + 4;
    if (!image->u16(coff + 2, &sectionCount) || !image->u16(coff + 16, &optionalSize)) return false;
    uint64_t optional = coff + 20;
    if (!image->u16(optional, &optionalMagic)) return false;
    uint32_t countAt = optionalMagic == 0x20B ? 108 : optionalMagic == 0x10B ? 92 : 0;
    uint32_t directoryCount;
    if (!countAt || !image->u32(optional + countAt, &directoryCount)) return false;
    if (directoryCount <= resourceDirectoryIndex) return false;
    if (countAt + 4 + 8 * (resourceDirectoryIndex + 1) > optionalSize) return false;
    if (!image->u32(optional + countAt + 4 + 8 * resourceDirectoryIndex, resourceRva) || !*resourceRva) return false;
    uint64_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        uint8_t raw[40];
        if (!image->bytes(table + 40ull * i, sizeof(raw), raw)) return false;
        image->sections.push_back({loadU32(raw + 12), loadU32(raw + 8), loadU32(raw + 16), loadU32(raw + 20)});
    }
    return true;
}

// Offset (within the resource section) of the entry's target: the id-matched entry when wantId
// is given, else the first entry. Sets *isDirectory from the entry's high bit.
bool pickEntry(const Image& image, uint64_t base, uint32_t directory, bool matchId, uint32_t wantId,
               uint32_t* target, bool* isDirectory) {
    uint16_t named, ids;
    if (!image.u16(base + directory + 12, &named) || !image.u16(base + directory + 14, &ids)) return false;
    uint32_t count = static_cast<uint32_t>(named) + ids;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t name, offset;
        uint64_t entry = base + directory + 16 + 8ull * i;
        if (!image.u32(entry, &name) || !image.u32(entry + 4, &offset)) return false;
        if (matchId && ((name & 0x80000000u) || name != wantId)) continue;
        *isDirectory = (offset & 0x80000000u) != 0;
        *target = offset & 0x7FFFFFFFu;
        return true;
    }
    return false;
}

// Finds the first RT_VERSION data entry and reads its bytes (at most 64 KiB).
bool readVersionData(const Image& image, uint32_t resourceRva, std::vector<uint8_t>* data) {
    uint64_t base;
    if (!image.rvaToOffset(resourceRva, &base)) return false;
    uint32_t at = 0;
    bool isDirectory = true;
    // Level 1 by type, then the first name and the first language.
    for (int level = 0; level < 3; ++level) {
        if (!isDirectory) return false;
        if (!pickEntry(image, base, at, level == 0, rtVersion, &at, &isDirectory)) return false;
    }
    if (isDirectory) return false;
    uint32_t dataRva, dataSize;
    if (!image.u32(base + at, &dataRva) || !image.u32(base + at + 4, &dataSize)) return false;
    uint64_t dataAt;
    if (!image.rvaToOffset(dataRva, &dataAt)) return false;
    if (dataSize > maxVersionResource) dataSize = maxVersionResource;
    data->resize(dataSize);
    return dataSize && image.bytes(dataAt, dataSize, data->data());
}

// VS_VERSIONINFO: u16 length, u16 value length, u16 type, UTF-16 key, padding to 4, then the
// VS_FIXEDFILEINFO value: signature, structure version, file version MS and LS.
bool parseFixedInfo(const std::vector<uint8_t>& data, PeVersion* version) {
    ByteSpan span{data.data(), data.size(), 6};
    uint16_t unit = 1;
    while (unit != 0)
        if (!span.u16(&unit)) return false;
    span.at = (span.at + 3) & ~static_cast<size_t>(3);
    uint32_t signature, structVersion;
    if (!span.u32(&signature) || signature != fixedInfoSignature) return false;
    return span.u32(&structVersion) && span.u32(&version->ms) && span.u32(&version->ls);
}

}  // namespace

bool readPeVersion(const RangeReader& read, uint64_t imageSize, PeVersion* version) {
    Image image{read, imageSize, {}};
    uint32_t resourceRva;
    std::vector<uint8_t> data;
    if (!readHeaders(&image, &resourceRva) || !readVersionData(image, resourceRva, &data)) return false;
    return parseFixedInfo(data, version);
}

bool readPeFileVersion(const std::string& path, PeVersion* version) {
    std::FILE* file = openHostFile(path, "rb");
    if (!file) return false;
    bool found = false;
    if (seekHostFile(file, 0, SEEK_END) == 0) {
        int64_t size = tellHostFile(file);
        RangeReader read = [file](uint64_t offset, size_t count, uint8_t* out) {
            return seekHostFile(file, offset, SEEK_SET) == 0 &&
                   std::fread(out, 1, count, file) == count;
        };
        found = size > 0 && readPeVersion(read, static_cast<uint64_t>(size), version);
    }
    std::fclose(file);
    return found;
}
