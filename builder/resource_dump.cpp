// resource_dump.cpp -- icon, version and manifest of an image, for people.
#include "resource_dump.h"

#include "icon_file.h"
#include "pe_image.h"
#include "resources/ids.h"
#include "version_info.h"

namespace {

void describeIcon(Report& r, const std::vector<Resource>& resources) {
    const Resource* group = findResource(resources, resourceGroupIcon, IDI_SETUP);
    std::vector<IconGroupEntry> entries;
    if (!group) return r.line("  icon %d: none", IDI_SETUP);
    if (!readIconGroup(group->data, &entries)) return r.line("  icon %d: damaged group", IDI_SETUP);
    r.line("  icon %d: %zu images", IDI_SETUP, entries.size());
    for (const IconGroupEntry& e : entries) {
        const Resource* image = findResource(resources, resourceIcon, e.id);
        r.line("    %ux%u, %u bits, %u bytes, id %u%s", e.width, e.height, e.bitCount, e.bytes, e.id,
               !image ? " (MISSING)" : image->data.size() != e.bytes ? " (size differs)" : "");
    }
}

void describeVersion(Report& r, const std::vector<Resource>& resources) {
    const Resource* version = firstOfType(resources, resourceVersion);
    VersionReadBack v;
    if (!version) return r.line("  version: none");
    if (!readVersionResource(version->data, &v)) return r.line("  version: damaged");
    r.line("  version: file %u.%u.%u.%u, product %u.%u.%u.%u, strings %s", v.fileMs >> 16, v.fileMs & 0xFFFF,
           v.fileLs >> 16, v.fileLs & 0xFFFF, v.productMs >> 16, v.productMs & 0xFFFF, v.productLs >> 16,
           v.productLs & 0xFFFF, v.table.c_str());
    for (const auto& [name, value] : v.strings) r.line("    %s %s", name.c_str(), quoted(value).c_str());
}

void describeManifest(Report& r, const std::vector<Resource>& resources) {
    const Resource* manifest = firstOfType(resources, resourceManifest);
    if (!manifest) return r.line("  manifest: none");
    std::string text(manifest->data.begin(), manifest->data.end());
    std::string level = manifestExecutionLevel(text);
    size_t supported = 0;
    for (size_t at = text.find("<supportedOS"); at != std::string::npos; at = text.find("<supportedOS", at + 1))
        ++supported;
    r.line("  manifest: %zu bytes, execution level %s, %zu supportedOS entries", text.size(),
           level.empty() ? "(none)" : level.c_str(), supported);
}

}  // namespace

bool readImageResources(const Bytes& file, std::vector<Resource>* resources, std::string* err) {
    PeImage image;
    if (!readPeImage(file, &image, err)) return false;
    if (!hasDirectory(image, directoryResources)) return *err = "the optional header has no resource directory", false;
    uint32_t rva = directoryRva(image, directoryResources);
    for (const PeSection& s : image.sections)
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.data.size())
            return readResourceSection(s.data, s.virtualAddress, rva - s.virtualAddress, resources, err);
    return *err = "no resource section", false;
}

std::string manifestExecutionLevel(const std::string& manifest) {
    size_t element = manifest.find("<requestedExecutionLevel");
    if (element == std::string::npos) return "";
    size_t close = manifest.find('>', element), level = manifest.find("level=\"", element);
    if (level == std::string::npos || level > close) return "";
    size_t end = manifest.find('"', level + 7);
    return end == std::string::npos ? "" : manifest.substr(level + 7, end - level - 7);
}

void describeResources(Report& r, const Bytes& file) {
    std::vector<Resource> resources;
    std::string why;
    if (!readImageResources(file, &resources, &why)) return r.line("resources: not readable: %s", why.c_str());
    r.line("resources: %zu", resources.size());
    describeIcon(r, resources);
    describeVersion(r, resources);
    describeManifest(r, resources);
}
