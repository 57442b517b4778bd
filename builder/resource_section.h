// resource_section.h -- a program's resource section as a flat list of resources (type, name,
// language, bytes), read from the section's three-level directory tree and written back as one.
// Reading is bounded: every directory, entry, name and data block must lie inside the section.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "byte_buffer.h"

// Resource types the builder writes.
constexpr uint16_t resourceIcon = 3;        // RT_ICON: one image of an icon
constexpr uint16_t resourceGroupIcon = 14;  // RT_GROUP_ICON: the list of an icon's images
constexpr uint16_t resourceVersion = 16;    // RT_VERSION: VS_VERSIONINFO
constexpr uint16_t resourceManifest = 24;   // RT_MANIFEST: the application manifest

// A type or a name: a number, or a text (UTF-16 as stored, kept byte for byte).
struct ResourceKey {
    bool isText = false;
    uint16_t id = 0;
    std::u16string text;
};
bool operator==(const ResourceKey& a, const ResourceKey& b);
// Ordered as the directory stores them: texts (by their characters) before numbers.
bool operator<(const ResourceKey& a, const ResourceKey& b);
inline ResourceKey resourceId(uint16_t id) { return ResourceKey{false, id, {}}; }

struct Resource {
    ResourceKey type, name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    Bytes data;
};

// Reads the section (its bytes as the file stores them, loaded at sectionRva; the directory
// starts at directoryOffset inside it). False with a reason when the tree is damaged.
bool readResourceSection(const Bytes& section, uint32_t sectionRva, uint32_t directoryOffset,
                         std::vector<Resource>* resources, std::string* err);

// The section bytes for these resources when it is loaded at sectionRva: the directory tables,
// the data entries, the names, then each resource's bytes on an 8-byte boundary. The resources
// are sorted first; the same list always gives the same bytes.
Bytes writeResourceSection(std::vector<Resource> resources, uint32_t sectionRva);

// The first resource of this type and name (any language), or null.
const Resource* findResource(const std::vector<Resource>& resources, uint16_t type, uint16_t name);
// The first resource of this type, or null.
const Resource* firstOfType(const std::vector<Resource>& resources, uint16_t type);
