// icon_file.cpp -- .ico images in, icon group resources out.
#include "icon_file.h"

namespace {

constexpr size_t iconHeaderSize = 6, iconEntrySize = 16, groupEntrySize = 14;
constexpr size_t dibHeaderSize = 40;
const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t be32(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

bool isPng(const Bytes& data) {
    if (data.size() < sizeof pngSignature) return false;
    for (size_t i = 0; i < sizeof pngSignature; ++i)
        if (data[i] != pngSignature[i]) return false;
    return true;
}

// Size and depth from the image itself: a PNG's IHDR chunk, or the DIB's BITMAPINFOHEADER
// (whose height counts the XOR and the AND mask). False when neither is there.
bool readImageHeader(IconImage* image, std::string* err) {
    const Bytes& d = image->data;
    if (isPng(d)) {
        // Signature, chunk length, "IHDR", width, height, bit depth, colour type.
        if (d.size() < 26 || d[12] != 'I' || d[13] != 'H' || d[14] != 'D' || d[15] != 'R')
            return *err = "a PNG image without its IHDR header", false;
        static const uint8_t channels[7] = {1, 0, 3, 1, 2, 0, 4};
        uint8_t depth = d[24], type = d[25];
        if (type > 6 || !channels[type]) return *err = "a PNG image of an unknown colour type", false;
        image->png = true;
        image->width = be32(d.data() + 16);
        image->height = be32(d.data() + 20);
        image->bitCount = static_cast<uint16_t>(type == 3 ? depth : depth * channels[type]);
        return true;
    }
    if (d.size() < dibHeaderSize || loadU32(d.data()) != dibHeaderSize)
        return *err = "an image that is neither a bitmap nor a PNG", false;
    int32_t width = static_cast<int32_t>(loadU32(d.data() + 4)), height = static_cast<int32_t>(loadU32(d.data() + 8));
    if (width <= 0 || height <= 0 || height % 2) return *err = "a bitmap image with a damaged header", false;
    image->width = static_cast<uint32_t>(width);
    image->height = static_cast<uint32_t>(height) / 2;
    image->planes = le16(d.data() + 12);
    image->bitCount = le16(d.data() + 14);
    return true;
}

}  // namespace

std::string groupedNumber(uint64_t value) {
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

bool readIconFile(const Bytes& file, std::vector<IconImage>* images, std::string* err) {
    images->clear();
    if (file.size() < iconHeaderSize || le16(file.data()) != 0 || le16(file.data() + 2) != 1)
        return *err = "not an icon file (no icon header)", false;
    size_t count = le16(file.data() + 4);
    if (count == 0) return *err = "the icon file holds no image", false;
    if ((file.size() - iconHeaderSize) / iconEntrySize < count)
        return *err = "the icon file's table of images is cut short", false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = file.data() + iconHeaderSize + iconEntrySize * i;
        uint32_t size = loadU32(entry + 8), offset = loadU32(entry + 12);
        std::string which = "image " + std::to_string(i + 1) + ": ";
        if (size == 0 || offset > file.size() || file.size() - offset < size)
            return *err = which + "its bytes lie outside the file", false;
        IconImage image;
        image.colorCount = entry[2];
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        std::string what;
        if (!readImageHeader(&image, &what)) return *err = which + what, false;
        if (image.width > 256 || image.height > 256) return *err = which + "larger than 256x256 pixels", false;
        if (!image.bitCount) image.bitCount = le16(entry + 6);
        if (!image.planes) image.planes = 1;
        images->push_back(std::move(image));
    }
    return true;
}

std::string describeIconImage(const IconImage& image) {
    return std::to_string(image.width) + "x" + std::to_string(image.height) + ", " + std::to_string(image.bitCount) +
           " bits" + (image.png ? " PNG" : "") + ", " + groupedNumber(image.data.size()) + " bytes";
}

Bytes iconGroupResource(const std::vector<IconImage>& images, uint16_t firstId) {
    Bytes group;
    putU16(&group, 0);
    putU16(&group, 1);
    putU16(&group, static_cast<uint16_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        putU8(&group, static_cast<uint8_t>(image.width >= 256 ? 0 : image.width));
        putU8(&group, static_cast<uint8_t>(image.height >= 256 ? 0 : image.height));
        putU8(&group, image.colorCount);
        putU8(&group, 0);
        putU16(&group, image.planes);
        putU16(&group, image.bitCount);
        putU32(&group, static_cast<uint32_t>(image.data.size()));
        putU16(&group, static_cast<uint16_t>(firstId + i));
    }
    return group;
}

bool readIconGroup(const Bytes& group, std::vector<IconGroupEntry>* entries) {
    entries->clear();
    if (group.size() < iconHeaderSize || le16(group.data() + 2) != 1) return false;
    size_t count = le16(group.data() + 4);
    if ((group.size() - iconHeaderSize) / groupEntrySize < count) return false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = group.data() + iconHeaderSize + groupEntrySize * i;
        entries->push_back({e[0] ? e[0] : 256u, e[1] ? e[1] : 256u, le16(e + 4), le16(e + 6), loadU32(e + 8),
                            le16(e + 12)});
    }
    return true;
}
