// stored_image.h -- the stored part of the shipped image, shared by the start routine and the
// image writer (tools/stub_image). Little-endian and byte-packed.
//
// The linked program keeps its code in .text and its read-only data in .rdata. The image writer
// empties both sections (they become reserved, writable pages) and appends their bytes, from
// the first byte of .text to the last byte of .rdata (the gap between them included), as one
// raw deflate stream to the end of the start section: a StoredPartHeader, then the stream. The
// start routine checks the inflater's bytes, inflates the stream into place, checks it and makes the pages executable or
// read-only before the program's entry point runs.
#pragma once
#include <stdint.h>

#pragma pack(push, 1)
struct StoredPartHeader {
    uint32_t packedSize;    // bytes of raw deflate data right behind this header
    uint32_t inflatedSize;  // bytes the stream inflates to: .text start up to .rdata end
    uint32_t checksum;      // storedSum of the inflated bytes
    uint32_t startChecksum; // storedSum of the start section's checked bytes, then of .data's (see below)
    uint32_t importChecksum; // importNamesSum of the import table (see below)
};
#pragma pack(pop)
static_assert(sizeof(StoredPartHeader) == 20, "StoredPartHeader is 20 bytes");
// The start section begins with the bytes the start routine checks before it runs any of them:
// the inflater's tables, the memory helpers and the inflater. The start routine itself follows
// and runs unchecked, from the image's entry point on: the checked bytes run from the section's
// start to the entry point. So a damaged inflater cannot crash or hang the program before the
// damage is reported. The same sum goes on over the data section's bytes as the file holds them
// (its size in memory): tables the program reads before it checks the package, which the loader
// maps as they are.

// The checksum of the stored part and of the start section's checked bytes: a 32-bit rotate and
// add over the bytes, so small that the start routine carries its own copy (it must not call the
// inflater's code before that code is checked). Each step is a bijection of the running value,
// so a change of any single byte always changes the sum.
inline uint32_t storedStep(uint32_t sum, uint8_t byte) { return (sum << 5 | sum >> 27) + byte; }

inline uint32_t storedSum(const uint8_t* first, const uint8_t* end, uint32_t sum = 0) {
    for (; first < end; ++first) sum = storedStep(sum, *first);
    return sum;
}

// A little-endian 32-bit value.
inline uint32_t storedRead32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0] | at[1] << 8 | at[2] << 16) | static_cast<uint32_t>(at[3]) << 24;
}

// Adds count bytes at rva (count 0: a text up to and with its zero byte); false outside the image.
inline bool addStoredBytes(const uint8_t* image, uint32_t imageSize, uint32_t rva, uint32_t count, uint32_t* sum) {
    for (uint32_t i = 0;; ++i, ++rva) {
        if (rva >= imageSize) return false;
        *sum = storedStep(*sum, image[rva]);
        if (count ? i + 1 == count : !image[rva]) return true;
    }
}

// The checksum of what the loader reads to bind the imports, in its order: every import
// descriptor (the one that ends the table too), the DLL's name, and every lookup entry with, for an
// import by name, the name (its hint only speeds up the loader's search). The address tables
// themselves the loader overwrites. A changed name is met before the damaged import is called:
// Windows' loader refuses such a program, but Wine binds a missing function to a stub that aborts
// when called. image holds the image as loaded (imageSize bytes); false when an RVA leads out of
// it or a descriptor has no lookup table (the loader would then write into what is summed).
inline bool importNamesSum(const uint8_t* image, uint32_t imageSize, uint32_t directory, uint32_t* result) {
    uint32_t sum = 0;
    for (uint32_t at = directory;; at += 20) {
        if (!addStoredBytes(image, imageSize, at, 20, &sum)) return false;
        uint32_t lookup = storedRead32(image + at), name = storedRead32(image + at + 12);
        // The loader's own end of the table: a descriptor without a name or an address table.
        if (!name || !storedRead32(image + at + 16)) break;
        if (!lookup || !addStoredBytes(image, imageSize, name, 0, &sum)) return false;
        for (uint32_t value = 1; value; lookup += 4) {
            if (!addStoredBytes(image, imageSize, lookup, 4, &sum)) return false;
            value = storedRead32(image + lookup);
            if (value && !(value & 0x80000000u) && !addStoredBytes(image, imageSize, value + 2, 0, &sum)) return false;
        }
    }
    *result = sum;
    return true;
}

// Section names of the image, as the linker script gives them.
#define STORED_CODE_SECTION ".text"
#define STORED_READ_ONLY_SECTION ".rdata"
#define START_SECTION ".start"
#define RESOURCE_SECTION ".rsrc"

// Raw deflate (no zlib framing: the header carries the checksum) with the full window.
constexpr int storedWindowBits = -15;
