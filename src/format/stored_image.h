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
    uint32_t startChecksum; // storedSum of the start section's checked bytes (see below)
};
#pragma pack(pop)
static_assert(sizeof(StoredPartHeader) == 16, "StoredPartHeader is 16 bytes");
// The start section begins with the bytes the start routine checks before it runs any of them:
// the inflater's tables, the memory helpers and the inflater. The start routine itself follows
// and runs unchecked, from the image's entry point on: the checked bytes run from the section's
// start to the entry point. So a damaged inflater cannot crash or hang the program before the
// damage is reported.

// The checksum of the stored part and of the start section's checked bytes: a 32-bit rotate and
// add over the bytes, so small that the start routine carries its own copy (it must not call the
// inflater's code before that code is checked). Each step is a bijection of the running value,
// so a change of any single byte always changes the sum.
inline uint32_t storedSum(const uint8_t* first, const uint8_t* end) {
    uint32_t sum = 0;
    for (; first < end; ++first) sum = (sum << 5 | sum >> 27) + *first;
    return sum;
}

// Section names of the image, as the linker script gives them.
#define STORED_CODE_SECTION ".text"
#define STORED_READ_ONLY_SECTION ".rdata"
#define START_SECTION ".start"
#define RESOURCE_SECTION ".rsrc"

// Raw deflate (no zlib framing: the header carries the checksum) with the full window.
constexpr int storedWindowBits = -15;
