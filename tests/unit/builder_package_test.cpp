// Round trips of the package builder: the builder library writes a setup file, and the stub's own
// reader (DOS fields, checksum, inflater, record walk and interpreter) reads it back.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "package_writer.h"
#include "script/records.h"
#include "script/setup_state.h"
#include "source_tree.h"
#include "startup/package.h"
#include "support/heap.h"
#include "support/pointer_array.h"

namespace {

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
void writeText(const std::string& path, const std::string& text) { writeFile(path, Bytes(text.begin(), text.end())); }
Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* item = dir ? readdir(dir) : nullptr)
        if (item->d_name[0] != '.') names.push_back(item->d_name);
    if (dir) closedir(dir);
    return names;
}

// Pseudo-random bytes, compressible when `alphabet` is small.
Bytes makeBytes(size_t size, uint32_t seed, uint32_t alphabet) {
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16) % alphabet;
    return bytes;
}

// A stand-in stub: a DOS header and a body; the builder only needs "MZ" and the size limit.
Bytes makeStub(size_t size) {
    Bytes stub = makeBytes(size, 7, 256);
    stub[0] = 'M';
    stub[1] = 'Z';
    return stub;
}

struct MemoryReader {
    const Bytes* bytes;
    size_t at;
};
DWORD readMemory(void* context, BYTE* buffer, DWORD count) {
    MemoryReader* r = static_cast<MemoryReader*>(context);
    size_t n = std::min<size_t>(count, r->bytes->size() - r->at);
    std::memcpy(buffer, r->bytes->data() + r->at, n);
    r->at += n;
    return static_cast<DWORD>(n);
}
DWORD stubChecksum(const Bytes& file) {
    MemoryReader reader{&file, checksumStart};
    DWORD sum = 0;
    EXPECT_TRUE(computePackageChecksum(readMemory, &reader, static_cast<DWORD>(file.size()), &sum));
    return sum;
}

// One file entry as read back from the file area, with its data inflated by the stub.
struct ReadEntry {
    std::string path;  // folder names joined by '/'
    bool isFile;
    FileEntryData data;
    uint8_t flags;
    Bytes content;
};

class PackageRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkorin-pack-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        stubPath = root + "/stub.exe";
        writeFile(stubPath, makeStub(5000));
        mkdir((root + "/src").c_str(), 0755);
        ASSERT_NO_FATAL_FAILURE(openFreshState());
    }
    void TearDown() override {
        closeFreshState();
        std::system(("rm -rf '" + root + "'").c_str());
    }
    void source(const std::string& relative, const Bytes& bytes) {
        std::string path = root + "/src/" + relative;
        for (size_t slash = path.find('/', root.size() + 5); slash != std::string::npos; slash = path.find('/', slash + 1))
            mkdir(path.substr(0, slash).c_str(), 0755);
        writeFile(path, bytes);
    }
    // Builds from project text; the project file lives in root.
    bool build(const std::string& projectText, const std::string& output, std::string* err, unsigned threads = 0,
               uint64_t latestTime = 0, ProgressReport progress = nullptr) {
        writeText(root + "/setup.toml", projectText);
        Project project;
        if (!loadProject(root + "/setup.toml", &project, err)) return false;
        BuildSummary summary;
        BuildOptions options{stubPath, output, threads, SigningOptions{}, latestTime, std::move(progress)};
        return buildSetup(project, options, &summary, err);
    }
    // Walks the file area with the format's layouts; data is inflated by the stub's inflateBlock.
    std::vector<ReadEntry> readFileArea(const Bytes& file) {
        DosFields dos = readDosFields(file.data());
        PackageHeader header;
        std::memcpy(&header, file.data() + dos.packageOffset, sizeof(header));
        std::vector<ReadEntry> entries;
        size_t at = dos.packageOffset + header.fileAreaOffset, areaEnd = dos.packageOffset + header.scriptOffset;
        while (at < areaEnd) {
            FileGroupHeader group;
            std::memcpy(&group, file.data() + at, sizeof(group));
            size_t end = dos.packageOffset + group.groupEnd;
            at += sizeof(group) + std::strlen(reinterpret_cast<const char*>(file.data() + at + sizeof(group))) + 1;
            std::vector<std::string> stack;
            while (at < end) {
                ReadEntry e{};
                std::string name = reinterpret_cast<const char*>(file.data() + at);
                at += name.size() + 1;
                FileEntryHead head;
                std::memcpy(&head, file.data() + at, sizeof(head));
                at += sizeof(head);
                stack.resize(head.depth);
                for (const std::string& s : stack) e.path += s + "/";
                e.path += name;
                e.flags = head.flags;
                e.isFile = head.flags & fileEntryIsFile;
                if (!e.isFile) stack.push_back(name);
                else {
                    std::memcpy(&e.data, file.data() + at, sizeof(e.data));
                    at += sizeof(e.data);
                    e.content = extract(file.data() + at, e.data, head.flags);
                    at += e.data.storedSize;
                }
                entries.push_back(e);
            }
            EXPECT_EQ(at, end) << "entries must end exactly at groupEnd";
        }
        EXPECT_EQ(at, areaEnd);
        return entries;
    }
    Bytes extract(const uint8_t* data, const FileEntryData& d, uint8_t flags) {
        if (!(flags & fileEntryCompressed)) return Bytes(data, data + d.storedSize);
        Bytes out(d.size + 16);  // room beyond the size shows any overrun of the stream
        int produced = inflateBlock(data, d.storedSize, out.data(), static_cast<DWORD>(out.size()), nullptr, 0);
        EXPECT_EQ(produced, static_cast<int>(d.size));
        out.resize(produced < 0 ? 0 : produced);
        return out;
    }
    // Inflates the script as the stub does and walks it into SetupState.
    DWORD loadScript(const Bytes& file) {
        DosFields dos = readDosFields(file.data());
        PackageHeader header;
        std::memcpy(&header, file.data() + dos.packageOffset, sizeof(header));
        size_t at = dos.packageOffset + header.scriptOffset;
        DWORD scriptSize;
        std::memcpy(&scriptSize, file.data() + at, 4);
        Bytes compressed(dos.scriptReadSize);  // zero-filled; the end of the file cuts the read short
        size_t available = file.size() - at - 4;
        std::memcpy(compressed.data(), file.data() + at + 4, std::min<size_t>(available, compressed.size()));
        Bytes script(scriptSize);
        int produced = inflateBlock(compressed.data(), static_cast<DWORD>(std::min<size_t>(available, compressed.size())),
                                    script.data(), scriptSize, nullptr, 0);
        EXPECT_EQ(produced, static_cast<int>(scriptSize));
        EXPECT_EQ(loadU32(script.data() + script.size() - 4), scriptEnd);
        return walkScript(script.data(), scriptSize, applyRecord);
    }

    std::string root, stubPath;
};

const char* const basicProject = R"(
[product]
name = "Round Trip"
title = "Round Trip 2.5"
previous_install = { root = "HKCU", key = "Software\\RT", value = "Path" }

[pages]
license = true
start_menu = true
finish = false

[[variables]]
name = "InstallPath"
value = "<ProgramFiles>\\RT"

[[variables]]
name = "Second"
value = "two"

[[files]]
destination = "%InstallPath%"
source = "src"
store = ["raw/*"]
)";

TEST_F(PackageRoundTrip, StubReaderAcceptsThePackageAndGetsEveryFileBack) {
    std::map<std::string, Bytes> sources = {
        {"a.txt", makeBytes(3000, 1, 4)},          {"empty.txt", {}},
        {"big/large.bin", makeBytes(1536 * 1024 + 7, 2, 16)},
        {"big/deeper/z.txt", makeBytes(10, 3, 2)}, {"noise.bin", makeBytes(4096, 4, 256)},
        {"raw/kept.txt", makeBytes(2000, 5, 3)}};
    for (const auto& [path, bytes] : sources) source(path, bytes);
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err, 4)) << err;
    Bytes file = readFile(root + "/setup.exe");

    DosFields dos = readDosFields(file.data());
    EXPECT_EQ(dos.packageOffset, 5000);
    EXPECT_EQ(dos.fileChecksum, stubChecksum(file));
    PackageHeader header;
    std::memcpy(&header, file.data() + 5000, sizeof(header));
    EXPECT_EQ(+header.fileAreaOffset, 12u);

    std::vector<ReadEntry> entries = readFileArea(file);
    std::vector<std::string> order;
    uint64_t total = 0;
    for (const ReadEntry& e : entries) {
        order.push_back(e.path + (e.isFile ? "" : "/"));
        if (!e.isFile) continue;
        ASSERT_TRUE(sources.count(e.path)) << e.path;
        EXPECT_EQ(e.content, sources[e.path]) << e.path;
        EXPECT_EQ(+e.data.size, sources[e.path].size());
        total += e.data.size;
    }
    std::vector<std::string> expected = {"a.txt", "big/", "big/deeper/", "big/deeper/z.txt", "big/large.bin",
                                         "empty.txt", "noise.bin", "raw/", "raw/kept.txt"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(+header.requiredSpace, total);
    // Compressible text is compressed; noise, the empty file and the "store" pattern are not.
    std::map<std::string, uint8_t> flags;
    for (const ReadEntry& e : entries) flags[e.path] = e.flags;
    EXPECT_EQ(flags["a.txt"], fileEntryIsFile | fileEntryCompressed);
    EXPECT_EQ(flags["big/large.bin"], fileEntryIsFile | fileEntryCompressed);
    EXPECT_EQ(flags["noise.bin"], fileEntryIsFile);
    EXPECT_EQ(flags["empty.txt"], fileEntryIsFile);
    EXPECT_EQ(flags["raw/kept.txt"], fileEntryIsFile);
    EXPECT_EQ(flags["big/"], 0);
}

TEST_F(PackageRoundTrip, CompressedStreamsEndWithSyncFlushAndNoTrailer) {
    source("a.txt", makeBytes(5000, 9, 4));
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err)) << err;
    Bytes file = readFile(root + "/setup.exe");
    std::vector<ReadEntry> entries = readFileArea(file);
    ASSERT_EQ(entries.size(), 1u);
    // Locate the stream: it sits right before the script block.
    DosFields dos = readDosFields(file.data());
    PackageHeader header;
    std::memcpy(&header, file.data() + dos.packageOffset, sizeof(header));
    size_t streamEnd = dos.packageOffset + header.scriptOffset;
    const uint8_t* stream = file.data() + streamEnd - entries[0].data.storedSize;
    EXPECT_EQ(stream[0], 0x78);
    EXPECT_EQ(stream[1], 0xDA);
    EXPECT_EQ(Bytes(file.data() + streamEnd - 4, file.data() + streamEnd), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
    // The script read size covers both the inflated script and its stream.
    size_t streamSize = file.size() - streamEnd - 4;
    EXPECT_EQ(dos.scriptReadSize, std::max<size_t>(loadU32(file.data() + streamEnd), streamSize));
}

TEST_F(PackageRoundTrip, ScriptRecordsFillSetupState) {
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err)) << err;
    // Two variables and the uninstaller's name, product, pages, languages, the 127 English texts.
    EXPECT_EQ(loadScript(readFile(root + "/setup.exe")), 6u + 127u);
    EXPECT_STREQ(listAt(&state.messageTexts[9], 11), "You need administrative privileges to install the program.");
    EXPECT_STREQ(state.productName, "Round Trip");
    EXPECT_STREQ(state.productTitle, "Round Trip 2.5");
    EXPECT_STREQ(state.setupCaption, "Round Trip 2.5 Setup");
    ASSERT_EQ(listCount(&state.variableNames), 3);
    EXPECT_STREQ(listAt(&state.variableNames, 2), "%UninstallerFileName%");
    EXPECT_STREQ(listAt(&state.variableValues, 2), "uninstall.exe");
    EXPECT_STREQ(listAt(&state.variableNames, 0), "%InstallPath%");
    EXPECT_STREQ(listAt(&state.variableValues, 0), "<ProgramFiles>\\RT");
    EXPECT_STREQ(listAt(&state.variableNames, 1), "%Second%");
    EXPECT_STREQ(listAt(&state.variableValues, 1), "two");
    const bool enabled[wizardPageCount] = {false, true, true, false, false, false, true, false, true, true, true, false};
    for (uint32_t i = 0; i < wizardPageCount; ++i) {
        EXPECT_EQ(state.pages[i].enabled != 0, enabled[i]) << "page " << i;
        EXPECT_EQ(state.pages[i].dialogId, static_cast<int>(129 + i)) << "page " << i;
    }
}

TEST_F(PackageRoundTrip, ChecksumCoversEveryByteFromFortyButNotThePatchedFields) {
    source("a.txt", makeBytes(700, 1, 4));
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err)) << err;
    const Bytes file = readFile(root + "/setup.exe");
    const DWORD original = stubChecksum(file);
    ASSERT_EQ(original, readDosFields(file.data()).fileChecksum);
    for (size_t at : {18, 19, 28, 29, 30, 31, 36, 37, 38, 39}) {
        Bytes changed = file;
        changed[at] ^= 0x5A;
        EXPECT_EQ(stubChecksum(changed), original) << "byte " << at;
    }
    for (size_t at : {size_t{40}, size_t{41}, size_t{4999}, size_t{5000}, file.size() / 2, file.size() - 1}) {
        Bytes changed = file;
        changed[at] ^= 0x01;
        EXPECT_NE(stubChecksum(changed), original) << "byte " << at;
    }
}

TEST_F(PackageRoundTrip, FileEntriesCarryTimesAttributesAndVersionZeroForPlainFiles) {
    source("ro.txt", makeBytes(100, 1, 4));
    source("rw.txt", makeBytes(100, 2, 4));
    std::string ro = root + "/src/ro.txt";
    struct timespec times[2] = {{1600000000, 0}, {1700000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, ro.c_str(), times, 0), 0);
    chmod(ro.c_str(), 0444);
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err)) << err;
    std::vector<ReadEntry> entries = readFileArea(readFile(root + "/setup.exe"));
    ASSERT_EQ(entries.size(), 2u);
    const FileEntryData& d = entries[0].data;
    uint64_t unixEpoch = 116444736000000000ull;  // 1970-01-01 in 100-ns ticks since 1601
    uint64_t written = unixEpoch + 1700000000ull * 10000000ull + 1234567;
    EXPECT_EQ((static_cast<uint64_t>(d.lastWriteTime.high) << 32) | d.lastWriteTime.low, written);
    EXPECT_EQ((static_cast<uint64_t>(d.lastAccessTime.high) << 32) | d.lastAccessTime.low, written);
    // The creation time on the build machine is when the file was checked out or copied there.
    EXPECT_EQ((static_cast<uint64_t>(d.creationTime.high) << 32) | d.creationTime.low, written);
    EXPECT_EQ(+d.attributes, 0x01u);
    EXPECT_EQ(+entries[1].data.attributes, 0x80u);
    EXPECT_EQ(+(d.versionMs | d.versionLs | d.sizeHigh), 0u);
    EXPECT_EQ(unixToFileTime(0, 0), unixEpoch);
    EXPECT_EQ(unixToFileTime(-11644473601, 0), 0u);
}

uint64_t ticksOf(const PackedFileTime& time) { return (static_cast<uint64_t>(time.high) << 32) | time.low; }

TEST_F(PackageRoundTrip, ALatestTimeBoundsLaterFileTimesAndLeavesEarlierOnes) {
    source("new.txt", makeBytes(10, 1, 4));
    source("old.txt", makeBytes(10, 2, 4));
    struct timespec newer[2] = {{1800000000, 0}, {1800000000, 5000}}, older[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (root + "/src/new.txt").c_str(), newer, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (root + "/src/old.txt").c_str(), older, 0), 0);
    std::string err;
    uint64_t latest = unixToFileTime(1700000000, 0);
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err, 0, latest)) << err;
    std::vector<ReadEntry> entries = readFileArea(readFile(root + "/setup.exe"));
    ASSERT_EQ(entries.size(), 2u);
    ASSERT_EQ(entries[0].path, "new.txt");
    const FileEntryData& d = entries[0].data;
    for (PackedFileTime t : {d.creationTime, d.lastAccessTime, d.lastWriteTime}) EXPECT_EQ(ticksOf(t), latest);
    EXPECT_EQ(ticksOf(entries[1].data.lastWriteTime), unixToFileTime(1000000000, 0));
    ASSERT_TRUE(build(basicProject, root + "/free.exe", &err)) << err;
    EXPECT_EQ(ticksOf(readFileArea(readFile(root + "/free.exe"))[0].data.lastWriteTime), unixToFileTime(1800000000, 5000));
}

TEST_F(PackageRoundTrip, ProgressIsReportedAfterEveryFileWithTheTotalsKnownFromTheStart) {
    source("a.bin", makeBytes(3000000, 1, 256));  // several compression blocks
    source("b/c.txt", makeBytes(1000, 2, 4));
    source("b/empty.txt", {});
    std::vector<BuildProgress> reports;
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err, 2, 0,
                      [&reports](const BuildProgress& p) { reports.push_back(p); })) << err;
    ASSERT_EQ(reports.size(), 3u);
    uint64_t sizes[] = {3000000, 1000, 0}, done = 0;
    for (size_t i = 0; i < reports.size(); ++i) {
        done += sizes[i];
        EXPECT_EQ(reports[i].filesDone, i + 1);
        EXPECT_EQ(reports[i].files, 3u);
        EXPECT_EQ(reports[i].bytesDone, done);
        EXPECT_EQ(reports[i].bytes, 3001000u);
    }
}

TEST_F(PackageRoundTrip, NamesComeInByteOrderOfTheirUtf8TextWhateverTheCreationOrder) {
    // Created in an order unlike the byte order; the listing order of the folder is the system's.
    // The package holds the names in the project's code page (1252 here: Ä is C4, ü FC).
    for (const char* name : {"\xC3\xBC.txt", "Z.txt", "a.txt", "_.txt", "\xC3\x84.txt", "B.txt"})
        source(name, makeBytes(10, 3, 4));
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err)) << err;
    std::vector<std::string> paths;
    for (const ReadEntry& e : readFileArea(readFile(root + "/setup.exe"))) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"B.txt", "Z.txt", "_.txt", "a.txt", "\xC4.txt", "\xFC.txt"}));
}

// The setup program creates files through the ANSI functions of the system: a name goes into the
// package in the code page of the first offered language, or is refused when it has no place there.
TEST_F(PackageRoundTrip, EntryNamesAreWrittenInTheProjectsCodePage) {
    source("\xE3\x82\xBD/\xE8\xA1\xA8.txt", Bytes{'x'});  // ソ/表.txt
    std::string err;
    std::string japanese = std::string(basicProject) + "\n[languages]\noffered = [\"Japanese\"]\n";
    ASSERT_TRUE(build(japanese, root + "/setup.exe", &err)) << err;
    std::vector<std::string> paths;
    for (const ReadEntry& e : readFileArea(readFile(root + "/setup.exe"))) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"\x83\x5C", "\x83\x5C/\x95\x5C.txt"}));
    EXPECT_FALSE(build(basicProject, root + "/western.exe", &err));
    EXPECT_EQ(err, root + "/src/\xE3\x82\xBD: the name cannot be written in the project's code page: character "
                          "U+30BD '\xE3\x82\xBD' is not in code page 1252");
    EXPECT_NE(access((root + "/western.exe").c_str(), F_OK), 0) << "nothing is written";
}

TEST_F(PackageRoundTrip, SameInputsGiveIdenticalFilesWhateverTheThreadCount) {
    for (int i = 0; i < 12; ++i) source("f" + std::to_string(i) + ".txt", makeBytes(20000 + i * 100, i, 5));
    std::string err;
    ASSERT_TRUE(build(basicProject, root + "/one.exe", &err, 1)) << err;
    ASSERT_TRUE(build(basicProject, root + "/two.exe", &err, 5)) << err;
    Bytes one = readFile(root + "/one.exe");
    EXPECT_GT(one.size(), 5000u);
    EXPECT_EQ(one, readFile(root + "/two.exe"));
}

// Text of words drawn from a small vocabulary: compresses well, and quickly.
Bytes makeWords(size_t size, uint32_t seed) {
    static const char* const words[] = {"alpha ", "beta ", "gamma ", "delta\r\n", "epsilon ", "zeta ", "eta ", "theta "};
    Bytes bytes;
    while (bytes.size() < size) {
        const char* word = words[(seed = seed * 1103515245u + 12345u) >> 29];
        bytes.insert(bytes.end(), word, word + std::strlen(word));
    }
    bytes.resize(size);
    return bytes;
}

TEST_F(PackageRoundTrip, FilesCutIntoBlocksAreIdenticalForAnyThreadCountAndInflateWhole) {
    std::map<std::string, Bytes> sources = {{"three.bin", makeWords(2 * 1024 * 1024 + 1, 11)},
                                            {"two.bin", makeWords(1024 * 1024, 12)},
                                            {"small.txt", makeBytes(70000, 13, 4)},
                                            {"empty.txt", {}}};
    for (const auto& [path, bytes] : sources) source(path, bytes);
    std::string err;
    std::vector<Bytes> builds;
    for (unsigned threads : {1u, 2u, 3u}) {
        std::string output = root + "/j" + std::to_string(threads) + ".exe";
        ASSERT_TRUE(build(basicProject, output, &err, threads)) << err;
        builds.push_back(readFile(output));
    }
    EXPECT_EQ(builds[0], builds[1]) << "-j1 and -j2";
    EXPECT_EQ(builds[0], builds[2]) << "-j1 and -j3";
    for (const ReadEntry& e : readFileArea(builds[1])) {
        if (!e.isFile) continue;
        EXPECT_EQ(e.content, sources[e.path]) << e.path;
        if (e.path != "empty.txt") {
            EXPECT_EQ(e.flags, fileEntryIsFile | fileEntryCompressed) << e.path;
        }
    }
}

TEST_F(PackageRoundTrip, ModesAndGroupFieldsReachTheGroupHeader) {
    source("a.txt", makeBytes(100, 1, 4));
    std::string project = std::string(basicProject) +
                          "\n[[files]]\ndestination = \"<System>\"\nsource = \"src\"\noverwrite = \"never\"\n"
                          "compare_by = \"version\"\nshared = true\ncompression = \"deflate\"\n";
    std::string err;
    ASSERT_TRUE(build(project, root + "/setup.exe", &err)) << err;
    Bytes file = readFile(root + "/setup.exe");
    DosFields dos = readDosFields(file.data());
    size_t first = dos.packageOffset + 12;
    FileGroupHeader g1, g2;
    std::memcpy(&g1, file.data() + first, sizeof(g1));
    std::memcpy(&g2, file.data() + dos.packageOffset + g1.groupEnd, sizeof(g2));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data() + first + 20)), "%InstallPath%");
    EXPECT_EQ((std::vector<uint32_t>{g1.overwriteMode, g1.compareBy, g1.sharedGroup, g1.reserved}),
              (std::vector<uint32_t>{0, 0, 0, 0}));
    EXPECT_EQ((std::vector<uint32_t>{g2.overwriteMode, g2.compareBy, g2.sharedGroup, g2.reserved}),
              (std::vector<uint32_t>{overwriteNever, compareByVersion, 1, 0}));
    std::vector<ReadEntry> entries = readFileArea(file);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].flags, fileEntryIsFile | fileEntryCompressed);  // "deflate" compresses anyway
}

TEST_F(PackageRoundTrip, FailuresLeaveNoOutputAndNoTemporaryFile) {
    std::string err;
    writeFile(stubPath, makeStub(65536));
    EXPECT_FALSE(build(basicProject, root + "/setup.exe", &err));
    EXPECT_EQ(err, stubPath + ": the stub is 65536 bytes; it must be smaller than 65536 bytes, since the package "
                              "offset is 16 bits");
    writeFile(stubPath, Bytes{'M', 'Z', 0, 0});
    EXPECT_FALSE(build(basicProject, root + "/setup.exe", &err));
    EXPECT_EQ(err, stubPath + ": not a program image (no DOS header)");
    // A source entry that is no file fails the build after the output was begun.
    writeFile(stubPath, makeStub(65535));
    ASSERT_EQ(mkfifo((root + "/src/pipe").c_str(), 0644), 0);
    EXPECT_FALSE(build(basicProject, root + "/setup.exe", &err));
    EXPECT_EQ(err, root + "/src/pipe: neither a file nor a folder");
    unlink((root + "/src/pipe").c_str());
    std::vector<std::string> names = folderNames(root);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"setup.toml", "src", "stub.exe"}));
    ASSERT_TRUE(build(basicProject, root + "/setup.exe", &err)) << err;  // the largest stub allowed
    EXPECT_EQ(readDosFields(readFile(root + "/setup.exe").data()).packageOffset, 65535);
}

TEST_F(PackageRoundTrip, DeviceNamesAndPatternsAreRefusedAsEntryNames) {
    std::string err;
    for (const char* name : {"CON", "nul", "Aux.txt", "prn.log.txt", "COM1", "lpt9.dat", "*", "a?b", "sub/con"}) {
        source(std::string("bad/") + name, Bytes{'x'});
        EXPECT_FALSE(build(basicProject, root + "/setup.exe", &err)) << name;
        EXPECT_EQ(err, root + "/src/bad/" + name +
                           ": the name is a device name or holds * or ?, which Windows cannot create");
        std::system(("rm -rf '" + root + "/src/bad'").c_str());
    }
    EXPECT_NE(access((root + "/setup.exe").c_str(), F_OK), 0) << "nothing is written";
    for (const char* name : {"CONSOLE", "com10", "com0", "lpt", "nul_", "auxiliary.txt", "x.con"})
        source(std::string("good/") + name, Bytes{'x'});
    EXPECT_TRUE(build(basicProject, root + "/setup.exe", &err)) << err;
}

TEST_F(PackageRoundTrip, FilesOf4GiBOrMoreAreRefusedBeforeAnyDataIsRead) {
    // A sparse file: its size is 4 GiB, its blocks on disk are none.
    std::string big = root + "/src/big.bin";
    source("big.bin", Bytes{});
    ASSERT_EQ(truncate(big.c_str(), 0x100000000LL), 0);
    std::string err;
    EXPECT_FALSE(build(basicProject, root + "/setup.exe", &err));
    EXPECT_EQ(err, big + ": too large (a packaged file must be smaller than 4 GiB)");
    EXPECT_NE(access((root + "/setup.exe").c_str(), F_OK), 0) << "nothing is written";
}

}  // namespace
