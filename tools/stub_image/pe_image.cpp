// pe_image.cpp -- reading and writing PE32 headers and sections.
#include "pe_image.h"

namespace {

constexpr uint32_t sectionHeaderSize = 40;
constexpr uint16_t pe32Magic = 0x10B;

uint32_t le16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void put32(Bytes* b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t optionalAt(const PeImage& image) { return image.ntOffset + 24; }
uint32_t sectionTableAt(const PeImage& image) { return optionalAt(image) + le16(image.headers, image.ntOffset + 20); }

bool fail(std::string* err, const std::string& why) {
    *err = why;
    return false;
}

bool powerOfTwo(uint32_t value) { return value && !(value & (value - 1)); }

}  // namespace

bool readPeImage(const Bytes& file, PeImage* image, std::string* err) {
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return fail(err, "not an MZ file");
    uint32_t nt = le32(file, 0x3C);
    if (nt > file.size() || file.size() - nt < 24 + 96 || le32(file, nt) != 0x00004550)
        return fail(err, "no PE header");
    if (le16(file, nt + 24) != pe32Magic) return fail(err, "not a 32-bit image");
    uint32_t count = le16(file, nt + 6);
    uint32_t table = nt + 24 + le16(file, nt + 20);
    uint32_t headerSize = le32(file, nt + 24 + optSizeOfHeaders);
    if (headerSize > file.size() || table + count * sectionHeaderSize > headerSize)
        return fail(err, "section table outside the headers");
    image->ntOffset = nt;
    image->headers.assign(file.begin(), file.begin() + headerSize);
    image->sectionAlignment = le32(file, nt + 24 + 32);
    image->fileAlignment = le32(file, nt + 24 + 36);
    if (!powerOfTwo(image->sectionAlignment) || !powerOfTwo(image->fileAlignment))
        return fail(err, "alignments are not powers of two");
    image->sections.clear();
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t at = table + i * sectionHeaderSize;
        PeSection section;
        const char* name = reinterpret_cast<const char*>(&file[at]);
        size_t length = 0;
        while (length < 8 && name[length]) ++length;
        section.name.assign(name, length);
        section.virtualSize = le32(file, at + 8);
        section.virtualAddress = le32(file, at + 12);
        uint32_t rawSize = le32(file, at + 16), rawOffset = le32(file, at + 20);
        section.characteristics = le32(file, at + 36);
        if (rawSize && (rawOffset > file.size() || file.size() - rawOffset < rawSize))
            return fail(err, "section " + section.name + " runs past the end of the file");
        if (!image->sections.empty() && section.virtualAddress < image->sections.back().virtualAddress)
            return fail(err, "sections are not in ascending order");
        section.data.assign(file.begin() + rawOffset, file.begin() + rawOffset + rawSize);
        image->sections.push_back(std::move(section));
    }
    return true;
}

const PeSection* findSection(const PeImage& image, const std::string& name) {
    for (const PeSection& section : image.sections)
        if (section.name == name) return &section;
    return nullptr;
}

uint32_t optionalU32(const PeImage& image, uint32_t at) { return le32(image.headers, optionalAt(image) + at); }
bool hasDirectory(const PeImage& image, uint32_t slot) {
    uint32_t end = optionalAt(image) + 96 + 8 * (slot + 1);
    return end <= image.headers.size() && 96 + 8 * (slot + 1) <= le16(image.headers, image.ntOffset + 20) &&
           le32(image.headers, optionalAt(image) + 92) > slot;
}
uint32_t directoryRva(const PeImage& image, uint32_t slot) { return optionalU32(image, 96 + 8 * slot); }
uint32_t directorySize(const PeImage& image, uint32_t slot) { return optionalU32(image, 96 + 8 * slot + 4); }

void setOptionalU32(PeImage* image, uint32_t at, uint32_t value) { put32(&image->headers, optionalAt(*image) + at, value); }

void setDirectory(PeImage* image, uint32_t slot, uint32_t rva, uint32_t size) {
    setOptionalU32(image, 96 + 8 * slot, rva);
    setOptionalU32(image, 96 + 8 * slot + 4, size);
}

Bytes writePeImage(PeImage image) {
    uint32_t codeSize = 0, dataSize = 0, reservedSize = 0, imageEnd = 0;
    Bytes file = image.headers;
    uint32_t headerSize = alignUp(static_cast<uint32_t>(file.size()), image.fileAlignment);
    file.resize(headerSize, 0);
    for (size_t i = 0; i < image.sections.size(); ++i) {
        PeSection& section = image.sections[i];
        uint32_t rawSize = alignUp(static_cast<uint32_t>(section.data.size()), image.fileAlignment);
        uint32_t rawOffset = rawSize ? static_cast<uint32_t>(file.size()) : 0;
        file.insert(file.end(), section.data.begin(), section.data.end());
        file.resize(rawOffset + rawSize > file.size() ? rawOffset + rawSize : file.size(), 0);
        if (section.characteristics & sectionCode) codeSize += rawSize;
        if (section.characteristics & sectionInitializedData) dataSize += rawSize;
        if (section.characteristics & sectionUninitializedData)
            reservedSize += alignUp(section.virtualSize, image.fileAlignment);
        imageEnd = alignUp(section.virtualAddress + section.virtualSize, image.sectionAlignment);

        uint32_t at = sectionTableAt(image) + static_cast<uint32_t>(i) * sectionHeaderSize;
        for (size_t c = 0; c < 8; ++c) file[at + c] = c < section.name.size() ? section.name[c] : 0;
        put32(&file, at + 8, section.virtualSize);
        put32(&file, at + 12, section.virtualAddress);
        put32(&file, at + 16, rawSize);
        put32(&file, at + 20, rawOffset);
        put32(&file, at + 36, section.characteristics);
    }
    uint32_t optional = optionalAt(image);
    put32(&file, optional + optSizeOfCode, codeSize);
    put32(&file, optional + optSizeOfInitializedData, dataSize);
    put32(&file, optional + optSizeOfUninitializedData, reservedSize);
    put32(&file, optional + optSizeOfImage, imageEnd);
    put32(&file, optional + optSizeOfHeaders, headerSize);
    return file;
}
