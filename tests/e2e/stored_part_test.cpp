// stored_part_test.cpp -- the shipped image inflates itself, under Wine: a changed byte of the
// stored part, or of the inflater that unpacks it, is reported by the start routine before any of
// the program runs; the uninstaller copy starts; and no page of the running image is both
// writable and executable.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>

#include "e2e_config.h"
#include "format/package_format.h"
#include "format/stored_image.h"
#include "setup_files.h"
#include "message_boxes.h"
#include "wine_session.h"

namespace e2e {
namespace {

const unsigned long exitFailed = 2;
const char startupCaption[] = "Velkorin";
const char damagedText[] = "The installer file is damaged!";

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint32_t le16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }

struct Section {
    uint32_t rva = 0, size = 0, rawOffset = 0, rawSize = 0;
};

std::optional<Section> sectionOf(const Bytes& file, const std::string& name) {
    size_t pe = le32(file, 0x3C);
    size_t table = pe + 24 + le16(file, pe + 20);
    for (size_t i = 0; i < le16(file, pe + 6); ++i) {
        size_t s = table + 40 * i;
        std::string found(reinterpret_cast<const char*>(&file[s]), 8);
        if (found.substr(0, found.find('\0')) == name)
            return Section{le32(file, s + 12), le32(file, s + 8), le32(file, s + 20), le32(file, s + 16)};
    }
    return std::nullopt;
}

uint32_t imageBaseOf(const Bytes& file) { return le32(file, le32(file, 0x3C) + 24 + 28); }

// The file range of the stored deflate stream: behind its header, which sits in the start
// section where the header's packed size reaches exactly to the end of the section's contents
// and its inflated size spans .text to the end of .rdata.
std::optional<std::pair<size_t, size_t>> storedStream(const Bytes& file) {
    auto start = sectionOf(file, START_SECTION), code = sectionOf(file, STORED_CODE_SECTION),
         readOnly = sectionOf(file, STORED_READ_ONLY_SECTION);
    if (!start || !code || !readOnly) return std::nullopt;
    uint32_t inflated = readOnly->rva + readOnly->size - code->rva;
    for (uint32_t at = 0; at + sizeof(StoredPartHeader) <= start->size; at += 4) {
        size_t header = start->rawOffset + at;
        if (le32(file, header) == start->size - at - sizeof(StoredPartHeader) && le32(file, header + 4) == inflated)
            return std::make_pair(header + sizeof(StoredPartHeader), start->rawOffset + size_t{start->size});
    }
    return std::nullopt;
}

// The file with its package checksum (bytes 40 to the end) recomputed, so that only the start
// routine's own check can notice a change.
Bytes withFileChecksum(Bytes file) {
    uLong sum = adler32(adler32(0, nullptr, 0), file.data() + checksumStart, static_cast<uInt>(file.size() - checksumStart));
    for (int i = 0; i < 4; ++i) file[dosFileChecksumAt + i] = static_cast<unsigned char>(sum >> (8 * i));
    return file;
}

class StoredPartTest : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();

    // The demo's setup file, built once per process; empty (after a failure) when that failed.
    const Bytes& setupFile() {
        static Bytes file;
        static bool tried = false;
        if (!tried) {
            tried = true;
            std::string error;
            std::filesystem::path out = wine.scratch() / "demo-setup.exe";
            if (buildSetupFile(config::root() / "examples/demo/demo.toml", out, wine.scratch(), &error))
                file = readBytes(out);
            else
                ADD_FAILURE() << error;
        }
        return file;
    }

    // Starts the file, waits for the damaged message, runs the extra driver commands while it is
    // shown (their output is returned), presses OK and expects the failure code.
    std::string expectDamagedMessage(const Bytes& file, const std::string& name,
                                     const std::vector<std::string>& whileShown = {}) {
        std::string path = "C:\\stored\\" + name + ".exe", output;
        wine.writeFile(path, file);
        BackgroundRun setup = wine.start(path, {}, 90s);
        std::optional<DialogDump> box = wine.waitDialog(startupCaption, 60s);
        if (box) {
            EXPECT_EQ(box->text(messageTextId).value_or("(no text)"), damagedText) << name;
            if (!whileShown.empty()) {
                std::vector<std::string> commands = {"use", box->handle};
                commands.insert(commands.end(), whileShown.begin(), whileShown.end());
                ProcessResult shown = wine.driver(commands);
                EXPECT_EQ(shown.exitCode, 0) << name << ": " << describe(shown);
                output = shown.output;
            }
        }
        pressOkAndExpectFailure(wine, setup, box, startupCaption, name, 60s);
        return output;
    }
};

TEST_F(StoredPartTest, ChangedByteOfTheStoredPartIsReportedByTheStartRoutine) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    auto stream = storedStream(file);
    ASSERT_TRUE(stream) << "no stored part in the setup file";
    ASSERT_LT(stream->second, packageOffsetOf(file));
    ASSERT_GT(stream->second - stream->first, 8192u) << "the stored part is implausibly small";
    // The builder's checksum counts the PE CheckSum field (and the empty security entry) as zeros;
    // the plain sum that withFileChecksum writes is the other way in that the stub accepts.
    Bytes asSummed = file;
    size_t pe = le32(file, dosPeOffsetAt);
    std::fill_n(asSummed.begin() + pe + peCheckSumAt, 4, 0);
    EXPECT_EQ(le32(withFileChecksum(asSummed), dosFileChecksumAt), le32(file, dosFileChecksumAt))
        << "the recomputed package checksum differs from the builder's";
    // The first block header, the middle of the stream and its next-to-last byte (the last one
    // may end in padding bits that the inflater never reads).
    size_t middle = (stream->first + stream->second) / 2;
    for (size_t offset : {stream->first, middle, stream->second - 2})
        expectDamagedMessage(withFileChecksum(withChangedByte(file, offset)), "stored-" + std::to_string(offset));
}

// The inflater, its tables and the memory helpers run before the stored part is checked: the
// start routine checks their bytes first (the start section up to the entry point), so that a
// changed byte there is reported instead of crashing or hanging the program.
TEST_F(StoredPartTest, ChangedByteOfTheInflaterIsReportedBeforeItRuns) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    auto start = sectionOf(file, START_SECTION);
    ASSERT_TRUE(start);
    uint32_t entry = le32(file, le32(file, dosPeOffsetAt) + 24 + 16);
    ASSERT_GT(entry, start->rva + 4096) << "the entry point does not end the inflater's bytes";
    size_t checkedEnd = start->rawOffset + (entry - start->rva);
    // The first table byte, the middle of the inflater's code, the last byte before the entry.
    for (size_t offset : {size_t{start->rawOffset}, (start->rawOffset + checkedEnd) / 2, checkedEnd - 1})
        expectDamagedMessage(withFileChecksum(withChangedByte(file, offset)), "inflater-" + std::to_string(offset));
}

TEST_F(StoredPartTest, UninstallerCopyStartsAndReportsAChangedStoredByte) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    // The copy the install worker writes: the image alone, its package offset set to 0.
    Bytes copy(file.begin(), file.begin() + packageOffsetOf(file));
    copy[dosPackageOffsetAt] = copy[dosPackageOffsetAt + 1] = 0;
    Bytes stub = readBytes(config::stub());
    // The builder rewrites the last section, the resources (the demo's icon, version and
    // manifest); up to it the copy is the shipped image, apart from the builder's words, the PE
    // CheckSum and the header fields that describe the resource section's new size.
    auto stubResources = sectionOf(stub, RESOURCE_SECTION), copyResources = sectionOf(copy, RESOURCE_SECTION);
    ASSERT_TRUE(stubResources && copyResources);
    ASSERT_EQ(copyResources->rawOffset, stubResources->rawOffset) << "the sections before the resources moved";
    ASSERT_EQ(copy.size(), size_t{copyResources->rawOffset} + copyResources->rawSize)
        << "the package does not start behind the image";
    Bytes compared(copy.begin(), copy.begin() + copyResources->rawOffset);
    uint32_t pe = le32(stub, dosPeOffsetAt), optional = pe + 24;
    uint32_t lastEntry = optional + le16(stub, pe + 20) + 40 * (le16(stub, pe + 6) - 1);
    for (uint32_t at : {dosScriptReadSizeAt, dosFileChecksumAt, pe + peCheckSumAt, optional + 8, optional + 56,
                        optional + 96 + 2 * 8 + 4, lastEntry + 8, lastEntry + 16})
        std::copy(stub.begin() + at, stub.begin() + at + 4, compared.begin() + at);
    EXPECT_EQ(compared, Bytes(stub.begin(), stub.begin() + stubResources->rawOffset))
        << "the uninstaller copy is not the shipped image up to its resources";
    wine.writeFile("C:\\stored\\remove.exe", copy);
    WindowsRun intact = wine.runWatched("C:\\stored\\remove.exe", {}, 60s);
    ASSERT_TRUE(intact.ended) << describe(intact.driver);
    EXPECT_EQ(intact.exitCode, exitFailed) << "without an install log nothing can be removed";
    EXPECT_TRUE(intact.windows.empty()) << "the intact copy showed a window";

    auto stream = storedStream(copy);
    ASSERT_TRUE(stream);
    expectDamagedMessage(withChangedByte(copy, (stream->first + stream->second) / 2), "remove-changed");
}

// The file offset of an RVA (0 when no section holds file bytes there).
size_t fileOffsetOf(const Bytes& file, uint32_t rva) {
    size_t pe = le32(file, 0x3C);
    size_t table = pe + 24 + le16(file, pe + 20);
    for (size_t i = 0; i < le16(file, pe + 6); ++i) {
        size_t s = table + 40 * i;
        uint32_t va = le32(file, s + 12), rawSize = le32(file, s + 16), raw = le32(file, s + 20);
        if (rva >= va && rva - va < rawSize) return raw + (rva - va);
    }
    return 0;
}

// Where the image imports a function by name: the file offset of its name and the RVA of its
// address-table slot (the address an indirect call reads); nullopt when it is not imported.
struct ImportedFunction {
    size_t nameOffset = 0;
    uint32_t slotRva = 0;
};

std::optional<ImportedFunction> importOf(const Bytes& file, const std::string& function) {
    uint32_t directory = le32(file, le32(file, 0x3C) + 24 + 104);
    for (size_t d = fileOffsetOf(file, directory); d && le32(file, d + 12); d += 20) {
        uint32_t lookup = le32(file, d), slots = le32(file, d + 16);
        for (uint32_t i = 0;; ++i) {
            uint32_t value = le32(file, fileOffsetOf(file, lookup + 4 * i));
            if (!value) break;
            if (value & 0x80000000u) continue;
            size_t name = fileOffsetOf(file, value + 2);
            if (file.size() > name + function.size() && std::equal(function.begin(), function.end(), file.begin() + name) &&
                file[name + function.size()] == 0)
                return ImportedFunction{name, slots + 4 * i};
        }
    }
    return std::nullopt;
}

// Windows' loader refuses a program whose import names no longer exist; Wine starts it with a stub
// in place of the missing function, which aborts the program when called. The start routine sums
// the import table before it calls anything, so such a file reports its damage instead.
TEST_F(StoredPartTest, ChangedImportNameIsReportedBeforeTheImportIsCalled) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    // GetCommandLineA runs at the program's start; MessageBoxA's library stays intact, so the
    // message can be shown.
    for (const char* function : {"GetCommandLineA", "CreateFileA"}) {
        auto imported = importOf(file, function);
        ASSERT_TRUE(imported) << function << " is not imported by name";
        Bytes changed = file;
        changed[imported->nameOffset + std::strlen(function) - 1] = 'Q';
        expectDamagedMessage(withFileChecksum(changed), std::string("import-") + function);
    }
}

// The data section holds tables (pointers into the program's state, access masks) that the
// program reads before it checks the package, and at its clean-up after the check has failed: the
// start routine checks its bytes too. A changed pointer there made the program show the damaged
// message and then crash at its clean-up, with the file's checksum wrong; with the checksum right
// nothing noticed the change at all.
TEST_F(StoredPartTest, ChangedByteOfTheDataSectionIsReportedByTheStartRoutine) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    auto data = sectionOf(file, ".data");
    ASSERT_TRUE(data && data->size >= 4) << "the image has no data section";
    for (uint32_t at : {0u, 2u, data->size / 2, data->size - 1}) {
        Bytes changed = file;
        changed[data->rawOffset + at] ^= 0xFF;
        expectDamagedMessage(withFileChecksum(changed), "data-byte-" + std::to_string(at));
    }
}

// The start routine runs unchecked (something must check first). From its first instructions on,
// before it sums the imports, a fault in its own code, which only a damaged byte can cause, is
// reported as damage: here a breakpoint instruction written right behind the store that puts its
// exception frame at the head of the thread's chain (fs:[0]).
TEST_F(StoredPartTest, FaultInTheStartRoutineIsReportedAsDamage) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    uint32_t entry = le32(file, le32(file, dosPeOffsetAt) + 24 + 16);
    size_t from = fileOffsetOf(file, entry), behindStore = 0;
    // "mov fs:[0], eax" (64 A3 disp32) or "mov fs:[0], reg" (64 89 modrm disp32), disp32 = 0.
    for (size_t at = from; !behindStore && at + 7 <= from + 64; ++at) {
        if (file[at] != 0x64) continue;
        if (file[at + 1] == 0xA3 && !le32(file, at + 2)) behindStore = at + 6;
        if (file[at + 1] == 0x89 && (file[at + 2] & 0xC7) == 0x05 && !le32(file, at + 3)) behindStore = at + 7;
    }
    ASSERT_NE(behindStore, 0u) << "the start routine does not put an exception frame first";
    Bytes changed = file;
    changed[behindStore] = 0xCC;  // int3
    expectDamagedMessage(withFileChecksum(changed), "start-routine-fault");
}

// Protections as VirtualQueryEx reports them.
const unsigned long pageReadOnly = 0x02, pageExecuteRead = 0x20, pageExecuteReadWrite = 0x40,
                    pageExecuteWriteCopy = 0x80;

struct Page {
    unsigned long address, size, protection;
};

std::vector<Page> parsePages(const std::string& output) {
    std::vector<Page> pages;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        Page page{};
        if (std::sscanf(line.c_str(), "page\t%lx\t%lx\t%lx", &page.address, &page.size, &page.protection) == 3)
            pages.push_back(page);
    }
    return pages;
}

// The protection of the page at this address, or 0 when no committed region covers it.
unsigned long protectionAt(const std::vector<Page>& pages, unsigned long address) {
    for (const Page& page : pages)
        if (address >= page.address && address - page.address < page.size) return page.protection;
    return 0;
}

TEST_F(StoredPartTest, NoPageOfTheRunningImageIsWritableAndExecutable) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    // A changed resource byte: the program itself (inflated and running) finds the package
    // checksum wrong and waits at its message box while the driver walks the image's pages.
    auto resources = sectionOf(file, RESOURCE_SECTION);
    ASSERT_TRUE(resources);
    uint32_t base = imageBaseOf(file);
    std::string output = expectDamagedMessage(withChangedByte(file, resources->rawOffset + resources->size / 2),
                                              "pages", {"image-pages", std::to_string(base)});
    std::vector<Page> pages = parsePages(output);
    ASSERT_FALSE(pages.empty()) << "no pages of the image were reported:\n" << output;
    for (const Page& page : pages)
        EXPECT_TRUE(page.protection != pageExecuteReadWrite && page.protection != pageExecuteWriteCopy)
            << std::hex << "page 0x" << page.address << " (+0x" << page.size << ") has protection 0x" << page.protection;
    auto code = sectionOf(file, STORED_CODE_SECTION), readOnly = sectionOf(file, STORED_READ_ONLY_SECTION),
         start = sectionOf(file, START_SECTION);
    ASSERT_TRUE(code && readOnly && start);
    for (uint32_t at = 0; at < code->size; at += 4096)
        EXPECT_EQ(protectionAt(pages, base + code->rva + at), pageExecuteRead) << "code page +" << at;
    for (uint32_t at = 0; at < readOnly->size; at += 4096)
        EXPECT_EQ(protectionAt(pages, base + readOnly->rva + at), pageReadOnly) << "read-only page +" << at;
    EXPECT_EQ(protectionAt(pages, base + start->rva), pageExecuteRead) << "start section";
    std::cout << "[ pages    ]\n" << output;
}

}  // namespace
}  // namespace e2e
