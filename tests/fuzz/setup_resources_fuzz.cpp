// Fuzzes the builder's readers of a program's resources over arbitrary bytes: the icon file, the
// resource tree, the version resource and the PE headers. None reads past the bytes it is given
// (AddressSanitizer watches), and a resource tree that reads back is written and read again into
// the same resources.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "icon_file.h"
#include "pe_image.h"
#include "resource_section.h"
#include "version_info.h"

namespace {

bool sameKeys(const std::vector<Resource>& a, const std::vector<Resource>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!(a[i].type == b[i].type) || !(a[i].name == b[i].name) || a[i].language != b[i].language ||
            a[i].data != b[i].data)
            return false;
    return true;
}

bool before(const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return a.type < b.type;
    if (!(a.name == b.name)) return a.name < b.name;
    return a.language < b.language;
}

bool hasDuplicates(const std::vector<Resource>& list) {
    for (size_t i = 0; i < list.size(); ++i)
        for (size_t j = i + 1; j < list.size(); ++j)
            if (list[i].type == list[j].type && list[i].name == list[j].name && list[i].language == list[j].language)
                return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy: AddressSanitizer reports any read past it.
    Bytes bytes(data, data + size);
    std::string err;
    std::vector<IconImage> images;
    if (readIconFile(bytes, &images, &err)) {
        std::vector<IconGroupEntry> entries;
        if (!readIconGroup(iconGroupResource(images, 1), &entries) || entries.size() != images.size()) __builtin_trap();
    }
    VersionReadBack version;
    readVersionResource(bytes, &version);
    std::vector<Resource> resources;
    if (readResourceSection(bytes, 0x1000, 0, &resources, &err) && !hasDuplicates(resources)) {
        Bytes written = writeResourceSection(resources, 0x1000);
        std::vector<Resource> again;
        if (!readResourceSection(written, 0x1000, 0, &again, &err)) __builtin_trap();
        // The same resources, now in the directory's order.
        std::sort(resources.begin(), resources.end(), before);
        if (!sameKeys(again, resources)) __builtin_trap();
        if (writeResourceSection(again, 0x1000) != written) __builtin_trap();
    }
    PeImage image;
    if (readPeImage(bytes, &image, &err) && hasDirectory(image, directoryResources)) {
        uint32_t rva = directoryRva(image, directoryResources);
        for (const PeSection& s : image.sections)
            if (rva >= s.virtualAddress && rva - s.virtualAddress < s.data.size())
                readResourceSection(s.data, s.virtualAddress, rva - s.virtualAddress, &resources, &err);
    }
    return 0;
}
