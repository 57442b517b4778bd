// stored_image.h -- the stored part of the shipped image, shared by the start routine and the
// image writer (tools/stub_image). Little-endian and byte-packed.
//
// The linked program keeps its code in .text and its read-only data in .rdata. The image writer
// empties both sections (they become reserved, writable pages) and appends their bytes, from
// the first byte of .text to the last byte of .rdata (the gap between them included), as one
// raw deflate stream to the end of the start section: a StoredPartHeader, then the stream. The
// start routine inflates the stream into place, checks it and makes the pages executable or
// read-only before the program's entry point runs.
#pragma once
#include <stdint.h>

#pragma pack(push, 1)
struct StoredPartHeader {
    uint32_t packedSize;    // bytes of raw deflate data right behind this header
    uint32_t inflatedSize;  // bytes the stream inflates to: .text start up to .rdata end
    uint32_t checksum;      // Adler-32 of the inflated bytes
};
#pragma pack(pop)
static_assert(sizeof(StoredPartHeader) == 12, "StoredPartHeader is 12 bytes");

// Section names of the image, as the linker script gives them.
#define STORED_CODE_SECTION ".text"
#define STORED_READ_ONLY_SECTION ".rdata"
#define START_SECTION ".start"
#define RESOURCE_SECTION ".rsrc"

// Raw deflate (no zlib framing: the header carries the checksum) with the full window.
constexpr int storedWindowBits = -15;
