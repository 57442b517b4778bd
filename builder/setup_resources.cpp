// setup_resources.cpp -- reads the stub's resource section, puts the project's manifest, version
// resource and icon in, fits the icon into the room below 64 KiB and writes the image back.
#include "setup_resources.h"

#include <algorithm>

#include "code_page.h"
#include "format/package_format.h"
#include "format/stored_image.h"
#include "pe_image.h"
#include "resource_section.h"
#include "resources/ids.h"
#include "version_info.h"

namespace {

constexpr uint16_t manifestId = 1, versionId = 1;
constexpr uint16_t sublangDefault = 1;

// The stub taken apart: its image, the resource section's index and its resources.
struct StubResources {
    PeImage image;
    size_t section = 0;
    uint32_t sectionStart = 0;  // file offset the resource section's bytes start at
    std::vector<Resource> resources;
};

bool readStub(const Bytes& stub, StubResources* s, std::string* err) {
    if (!readPeImage(stub, &s->image, err)) return false;
    if (s->image.sections.empty() || s->image.sections.back().name != RESOURCE_SECTION)
        return *err = "the stub's last section is not its resource section " RESOURCE_SECTION, false;
    if (!hasDirectory(s->image, directoryResources))
        return *err = "the stub's optional header has no resource directory", false;
    s->section = s->image.sections.size() - 1;
    const PeSection& rsrc = s->image.sections[s->section];
    uint32_t directory = directoryRva(s->image, directoryResources);
    if (directory < rsrc.virtualAddress || directory - rsrc.virtualAddress >= rsrc.data.size())
        return *err = "the stub's resource directory lies outside its resource section", false;
    PeImage withoutResources = s->image;
    withoutResources.sections.back().data.clear();
    s->sectionStart = static_cast<uint32_t>(writePeImage(withoutResources).size());
    return readResourceSection(rsrc.data, rsrc.virtualAddress, directory - rsrc.virtualAddress, &s->resources, err);
}

void removeResources(std::vector<Resource>* resources, uint16_t type, const std::vector<uint16_t>& names) {
    resources->erase(std::remove_if(resources->begin(), resources->end(),
                                    [&](const Resource& r) {
                                        if (!(r.type == resourceId(type))) return false;
                                        if (names.empty()) return true;
                                        return !r.name.isText && std::count(names.begin(), names.end(), r.name.id) > 0;
                                    }),
                     resources->end());
}

uint16_t languageOf(const std::vector<Resource>& resources, uint16_t type, uint16_t fallback) {
    const Resource* r = firstOfType(resources, type);
    return r ? r->language : fallback;
}

void putManifest(ExecutionLevel level, std::vector<Resource>* resources) {
    uint16_t language = languageOf(*resources, resourceManifest, 0);
    removeResources(resources, resourceManifest, {});
    std::string text = manifestText(level);
    resources->push_back({resourceId(resourceManifest), resourceId(manifestId), language, 0, Bytes(text.begin(), text.end())});
}

uint16_t projectLanguage(const Project& p) {
    uint16_t primary = p.languages.empty() ? 9 : p.languages.front().number;
    return static_cast<uint16_t>(sublangDefault << 10 | primary);
}

void putVersion(const Project& p, std::vector<Resource>* resources) {
    const SetupFileConfig& s = p.setupFile;
    if (!s.hasVersionInfo) return;
    VersionFields f;
    std::copy(s.versionParts, s.versionParts + 4, f.parts);
    f.versionText = s.version;
    f.language = projectLanguage(p);
    auto add = [&f](const char* name, const std::string& value) {
        if (!value.empty()) f.strings.push_back({name, value});
    };
    add("CompanyName", s.company);
    add("FileDescription", s.description.empty() ? fromCodePage(p.productTitle, 1252) + " Setup" : s.description);
    add("FileVersion", s.version);
    add("LegalCopyright", s.copyright);
    add("ProductName", s.productName.empty() ? fromCodePage(p.productName, 1252) : s.productName);
    add("ProductVersion", s.version);
    removeResources(resources, resourceVersion, {});
    resources->push_back({resourceId(resourceVersion), resourceId(versionId), f.language, 0, versionResource(f)});
}

// The stub's own icon group and its images leave; returns the id the new images start at.
uint16_t removeSetupIcon(std::vector<Resource>* resources, uint16_t* language) {
    *language = languageOf(*resources, resourceGroupIcon, 0);
    if (const Resource* group = findResource(*resources, resourceGroupIcon, IDI_SETUP)) {
        std::vector<IconGroupEntry> entries;
        std::vector<uint16_t> ids;
        if (readIconGroup(group->data, &entries))
            for (const IconGroupEntry& e : entries) ids.push_back(e.id);
        *language = group->language;
        if (!ids.empty()) removeResources(resources, resourceIcon, ids);
        removeResources(resources, resourceGroupIcon, {IDI_SETUP});
    }
    uint16_t next = 1;
    for (const Resource& r : *resources)
        if (r.type == resourceId(resourceIcon) && !r.name.isText && r.name.id >= next) next = static_cast<uint16_t>(r.name.id + 1);
    return next;
}

// The resources with these icon images (in the icon file's order) as the setup icon.
std::vector<Resource> withIcon(const std::vector<Resource>& base, const std::vector<IconImage>& all,
                               std::vector<size_t> chosen, uint16_t firstId, uint16_t language) {
    std::sort(chosen.begin(), chosen.end());
    std::vector<Resource> out = base;
    std::vector<IconImage> images;
    for (size_t i = 0; i < chosen.size(); ++i) {
        images.push_back(all[chosen[i]]);
        out.push_back({resourceId(resourceIcon), resourceId(static_cast<uint16_t>(firstId + i)), language, 0,
                       all[chosen[i]].data});
    }
    out.push_back({resourceId(resourceGroupIcon), resourceId(IDI_SETUP), language, 0, iconGroupResource(images, firstId)});
    return out;
}

// Bytes of room the resource section has: its file size rounded to the file alignment must end
// below 65,536.
uint32_t resourceRoom(const StubResources& s) {
    uint32_t align = s.image.fileAlignment;
    return s.sectionStart >= maxStubSize - 1 ? 0 : (maxStubSize - 1 - s.sectionStart) / align * align;
}

uint32_t sectionBytes(const std::vector<Resource>& resources, uint32_t rva) {
    return static_cast<uint32_t>(writeResourceSection(resources, rva).size());
}

bool isSize(const IconImage& image, uint32_t side) { return image.width == side && image.height == side; }

// The cheapest image of each size the icon must keep: 32x32 and 16x16, or the smallest image
// when it has neither.
std::vector<size_t> essentialImages(const std::vector<IconImage>& images) {
    std::vector<size_t> out;
    for (uint32_t side : {32u, 16u}) {
        size_t best = images.size();
        for (size_t i = 0; i < images.size(); ++i)
            if (isSize(images[i], side) && (best == images.size() || images[i].data.size() < images[best].data.size())) best = i;
        if (best < images.size()) out.push_back(best);
    }
    if (out.empty())
        out.push_back(static_cast<size_t>(std::min_element(images.begin(), images.end(), [](const IconImage& a, const IconImage& b) {
                                              return a.data.size() < b.data.size();
                                          }) - images.begin()));
    return out;
}

// The chosen images plus the cheapest image of every essential size they do not cover yet.
std::vector<size_t> withEssentials(const std::vector<IconImage>& images, const std::vector<size_t>& essentials,
                                   std::vector<size_t> chosen) {
    for (size_t e : essentials) {
        bool covered = false;
        for (size_t c : chosen) covered = covered || (images[c].width == images[e].width && images[c].height == images[e].height);
        if (!covered) chosen.push_back(e);
    }
    return chosen;
}

bool fitIcon(const Project& p, const StubResources& s, std::vector<Resource>* resources, ResourceReport* report,
             std::string* err) {
    const SetupFileConfig& config = p.setupFile;
    const std::vector<IconImage>& images = config.iconImages;
    uint16_t language;
    std::vector<Resource> base = *resources;
    uint16_t firstId = removeSetupIcon(&base, &language);
    uint32_t rva = s.image.sections[s.section].virtualAddress, room = resourceRoom(s);
    auto size = [&](const std::vector<size_t>& chosen) {
        return sectionBytes(withIcon(base, images, chosen, firstId, language), rva);
    };
    std::vector<size_t> essentials = essentialImages(images);
    uint32_t least = size(essentials);
    if (least > room)
        return *err = p.path + ": setup_file.icon: '" + config.iconPath + "': " +
                      (essentials.size() == 2 ? "its smallest images (32x32 and 16x16) do not fit"
                                              : "its image " + describeIconImage(images[essentials[0]]) + " does not fit") +
                      ": the setup program needs " + groupedNumber(least - room) +
                      " bytes more than it has room for below 65,536 bytes",
               false;
    std::vector<size_t> kept;
    for (size_t i : iconPriority(images)) {
        std::vector<size_t> trial = kept;
        trial.push_back(i);
        // An image larger than all the room is left out without laying the section out again.
        if (images[i].data.size() <= room && size(withEssentials(images, essentials, trial)) <= room) {
            kept.push_back(i);
            continue;
        }
        report->notes.push_back(config.iconPath + ": image " + describeIconImage(images[i]) +
                                " left out: the setup program must stay below 65,536 bytes");
    }
    *resources = withIcon(base, images, kept, firstId, language);
    return true;
}

}  // namespace

std::vector<size_t> iconPriority(const std::vector<IconImage>& images) {
    std::vector<size_t> order(images.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto rank = [&](size_t i) { return isSize(images[i], 32) ? 0u : isSize(images[i], 16) ? 1u : 2u; };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const IconImage &x = images[a], &y = images[b];
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        if (x.width * x.height != y.width * y.height) return x.width * x.height < y.width * y.height;
        return x.bitCount > y.bitCount;
    });
    // The richest 16x16 image comes right behind the richest 32x32 one, before the other depths.
    auto first16 = std::find_if(order.begin(), order.end(), [&](size_t i) { return rank(i) == 1; });
    if (first16 != order.end() && first16 != order.begin() && rank(order.front()) == 0)
        std::rotate(order.begin() + 1, first16, first16 + 1);
    return order;
}

bool applySetupResources(const Project& project, Bytes* stub, ResourceReport* report, std::string* err) {
    *report = ResourceReport{};
    const SetupFileConfig& config = project.setupFile;
    StubResources s;
    std::string why;
    if (!readPeImage(*stub, &s.image, &why)) {
        // A stand-in stub without PE headers carries no resources; a project that asks for its
        // own cannot have them.
        if (!config.hasIcon && !config.hasVersionInfo && config.executionLevel.empty()) return true;
        return *err = "the stub has no PE header (" + why + "): the icon, version and execution level cannot be written", false;
    }
    if (!readStub(*stub, &s, err)) return false;
    report->levelByRule = config.executionLevel.empty();
    report->level = report->levelByRule ? defaultExecutionLevel(project)
                    : config.executionLevel == "highest" ? ExecutionLevel::highest
                    : config.executionLevel == "user"    ? ExecutionLevel::user
                                                         : ExecutionLevel::admin;
    std::vector<Resource> resources = s.resources;
    putManifest(report->level, &resources);
    putVersion(project, &resources);
    PeSection& rsrc = s.image.sections[s.section];
    uint32_t fixedSize = sectionBytes(resources, rsrc.virtualAddress), room = resourceRoom(s);
    if (fixedSize > room)
        return *err = project.path + ": the manifest and version information need " + groupedNumber(fixedSize - room) +
                      " bytes more than the setup program has room for below 65,536 bytes",
               false;
    if (config.hasIcon && !fitIcon(project, s, &resources, report, err)) return false;
    std::vector<IconGroupEntry> icon;
    if (const Resource* group = findResource(resources, resourceGroupIcon, IDI_SETUP))
        if (readIconGroup(group->data, &icon)) report->iconImages = static_cast<uint32_t>(icon.size());
    rsrc.data = writeResourceSection(resources, rsrc.virtualAddress);
    rsrc.virtualSize = static_cast<uint32_t>(rsrc.data.size());
    report->resourceSize = rsrc.virtualSize;
    setDirectory(&s.image, directoryResources, rsrc.virtualAddress, rsrc.virtualSize);
    setOptionalU32(&s.image, optCheckSum, 0);
    Bytes written = writePeImage(s.image);
    if (written.size() >= maxStubSize)
        return *err = "the setup program's image would be " + groupedNumber(written.size()) + " bytes", false;
    *stub = std::move(written);
    report->written = true;
    return true;
}
