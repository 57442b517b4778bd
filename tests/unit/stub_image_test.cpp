// The image writer: the shipped image holds the linked program's code and read-only data in its
// stored part, keeps imports and resources real, and no section is writable and executable.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "format/stored_image.h"
#include "shipped_image.h"

namespace {

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The bytes at [rva, rva + size) of an image as the loader would place them.
Bytes memoryAt(const PeImage& image, uint32_t rva, uint32_t size) {
    for (const PeSection& s : image.sections)
        if (rva >= s.virtualAddress && rva - s.virtualAddress + size <= s.virtualSize) {
            Bytes bytes(size, 0);
            uint32_t at = rva - s.virtualAddress;
            for (uint32_t i = 0; i < size && at + i < s.data.size(); ++i) bytes[i] = s.data[at + i];
            return bytes;
        }
    return {};
}

uint32_t le32(const Bytes& b, uint32_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The offsets of the data entries of a resource tree (section-relative).
void collectLeaves(const Bytes& tree, uint32_t directory, std::vector<uint32_t>* leaves) {
    uint32_t entries = (tree[directory + 12] | tree[directory + 13] << 8) + (tree[directory + 14] | tree[directory + 15] << 8);
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t target = le32(tree, directory + 16 + 8 * i + 4);
        if (target & 0x80000000u)
            collectLeaves(tree, target & 0x7FFFFFFFu, leaves);
        else
            leaves->push_back(target);
    }
}

TEST(ShippedImage, MapCountsOnlyTheInflatersInputSections) {
    const std::string map =
        ".idata          0x00411000      0x1000\n"
        " .text          0x00411000       0x40 libzlib_inflate.a(inflate.c.obj)\n"
        ".start          0x00412000     0x2600\n"
        " *(.text .text$* .text.*)\n"
        " .text$startRoutine\n"
        "                0x00412058      0x1c0 CMakeFiles/velkorin.dir/startup/start_routine.cpp.obj\n"
        "                0x00412058                startRoutine@0\n"
        " .text$inflate  0x00412908      0xf5c libzlib_inflate.a(inflate.c.obj)\n"
        " .text$inflate_table\n"
        "                0x004138b8      0x3ec libzlib_inflate.a(inftrees.c.obj)\n"
        " .rdata         0x00414180      0x260 libzlib_inflate.a(inflate.c.obj)\n"
        "                0x00414570                        . = ALIGN (0x4)\n"
        ".rsrc           0x00415000      0x800\n"
        " .rsrc          0x00415000      0x6f8 velkorin.rc.res\n";
    EXPECT_EQ(inflaterBytesInMap(map), 0xf5cu + 0x3ecu + 0x260u);
}

#ifdef VELKORIN_LINKED_STUB_PATH
TEST(ShippedImage, StoredPartInflatesToTheLinkedCodeAndReadOnlyData) {
    Bytes linked = readFile(VELKORIN_LINKED_STUB_PATH), shipped, again;
    ASSERT_FALSE(linked.empty()) << VELKORIN_LINKED_STUB_PATH;
    ShippedReport report;
    std::string err;
    ASSERT_TRUE(writeShippedImage(linked, &shipped, &report, &err)) << err;
    ASSERT_TRUE(writeShippedImage(linked, &again, &report, &err)) << err;
    EXPECT_EQ(shipped, again) << "the same linked image gave different bytes";
    EXPECT_EQ(shipped, readFile(VELKORIN_STUB_PATH)) << "velkorin.exe is not the image of velkorin-linked.exe";

    PeImage in, out;
    ASSERT_TRUE(readPeImage(linked, &in, &err) && readPeImage(shipped, &out, &err)) << err;
    const PeSection* code = findSection(in, STORED_CODE_SECTION);
    const PeSection* readOnly = findSection(in, STORED_READ_ONLY_SECTION);
    const PeSection* start = findSection(in, START_SECTION);
    ASSERT_TRUE(code && readOnly && start);
    Bytes inflated;
    ASSERT_TRUE(readStoredPart(shipped, start->virtualSize, &inflated, &err)) << err;
    uint32_t span = readOnly->virtualAddress + readOnly->virtualSize - code->virtualAddress;
    ASSERT_EQ(inflated.size(), span);
    EXPECT_TRUE(std::equal(code->data.begin(), code->data.begin() + code->virtualSize, inflated.begin()));
    EXPECT_TRUE(std::equal(readOnly->data.begin(), readOnly->data.begin() + readOnly->virtualSize,
                           inflated.begin() + (readOnly->virtualAddress - code->virtualAddress)));
    EXPECT_EQ(report.packedSize + sizeof(StoredPartHeader) + start->virtualSize,
              findSection(out, START_SECTION)->virtualSize);
}

// The start checksum covers the data section's bytes as well: any one of them changed, the
// stored part no longer reads.
TEST(ShippedImage, EveryChangedDataByteFailsTheStartChecksum) {
    PeImage in, out;
    std::string err;
    ASSERT_TRUE(readPeImage(readFile(VELKORIN_LINKED_STUB_PATH), &in, &err)) << err;
    ASSERT_TRUE(readPeImage(readFile(VELKORIN_STUB_PATH), &out, &err)) << err;
    uint32_t storedAt = findSection(in, START_SECTION)->virtualSize;
    const PeSection* data = findSection(out, ".data");
    ASSERT_TRUE(data && data->virtualSize);
    Bytes inflated;
    ASSERT_TRUE(readStoredPart(writePeImage(out), storedAt, &inflated, &err)) << err;
    for (uint32_t i = 0; i < data->virtualSize; ++i) {
        PeImage changed = out;
        for (PeSection& section : changed.sections)
            if (section.name == ".data") section.data.at(i) ^= 0x01;
        EXPECT_FALSE(readStoredPart(writePeImage(changed), storedAt, &inflated, &err)) << "data byte " << i;
    }
}

TEST(ShippedImage, NoSectionIsWritableAndExecutableAndImportsAndResourcesStayReal) {
    Bytes linked = readFile(VELKORIN_LINKED_STUB_PATH), shipped = readFile(VELKORIN_STUB_PATH);
    PeImage in, out;
    std::string err;
    ASSERT_TRUE(readPeImage(linked, &in, &err) && readPeImage(shipped, &out, &err)) << err;
    ASSERT_EQ(in.sections.size(), out.sections.size());
    for (const PeSection& s : out.sections) {
        bool writable = s.characteristics & sectionWrite, executable = s.characteristics & sectionExecute;
        EXPECT_FALSE(writable && executable) << s.name;
    }
    for (const char* name : {STORED_CODE_SECTION, STORED_READ_ONLY_SECTION}) {
        const PeSection* s = findSection(out, name);
        ASSERT_TRUE(s);
        EXPECT_TRUE(s->data.empty()) << name << " still carries file bytes";
        EXPECT_TRUE(s->characteristics & sectionWrite) << name << " cannot be inflated into";
    }
    EXPECT_EQ(out.sections.back().name, RESOURCE_SECTION) << "the resources are not the last section";
    EXPECT_EQ(directoryRva(out, directoryImports), directoryRva(in, directoryImports));
    EXPECT_EQ(findSection(out, ".idata")->data, findSection(in, ".idata")->data);
    EXPECT_EQ(optionalU32(out, optEntryPoint), optionalU32(in, optEntryPoint));
    // Every data entry of the moved resource tree points at the same bytes as before.
    const PeSection& before = in.sections.back();
    const PeSection& after = out.sections.back();
    uint32_t delta = after.virtualAddress - before.virtualAddress;
    EXPECT_EQ(directoryRva(out, directoryResources), after.virtualAddress);
    std::vector<uint32_t> leaves;
    collectLeaves(before.data, 0, &leaves);
    EXPECT_EQ(leaves.size(), 4u) << "icon, icon group, question dialog and manifest";
    for (uint32_t leaf : leaves) {
        uint32_t rva = le32(before.data, leaf), size = le32(before.data, leaf + 4);
        EXPECT_EQ(le32(after.data, leaf), rva + delta);
        EXPECT_EQ(memoryAt(out, rva + delta, size), memoryAt(in, rva, size)) << "resource data at " << rva;
    }
}

// The bytes of the import table as the loader reads them: the DLL and function names (each
// byte's RVA), and the address tables that it overwrites.
struct ImportBytes {
    std::vector<uint32_t> names, addressTables;
};

ImportBytes importBytesOf(const PeImage& image) {
    ImportBytes found;
    auto byteAt = [&](uint32_t rva) { return memoryAt(image, rva, 1).at(0); };
    auto u32 = [&](uint32_t rva) { return le32(memoryAt(image, rva, 4), 0); };
    auto addText = [&](uint32_t rva) {
        do found.names.push_back(rva);
        while (byteAt(rva++));
    };
    for (uint32_t descriptor = directoryRva(image, directoryImports); u32(descriptor + 12); descriptor += 20) {
        addText(u32(descriptor + 12));
        for (uint32_t entry = u32(descriptor), slot = u32(descriptor + 16);; entry += 4, slot += 4) {
            for (uint32_t i = 0; i < 4; ++i) found.addressTables.push_back(slot + i);
            uint32_t value = u32(entry);
            if (!value) break;
            if (!(value & 0x80000000u)) addText(value + 2);  // behind the hint, which only speeds up the search
        }
    }
    return found;
}

// The loader binds the imports before any code runs; under Wine a changed function name is bound
// to a stub that aborts when called. The start routine therefore sums the names before it calls
// anything: every changed byte of a DLL or function name fails the check, while the
// address tables, which the loader overwrites, are not part of it.
TEST(ShippedImage, EveryChangedImportNameFailsTheCheckButTheAddressTablesAreLeftToTheLoader) {
    Bytes linked = readFile(VELKORIN_LINKED_STUB_PATH), shipped = readFile(VELKORIN_STUB_PATH);
    PeImage in, out;
    std::string err;
    ASSERT_TRUE(readPeImage(linked, &in, &err) && readPeImage(shipped, &out, &err)) << err;
    uint32_t storedAt = findSection(in, START_SECTION)->virtualSize;
    ImportBytes bytes = importBytesOf(out);
    ASSERT_GT(bytes.names.size(), 1000u) << "the stub imports about 180 functions by name";
    PeSection* imports = nullptr;
    for (PeSection& section : out.sections)
        if (section.name == ".idata") imports = &section;
    ASSERT_TRUE(imports);
    auto readsWith = [&](uint32_t rva) {
        PeImage changed = out;
        for (PeSection& section : changed.sections)
            if (section.name == ".idata") section.data.at(rva - imports->virtualAddress) ^= 0x20;
        Bytes inflated;
        std::string why;
        bool read = readStoredPart(writePeImage(changed), storedAt, &inflated, &why);
        return std::make_pair(read, why);
    };
    int caught = 0;
    for (uint32_t rva : bytes.names) {
        auto [read, why] = readsWith(rva);
        EXPECT_FALSE(read) << "a changed import name byte at RVA " << rva << " was not noticed";
        if (!read && why == "the import table's checksum does not match") ++caught;
    }
    EXPECT_EQ(caught, static_cast<int>(bytes.names.size()));
    for (uint32_t rva : bytes.addressTables) EXPECT_TRUE(readsWith(rva).first) << "address table byte at RVA " << rva;
}
#endif

}  // namespace
