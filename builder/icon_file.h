// icon_file.h -- a Windows icon file (.ico): its images, read with bounded parsing, and the icon
// group resource that lists them inside a program.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "byte_buffer.h"

struct IconImage {
    uint32_t width = 0, height = 0;  // pixels (256 for the 0 of the file's byte fields)
    uint16_t bitCount = 0;           // bits per pixel, from the image itself where the entry says 0
    uint16_t planes = 1;
    uint8_t colorCount = 0;          // as the file's entry gives it (0 for 8 bits and more)
    bool png = false;                // a PNG-compressed image (Windows Vista on)
    Bytes data;                      // the image's bytes: a DIB (header, colours, XOR and AND masks) or a PNG
};

// Reads an icon file: header (reserved 0, type 1, count >= 1), one 16-byte entry per image, and
// each image's bytes, which must lie inside the file. False with a reason otherwise.
bool readIconFile(const Bytes& file, std::vector<IconImage>* images, std::string* err);

// "32x32, 8 bits, 2,216 bytes": how an image is named in messages.
std::string describeIconImage(const IconImage& image);

// 65536 as "65,536": numbers in the builder's messages.
std::string groupedNumber(uint64_t value);

// The icon group resource (RT_GROUP_ICON) of these images, the first with resource id firstId
// and the others numbered on from it.
Bytes iconGroupResource(const std::vector<IconImage>& images, uint16_t firstId);

// An icon group resource read back: one entry per image with its resource id.
struct IconGroupEntry {
    uint32_t width, height;
    uint16_t planes, bitCount;
    uint32_t bytes;
    uint16_t id;
};
// False when the bytes are not a whole group (header, type 1, every entry present).
bool readIconGroup(const Bytes& group, std::vector<IconGroupEntry>* entries);
