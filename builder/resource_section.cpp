// resource_section.cpp -- the resource directory tree: walked into a list, laid out from one.
#include "resource_section.h"

#include <algorithm>
#include <map>

namespace {

constexpr size_t directorySize = 16, entrySize = 8, dataEntrySize = 16;
constexpr uint32_t subdirectoryBit = 0x80000000u, textNameBit = 0x80000000u;
constexpr size_t maxResources = 4096;  // bounds the walk (resources and directories): the stub carries a handful

struct Walk {
    const Bytes& section;
    uint32_t rva;
    std::vector<Resource>* out;
    std::string* err;
    mutable size_t directories = 0;

    bool fail(const std::string& what) const { return *err = "the resource tree is damaged: " + what, false; }
    bool has(uint64_t at, uint64_t count) const { return at <= section.size() && section.size() - at >= count; }
    uint16_t u16(size_t at) const { return static_cast<uint16_t>(section[at] | section[at + 1] << 8); }
    uint32_t u32(size_t at) const { return loadU32(section.data() + at); }

    bool key(uint32_t field, ResourceKey* key) const {
        if (!(field & textNameBit)) {
            if (field > 0xFFFF) return fail("an id above 65535");
            *key = resourceId(static_cast<uint16_t>(field));
            return true;
        }
        uint32_t at = field & ~textNameBit;
        if (!has(at, 2) || !has(at + 2, 2ull * u16(at))) return fail("a name outside the section");
        key->isText = true;
        key->text.clear();
        for (size_t i = 0; i < u16(at); ++i) key->text.push_back(static_cast<char16_t>(u16(at + 2 + 2 * i)));
        return true;
    }

    // The entries of the directory at `at` (level 0 types, 1 names, 2 languages).
    bool directory(uint32_t at, int level, Resource partial) const {
        if (!has(at, directorySize)) return fail("a directory outside the section");
        if (++directories > maxResources) return fail("more than 4096 directories");
        size_t count = static_cast<size_t>(u16(at + 12)) + u16(at + 14);
        if (!has(at + directorySize, count * entrySize)) return fail("a directory's entries run past the section");
        for (size_t i = 0; i < count; ++i) {
            size_t entry = at + directorySize + i * entrySize;
            uint32_t name = u32(entry), target = u32(entry + 4);
            bool below = (target & subdirectoryBit) != 0;
            if (below != (level < 2)) return fail("a directory where data belongs, or data where a directory belongs");
            if (level == 0 && !key(name, &partial.type)) return false;
            if (level == 1 && !key(name, &partial.name)) return false;
            if (level == 2) {
                if (name > 0xFFFF) return fail("a language above 65535");
                partial.language = static_cast<uint16_t>(name);
                if (!data(target, partial)) return false;
            } else if (!directory(target & ~subdirectoryBit, level + 1, partial)) {
                return false;
            }
        }
        return true;
    }

    bool data(uint32_t at, Resource resource) const {
        if (!has(at, dataEntrySize)) return fail("a data entry outside the section");
        uint32_t dataRva = u32(at), size = u32(at + 4);
        if (dataRva < rva || !has(dataRva - rva, size)) return fail("resource bytes outside the section");
        if (out->size() >= maxResources) return fail("more than 4096 resources");
        resource.codePage = u32(at + 8);
        resource.data.assign(section.begin() + (dataRva - rva), section.begin() + (dataRva - rva) + size);
        out->push_back(std::move(resource));
        return true;
    }
};

void put16At(Bytes* b, size_t at, uint32_t v) {
    (*b)[at] = static_cast<uint8_t>(v);
    (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}

size_t alignTo(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// The tree as nested maps: type -> name -> language -> index of the resource.
using Languages = std::map<uint16_t, size_t>;
using Names = std::map<ResourceKey, Languages>;
using Types = std::map<ResourceKey, Names>;

bool isTextKey(const ResourceKey& key) { return key.isText; }
bool isTextKey(uint16_t) { return false; }  // languages are numbers

template <typename Level> size_t textCount(const Level& level) {
    size_t count = 0;
    for (const auto& entry : level) count += isTextKey(entry.first) ? 1 : 0;
    return count;
}

// Appends an empty directory for these entries; returns its offset.
template <typename Level> size_t addDirectory(Bytes* out, const Level& level) {
    size_t at = out->size();
    out->resize(at + directorySize + entrySize * level.size(), 0);
    put16At(out, at + 12, static_cast<uint32_t>(textCount(level)));
    put16At(out, at + 14, static_cast<uint32_t>(level.size() - textCount(level)));
    return at;
}

}  // namespace

bool operator==(const ResourceKey& a, const ResourceKey& b) {
    return a.isText == b.isText && (a.isText ? a.text == b.text : a.id == b.id);
}

bool operator<(const ResourceKey& a, const ResourceKey& b) {
    if (a.isText != b.isText) return a.isText;
    return a.isText ? a.text < b.text : a.id < b.id;
}

bool readResourceSection(const Bytes& section, uint32_t sectionRva, uint32_t directoryOffset,
                         std::vector<Resource>* resources, std::string* err) {
    resources->clear();
    Walk walk{section, sectionRva, resources, err};
    return walk.directory(directoryOffset, 0, Resource{});
}

Bytes writeResourceSection(std::vector<Resource> resources, uint32_t sectionRva) {
    Types types;
    for (size_t i = 0; i < resources.size(); ++i)
        types[resources[i].type][resources[i].name][resources[i].language] = i;

    // Directories breadth first: the type table, every name table, every language table.
    Bytes out;
    std::vector<std::pair<size_t, const ResourceKey*>> textFields;  // entry offset, its name
    std::vector<std::pair<size_t, size_t>> dataFields;              // entry offset, resource index
    size_t typeTable = addDirectory(&out, types), slot = 0;
    std::vector<std::pair<size_t, const Names*>> nameTables;
    for (const auto& [type, names] : types) {
        size_t entry = typeTable + directorySize + entrySize * slot++;
        if (type.isText) textFields.push_back({entry, &type});
        else patchU32(&out, entry, type.id);
        size_t table = addDirectory(&out, names);
        patchU32(&out, entry + 4, subdirectoryBit | static_cast<uint32_t>(table));
        nameTables.push_back({table, &names});
    }
    for (const auto& [table, names] : nameTables) {
        slot = 0;
        for (const auto& [name, languages] : *names) {
            size_t entry = table + directorySize + entrySize * slot++;
            if (name.isText) textFields.push_back({entry, &name});
            else patchU32(&out, entry, name.id);
            size_t languageTable = addDirectory(&out, languages);
            patchU32(&out, entry + 4, subdirectoryBit | static_cast<uint32_t>(languageTable));
            size_t languageSlot = 0;
            for (const auto& [language, index] : languages) {
                size_t languageEntry = languageTable + directorySize + entrySize * languageSlot++;
                patchU32(&out, languageEntry, language);
                dataFields.push_back({languageEntry, index});
            }
        }
    }
    // Data entries, then the names, then the bytes.
    std::vector<size_t> dataEntryAt(resources.size());
    for (const auto& [entry, index] : dataFields) {
        dataEntryAt[index] = out.size();
        patchU32(&out, entry + 4, static_cast<uint32_t>(out.size()));
        out.resize(out.size() + dataEntrySize, 0);
    }
    for (const auto& [entry, key] : textFields) {
        patchU32(&out, entry, textNameBit | static_cast<uint32_t>(out.size()));
        putU16(&out, static_cast<uint16_t>(key->text.size()));
        for (char16_t c : key->text) putU16(&out, static_cast<uint16_t>(c));
    }
    for (const auto& [entry, index] : dataFields) {
        out.resize(alignTo(out.size(), 8), 0);
        const Resource& r = resources[index];
        patchU32(&out, dataEntryAt[index], sectionRva + static_cast<uint32_t>(out.size()));
        patchU32(&out, dataEntryAt[index] + 4, static_cast<uint32_t>(r.data.size()));
        patchU32(&out, dataEntryAt[index] + 8, r.codePage);
        out.insert(out.end(), r.data.begin(), r.data.end());
    }
    return out;
}

const Resource* findResource(const std::vector<Resource>& resources, uint16_t type, uint16_t name) {
    for (const Resource& r : resources)
        if (r.type == resourceId(type) && r.name == resourceId(name)) return &r;
    return nullptr;
}

const Resource* firstOfType(const std::vector<Resource>& resources, uint16_t type) {
    for (const Resource& r : resources)
        if (r.type == resourceId(type)) return &r;
    return nullptr;
}
