// shipped_image.cpp -- the linked stub's code and read-only data, deflated into its start section.
#include "shipped_image.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "format/stored_image.h"

namespace {

bool fail(std::string* err, const std::string& why) {
    *err = why;
    return false;
}

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void put32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The memory image of [first.virtualAddress, last.virtualAddress + last.virtualSize): each
// section's file bytes at its place, zeros elsewhere (the pages between the sections included).
Bytes memoryOf(const PeSection& first, const PeSection& last) {
    Bytes memory(last.virtualAddress + last.virtualSize - first.virtualAddress, 0);
    for (const PeSection* section : {&first, &last}) {
        size_t count = section->data.size() < section->virtualSize ? section->data.size() : section->virtualSize;
        std::copy(section->data.begin(), section->data.begin() + count,
                  memory.begin() + (section->virtualAddress - first.virtualAddress));
    }
    return memory;
}

// Raw deflate at the strongest setting; of the two strategies, the smaller stream.
bool deflateRaw(const Bytes& input, Bytes* output) {
    bool any = false;
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED}) {
        z_stream stream{};
        if (deflateInit2(&stream, 9, Z_DEFLATED, storedWindowBits, 9, strategy) != Z_OK) return false;
        Bytes packed(deflateBound(&stream, input.size()));
        stream.next_in = const_cast<uint8_t*>(input.data());
        stream.avail_in = static_cast<uInt>(input.size());
        stream.next_out = packed.data();
        stream.avail_out = static_cast<uInt>(packed.size());
        int result = deflate(&stream, Z_FINISH);
        packed.resize(stream.total_out);
        deflateEnd(&stream);
        if (result != Z_STREAM_END) return false;
        if (!any || packed.size() < output->size()) *output = std::move(packed);
        any = true;
    }
    return true;
}

// Adds delta to the RVA of every data entry of the resource tree in data (bounded walk).
bool moveResources(Bytes* data, uint32_t delta, std::string* err) {
    std::vector<uint32_t> pending{0};
    size_t visited = 0;
    while (!pending.empty()) {
        uint32_t directory = pending.back();
        pending.pop_back();
        if (++visited > 4096 || directory > data->size() || data->size() - directory < 16)
            return fail(err, "the resource tree is damaged");
        uint8_t* d = data->data() + directory;
        uint32_t entries = (d[12] | d[13] << 8) + (d[14] | d[15] << 8);
        if ((data->size() - directory - 16) / 8 < entries) return fail(err, "the resource tree is damaged");
        for (uint32_t i = 0; i < entries; ++i) {
            uint32_t target = le32(d + 16 + 8 * i + 4);
            if (target & 0x80000000u) {
                pending.push_back(target & 0x7FFFFFFFu);
                continue;
            }
            if (target > data->size() || data->size() - target < 16) return fail(err, "the resource tree is damaged");
            put32(data->data() + target, le32(data->data() + target) + delta);
        }
    }
    return true;
}

// The image as the loader maps it: headers and section bytes at their RVAs, zeros elsewhere.
Bytes loadedImage(const PeImage& image) {
    Bytes loaded(optionalU32(image, optSizeOfImage), 0);
    std::copy_n(image.headers.begin(), std::min(image.headers.size(), loaded.size()), loaded.begin());
    for (const PeSection& section : image.sections)
        if (section.virtualAddress < loaded.size())
            std::copy_n(section.data.begin(), std::min<size_t>(section.data.size(), loaded.size() - section.virtualAddress),
                        loaded.begin() + section.virtualAddress);
    return loaded;
}

// The import table's checksum as the start routine computes it once the loader bound the imports.
bool sumImportNames(const PeImage& image, uint32_t* sum) {
    Bytes loaded = loadedImage(image);
    return importNamesSum(loaded.data(), static_cast<uint32_t>(loaded.size()), directoryRva(image, directoryImports), sum);
}

// Checks that the linked image has the layout the start routine expects.
bool checkLayout(const PeImage& image, std::string* err) {
    const std::vector<PeSection>& s = image.sections;
    if (s.size() < 4 || s[0].name != STORED_CODE_SECTION || s[1].name != STORED_READ_ONLY_SECTION ||
        s[s.size() - 2].name != START_SECTION || s.back().name != RESOURCE_SECTION)
        return fail(err, "sections are not " STORED_CODE_SECTION ", " STORED_READ_ONLY_SECTION ", ..., " START_SECTION
                         ", " RESOURCE_SECTION " (is cmake/stub-layout.ld in use?)");
    if (directoryRva(image, directoryRelocations)) return fail(err, "the image has relocations");
    const PeSection& start = s[s.size() - 2];
    if (start.virtualSize % 4 || start.data.size() < start.virtualSize || (start.characteristics & sectionWrite))
        return fail(err, "the start section is not a read-only section ending at the stored part");
    uint32_t entry = optionalU32(image, optEntryPoint);
    if (entry < start.virtualAddress || entry >= start.virtualAddress + start.virtualSize)
        return fail(err, "the entry point is not in the start section");
    if (directoryRva(image, directoryResources) != s.back().virtualAddress)
        return fail(err, "the resource directory does not start the resource section");
    return true;
}

// What the start routine checks first: the start section's bytes before the entry point, then
// the data section's bytes in memory (its virtual size; what the file lacks of it the loader fills
// with zeros), as the routine sums them between its two symbols.
uint32_t startChecksumOf(const PeImage& image, const PeSection& start, uint32_t checked) {
    uint32_t sum = storedSum(start.data.data(), start.data.data() + checked);
    if (const PeSection* data = findSection(image, ".data"))
        for (uint32_t i = 0; i < data->virtualSize; ++i) sum = storedStep(sum, i < data->data.size() ? data->data[i] : 0);
    return sum;
}

}  // namespace

bool writeShippedImage(const Bytes& linked, Bytes* shipped, ShippedReport* report, std::string* err) {
    PeImage image;
    if (!readPeImage(linked, &image, err) || !checkLayout(image, err)) return false;
    PeSection& code = image.sections[0];
    PeSection& readOnly = image.sections[1];
    PeSection& start = image.sections[image.sections.size() - 2];
    PeSection& resources = image.sections.back();

    Bytes stored = memoryOf(code, readOnly), packed;
    if (!deflateRaw(stored, &packed)) return fail(err, "deflate failed");
    *report = ShippedReport{};
    report->startSize = start.virtualSize;
    report->codeSize = code.virtualSize;
    report->readOnlySize = readOnly.virtualSize;
    report->storedSize = static_cast<uint32_t>(stored.size());
    report->packedSize = static_cast<uint32_t>(packed.size());

    start.data.resize(start.virtualSize);
    // The checked bytes end where the start routine begins (checkLayout: inside the section).
    uint32_t checked = optionalU32(image, optEntryPoint) - start.virtualAddress;
    uint32_t importChecksum;
    if (!sumImportNames(image, &importChecksum)) return fail(err, "the import table is damaged or has no lookup tables");
    StoredPartHeader header{static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(stored.size()),
                            storedSum(stored.data(), stored.data() + stored.size()),
                            startChecksumOf(image, start, checked), importChecksum};
    const uint8_t* h = reinterpret_cast<const uint8_t*>(&header);
    start.data.insert(start.data.end(), h, h + sizeof header);
    start.data.insert(start.data.end(), packed.begin(), packed.end());
    start.virtualSize = static_cast<uint32_t>(start.data.size());

    // Code and read-only data become reserved pages that the start routine may write.
    for (PeSection* emptied : {&code, &readOnly}) {
        emptied->data.clear();
        emptied->characteristics = sectionUninitializedData | sectionRead | sectionWrite;
    }
    uint32_t resourceAt = alignUp(start.virtualAddress + start.virtualSize, image.sectionAlignment);
    if (!moveResources(&resources.data, resourceAt - resources.virtualAddress, err)) return false;
    resources.virtualAddress = resourceAt;
    setDirectory(&image, directoryResources, resourceAt, directorySize(image, directoryResources));
    setOptionalU32(&image, optCheckSum, 0);

    *shipped = writePeImage(image);
    report->shippedSize = static_cast<uint32_t>(shipped->size());
    report->headersSize = optionalU32(image, optSizeOfHeaders);
    for (const PeSection& section : image.sections) {
        if (section.name == ".data") report->dataSize = section.virtualSize;
        if (section.name == ".idata") report->importsSize = section.virtualSize;
    }
    report->resourcesSize = resources.virtualSize;
    return true;
}

uint32_t inflaterBytesInMap(const std::string& mapText) {
    std::istringstream lines(mapText);
    std::string line;
    bool inStart = false;
    uint32_t total = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != ' ') inStart = line.compare(0, 7, START_SECTION " ") == 0 ||
                                                  line == START_SECTION;
        if (!inStart || line.size() < 2 || line[0] != ' ') continue;
        // An input section: " .text$name 0xADDRESS 0xSIZE file", the name alone on its line when long.
        unsigned long long address = 0, size = 0;
        char file[512] = "";
        const char* rest = line.c_str();
        if (line[1] == '.') {
            size_t end = line.find(' ', 1);
            if (end == std::string::npos) continue;
            rest += end;
        } else if (line.find_first_not_of(' ') == std::string::npos || line[line.find_first_not_of(' ')] != '0') {
            continue;
        }
        if (std::sscanf(rest, " 0x%llx 0x%llx %511[^\n]", &address, &size, file) == 3 &&
            std::string(file).find("libzlib_inflate.a(") != std::string::npos)
            total += static_cast<uint32_t>(size);
    }
    return total;
}

std::string formatReport(const ShippedReport& r, uint32_t limit) {
    auto row = [](const char* what, uint32_t bytes, const std::string& note = "") {
        char text[160];
        std::snprintf(text, sizeof text, "  %-22s %7u%s%s\n", what, bytes, note.empty() ? "" : "  ", note.c_str());
        return std::string(text);
    };
    char head[160];
    long left = static_cast<long>(limit) - static_cast<long>(r.shippedSize);
    std::snprintf(head, sizeof head, "velkorin.exe: %u bytes shipped, %ld bytes left below the %u-byte limit\n",
                  r.shippedSize, left, limit);
    std::string text = head;
    text += row("headers", r.headersSize);
    if (r.inflaterSize) {
        text += row("start routine", r.startSize - r.inflaterSize, "with the memory helpers");
        text += row("inflater", r.inflaterSize, "zlib, shared with the program");
    } else {
        text += row("start routine+inflater", r.startSize);
    }
    text += row("stored part, inflated", r.storedSize,
                "code " + std::to_string(r.codeSize) + ", read-only data " + std::to_string(r.readOnlySize));
    char ratio[64];
    std::snprintf(ratio, sizeof ratio, "deflated, %.1f %% of its size",
                  r.storedSize ? 100.0 * r.packedSize / r.storedSize : 0.0);
    text += row("stored part, in file", r.packedSize + static_cast<uint32_t>(sizeof(StoredPartHeader)), ratio);
    text += row("data", r.dataSize, "kept plain; summed by the start routine");
    text += row("imports", r.importsSize);
    text += row("resources", r.resourcesSize);
    text += row("bytes left", left > 0 ? static_cast<uint32_t>(left) : 0);
    return text;
}

bool readStoredPart(const Bytes& shipped, uint32_t storedAt, Bytes* inflated, std::string* err) {
    PeImage image;
    if (!readPeImage(shipped, &image, err)) return false;
    const PeSection* start = findSection(image, START_SECTION);
    if (!start || start->data.size() < storedAt + sizeof(StoredPartHeader)) return fail(err, "no stored part");
    const uint8_t* h = start->data.data() + storedAt;
    uint32_t packedSize = le32(h), inflatedSize = le32(h + 4), checksum = le32(h + 8), startChecksum = le32(h + 12);
    uint32_t importChecksum = le32(h + 16), importsFound;
    if (!sumImportNames(image, &importsFound) || importsFound != importChecksum)
        return fail(err, "the import table's checksum does not match");
    uint32_t entry = optionalU32(image, optEntryPoint);
    uint32_t checked = entry - start->virtualAddress;
    if (entry < start->virtualAddress || checked > storedAt ||
        startChecksumOf(image, *start, checked) != startChecksum)
        return fail(err, "the start section's checksum does not match");
    if (start->data.size() - storedAt - sizeof(StoredPartHeader) < packedSize)
        return fail(err, "the stored stream runs past the start section");
    inflated->assign(inflatedSize, 0);
    z_stream stream{};
    if (inflateInit2(&stream, storedWindowBits) != Z_OK) return fail(err, "inflateInit2 failed");
    stream.next_in = const_cast<uint8_t*>(h + sizeof(StoredPartHeader));
    stream.avail_in = packedSize;
    stream.next_out = inflated->data();
    stream.avail_out = inflatedSize;
    int result = inflate(&stream, Z_FINISH);
    bool complete = result == Z_STREAM_END && stream.avail_out == 0 && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!complete) return fail(err, "the stored stream does not inflate to its size");
    if (storedSum(inflated->data(), inflated->data() + inflatedSize) != checksum)
        return fail(err, "the stored part's checksum does not match");
    return true;
}
