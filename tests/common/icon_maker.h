// icon_maker.h -- icon files made by the tests: bitmap images of any size and colour depth and
// PNG images (with an optional text chunk that makes them as large as a test needs).
#pragma once
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace icon_maker {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes* b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put32be(Bytes* b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Image {
    uint32_t width, height, bits;
    bool png;
    Bytes data;
};

// A bitmap icon image: header, colour table (up to 8 bits), colour rows and the AND mask.
inline Image bitmap(uint32_t side, uint32_t bits) {
    Bytes d;
    uint32_t xorRow = (side * bits + 31) / 32 * 4, andRow = (side + 31) / 32 * 4;
    for (uint32_t v : {40u, side, side * 2}) put32(&d, v);
    put16(&d, 1);
    put16(&d, bits);
    for (uint32_t v : {0u, (xorRow + andRow) * side, 0u, 0u, 0u, 0u}) put32(&d, v);
    if (bits <= 8)
        for (uint32_t i = 0; i < (1u << bits); ++i) put32(&d, i * 0x00102030u & 0x00FFFFFFu);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < xorRow; ++x) d.push_back(static_cast<uint8_t>((x * 7 + y * 3) ^ (bits == 32 && x % 4 == 3 ? 0 : 0x55)));
    d.insert(d.end(), static_cast<size_t>(andRow) * side, 0);
    return Image{side, side, bits, false, d};
}

inline void pngChunk(Bytes* png, const char* type, const Bytes& body) {
    put32be(png, static_cast<uint32_t>(body.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png->insert(png->end(), typed.begin(), typed.end());
    put32be(png, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// A valid RGBA PNG image; textBytes > 0 adds a tEXt chunk of that many bytes.
inline Image png(uint32_t side, size_t textBytes = 0) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header, raw, packed;
    put32be(&header, side);
    put32be(&header, side);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits per channel, RGBA
    pngChunk(&png, "IHDR", header);
    for (uint32_t y = 0; y < side; ++y) {
        raw.push_back(0);  // filter: none
        for (uint32_t x = 0; x < side; ++x) raw.insert(raw.end(), {uint8_t(x), uint8_t(y), 0x80, 0xFF});
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    packed.resize(size);
    compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    if (textBytes) {
        Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
        for (size_t i = 0; i < textBytes; ++i) text.push_back(static_cast<uint8_t>('a' + i % 26));
        pngChunk(&png, "tEXt", text);
    }
    pngChunk(&png, "IDAT", packed);
    pngChunk(&png, "IEND", {});
    return Image{side, side, 32, true, png};
}

// The icon file of these images, in this order. zeroBits writes 0 as each entry's bit count
// (as some icon editors do), so that the depth must be read from the image.
inline Bytes iconFile(const std::vector<Image>& images, bool zeroBits = false) {
    Bytes file;
    put16(&file, 0);
    put16(&file, 1);
    put16(&file, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const Image& i : images) {
        file.push_back(static_cast<uint8_t>(i.width >= 256 ? 0 : i.width));
        file.push_back(static_cast<uint8_t>(i.height >= 256 ? 0 : i.height));
        file.push_back(static_cast<uint8_t>(!i.png && i.bits < 8 ? 1u << i.bits : 0));
        file.push_back(0);
        put16(&file, 1);
        put16(&file, zeroBits ? 0 : i.bits);
        put32(&file, static_cast<uint32_t>(i.data.size()));
        put32(&file, offset);
        offset += static_cast<uint32_t>(i.data.size());
    }
    for (const Image& i : images) file.insert(file.end(), i.data.begin(), i.data.end());
    return file;
}

}  // namespace icon_maker
