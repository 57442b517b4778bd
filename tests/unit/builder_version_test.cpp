// The version-resource reader over small hand-made PE images: the version is found through the
// headers, the section table and the three resource-directory levels, and damaged or truncated
// images give no version and never a read outside the image.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "byte_buffer.h"
#include "version_resource.h"

namespace {

constexpr uint32_t resourceRva = 0x1000, resourceAt = 0x200;

void put16At(Bytes* b, size_t at, uint16_t v) { (*b)[at] = static_cast<uint8_t>(v), (*b)[at + 1] = static_cast<uint8_t>(v >> 8); }
void put32At(Bytes* b, size_t at, uint32_t v) { patchU32(b, at, v); }

// A PE32 image with one .rsrc section holding one RT_VERSION resource.
Bytes makeImage(uint32_t ms, uint32_t ls, uint32_t signature = 0xFEEF04BD, uint32_t typeId = 16) {
    Bytes image(resourceAt + 0x100, 0);
    image[0] = 'M', image[1] = 'Z';
    put32At(&image, 0x3C, 0x40);
    std::memcpy(&image[0x40], "PE\0\0", 4);
    put16At(&image, 0x44, 0x14C);  // i386
    put16At(&image, 0x46, 1);      // one section
    put16At(&image, 0x54, 224);    // optional header size
    const size_t optional = 0x58;
    put16At(&image, optional, 0x10B);
    put32At(&image, optional + 92, 16);                // data directories
    put32At(&image, optional + 96 + 2 * 8, resourceRva);
    put32At(&image, optional + 96 + 2 * 8 + 4, 0x100);
    const size_t section = optional + 224;
    std::memcpy(&image[section], ".rsrc", 5);
    put32At(&image, section + 8, 0x100);   // virtual size
    put32At(&image, section + 12, resourceRva);
    put32At(&image, section + 16, 0x100);  // raw size
    put32At(&image, section + 20, resourceAt);
    const size_t r = resourceAt;
    put16At(&image, r + 14, 1), put32At(&image, r + 16, typeId), put32At(&image, r + 20, 0x80000018);
    put16At(&image, r + 0x18 + 14, 1), put32At(&image, r + 0x18 + 16, 1), put32At(&image, r + 0x18 + 20, 0x80000030);
    put16At(&image, r + 0x30 + 14, 1), put32At(&image, r + 0x30 + 16, 0x409), put32At(&image, r + 0x30 + 20, 0x48);
    put32At(&image, r + 0x48, resourceRva + 0x58), put32At(&image, r + 0x48 + 4, 92);
    const size_t info = r + 0x58;  // VS_VERSIONINFO
    put16At(&image, info, 92), put16At(&image, info + 2, 52);
    const char* key = "VS_VERSION_INFO";
    for (size_t i = 0; key[i]; ++i) image[info + 6 + 2 * i] = static_cast<uint8_t>(key[i]);
    put32At(&image, info + 40, signature);
    put32At(&image, info + 44, 0x00010000);
    put32At(&image, info + 48, ms);
    put32At(&image, info + 52, ls);
    return image;
}

bool versionOf(const Bytes& image, PeVersion* v) {
    // An exact-size copy, read through a reader that refuses anything outside it.
    Bytes copy = image;
    RangeReader read = [&copy](uint64_t offset, size_t size, uint8_t* out) {
        EXPECT_LE(offset + size, copy.size());
        if (offset + size > copy.size()) return false;
        std::memcpy(out, copy.data() + offset, size);
        return true;
    };
    return readPeVersion(read, copy.size(), v);
}

TEST(VersionResource, ReadsTheFixedFileVersion) {
    PeVersion v{0, 0};
    ASSERT_TRUE(versionOf(makeImage(0x00020005, 0x00070009), &v));
    EXPECT_EQ(v.ms, 0x00020005u);
    EXPECT_EQ(v.ls, 0x00070009u);
}

TEST(VersionResource, NoVersionWithoutTheSignatureOrTheResourceType) {
    PeVersion v{0, 0};
    EXPECT_FALSE(versionOf(makeImage(1, 2, 0xFEEF04BC), &v));
    EXPECT_FALSE(versionOf(makeImage(1, 2, 0xFEEF04BD, 3), &v));  // only an icon resource
    Bytes notPe = makeImage(1, 2);
    notPe[0x41] = 'X';
    EXPECT_FALSE(versionOf(notPe, &v));
    EXPECT_FALSE(versionOf(Bytes{'M', 'Z'}, &v));
}

TEST(VersionResource, EveryTruncationAndWildOffsetIsRefusedInsideTheImage) {
    Bytes image = makeImage(1, 2);
    PeVersion v;
    for (size_t size = 0; size < image.size() && size < resourceAt + 0x58 + 56; ++size) {
        EXPECT_FALSE(versionOf(Bytes(image.begin(), image.begin() + size), &v)) << size;
    }
    for (size_t at : {size_t{0x3C}, size_t{0x58 + 112}, size_t{0x200 + 20}, size_t{0x200 + 0x48}}) {
        Bytes wild = image;
        put32At(&wild, at, 0x7FFFFFF0);
        EXPECT_FALSE(versionOf(wild, &v)) << at;
    }
}

TEST(VersionResource, ReadsTheVersionOfAFileOnDisk) {
    char path[] = "/tmp/velkorin-version-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    Bytes image = makeImage(0x00030001, 0x00040002);
    ASSERT_EQ(write(fd, image.data(), image.size()), static_cast<ssize_t>(image.size()));
    close(fd);
    PeVersion v{0, 0};
    EXPECT_TRUE(readPeFileVersion(path, &v));
    EXPECT_EQ(v.ms, 0x00030001u);
    EXPECT_EQ(v.ls, 0x00040002u);
    std::remove(path);
    EXPECT_FALSE(readPeFileVersion(path, &v));
}

}  // namespace
