// shipped_image.h -- turns the linked stub into the image that ships: the program's code and
// read-only data stored deflated in the start section, inflated by the start routine at run time
// (see src/format/stored_image.h for the layout).
#pragma once
#include <string>

#include "pe_image.h"

// What the shipped image is made of, in bytes, for the build report.
struct ShippedReport {
    uint32_t shippedSize = 0;     // the whole image file
    uint32_t headersSize = 0;     // DOS and PE headers with the section table
    uint32_t startSize = 0;       // the start section's own code and tables (routine + inflater)
    uint32_t inflaterSize = 0;    // of which zlib's inflater (from the link map; 0 without one)
    uint32_t codeSize = 0;        // .text as linked
    uint32_t readOnlySize = 0;    // .rdata as linked
    uint32_t storedSize = 0;      // bytes the stored part inflates to (.text start .. .rdata end)
    uint32_t packedSize = 0;      // the stored part's deflate stream
    uint32_t dataSize = 0;        // .data, kept as it is (the inflater's own state lives there)
    uint32_t importsSize = 0;     // .idata
    uint32_t resourcesSize = 0;   // .rsrc
};

// Writes the shipped image of a linked stub. False with a reason in *err when the linked image
// does not have the layout of cmake/stub-layout.ld.
bool writeShippedImage(const Bytes& linked, Bytes* shipped, ShippedReport* report, std::string* err);

// The bytes of the start section that belong to zlib's inflater, read from the linker's map
// of the stub (input sections of the start section from libzlib_inflate.a).
uint32_t inflaterBytesInMap(const std::string& mapText);

// The report as the build prints it: shipped size, each part and the bytes left below the limit.
std::string formatReport(const ShippedReport& report, uint32_t limit);

// Inflates and checks the stored part of a shipped image, returning the bytes it puts in place
// (.text start .. .rdata end). storedAt is the offset of the StoredPartHeader inside the start
// section: the start section's size in the linked image. False with a reason when it fails.
bool readStoredPart(const Bytes& shipped, uint32_t storedAt, Bytes* inflated, std::string* err);
