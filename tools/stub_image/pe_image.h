// pe_image.h -- a 32-bit Windows image (PE32) as plain data: its headers and its sections, read
// from bytes and written back. Only what the image writer needs; every read is bounded.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Section flags (the values of the PE format).
constexpr uint32_t sectionCode = 0x00000020;
constexpr uint32_t sectionInitializedData = 0x00000040;
constexpr uint32_t sectionUninitializedData = 0x00000080;
constexpr uint32_t sectionExecute = 0x20000000;
constexpr uint32_t sectionRead = 0x40000000;
constexpr uint32_t sectionWrite = 0x80000000;

// Data directory slots the writer looks at.
constexpr uint32_t directoryImports = 1;
constexpr uint32_t directoryResources = 2;
constexpr uint32_t directoryRelocations = 5;

struct PeSection {
    std::string name;
    uint32_t virtualAddress = 0;  // RVA
    uint32_t virtualSize = 0;     // bytes in memory
    uint32_t characteristics = 0;
    Bytes data;                   // the bytes stored in the file (empty: reserved, zero-filled pages)
};

struct PeImage {
    Bytes headers;                // the first SizeOfHeaders bytes, section table included
    uint32_t ntOffset = 0;        // of the "PE\0\0" signature
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    std::vector<PeSection> sections;  // in the order of the section table (ascending RVAs)
};

// ---- Reading -----------------------------------------------------------------------------------
// Parses a PE32 image; false with a reason in *err when the bytes are not one.
bool readPeImage(const Bytes& file, PeImage* image, std::string* err);
// The section with this name, or null.
const PeSection* findSection(const PeImage& image, const std::string& name);
// Little-endian values in the headers (offset relative to the optional header).
uint32_t optionalU32(const PeImage& image, uint32_t at);
// Whether the headers hold this data directory slot (the optional header may be shorter).
bool hasDirectory(const PeImage& image, uint32_t slot);
// A data directory's RVA and size (the slot must exist).
uint32_t directoryRva(const PeImage& image, uint32_t slot);
uint32_t directorySize(const PeImage& image, uint32_t slot);

// ---- Changing and writing ----------------------------------------------------------------------
// Sets a 32-bit value of the optional header.
void setOptionalU32(PeImage* image, uint32_t at, uint32_t value);
// Sets a data directory's RVA and size.
void setDirectory(PeImage* image, uint32_t slot, uint32_t rva, uint32_t size);
// The image file: headers, then each section's data padded to the file alignment, with the
// section table, SizeOfImage, SizeOfHeaders and the code/data size fields written to match.
Bytes writePeImage(PeImage image);

// Optional-header offsets used by the writer.
constexpr uint32_t optSizeOfCode = 4;
constexpr uint32_t optSizeOfInitializedData = 8;
constexpr uint32_t optSizeOfUninitializedData = 12;
constexpr uint32_t optEntryPoint = 16;
constexpr uint32_t optImageBase = 28;
constexpr uint32_t optSizeOfImage = 56;
constexpr uint32_t optSizeOfHeaders = 60;
constexpr uint32_t optCheckSum = 64;

// Rounds up to a multiple of a power of two.
inline uint32_t alignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) & ~(alignment - 1); }
