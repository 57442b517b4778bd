// The file-table reader: well-formed tables walk item by item, and every way a table can break the
// package's bounds ends the walk as damaged without reading past the bytes it was given.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/directory_chain.h"
#include "install/file_table.h"

namespace {
using Bytes = std::vector<BYTE>;

// Package bytes from the package start: the 12-byte header, then groups and entries as the
// builder lays them out.
struct Table {
    Bytes bytes = Bytes(sizeof(PackageHeader));

    void put32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<BYTE>(v >> (8 * i)));
    }
    void putText(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    // Starts a group; returns where its groupEnd lies, for endGroup.
    size_t group(const std::string& destination, uint32_t mode = 0, uint32_t compareBy = 0, uint32_t shared = 0) {
        size_t at = bytes.size();
        put32(0);
        put32(mode);
        put32(compareBy);
        put32(shared);
        put32(0);
        putText(destination);
        return at;
    }
    void endGroup(size_t at) { set32(at, static_cast<uint32_t>(bytes.size())); }
    void set32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<BYTE>(v >> (8 * i));
    }
    void folder(const std::string& name, uint32_t depth) {
        putText(name);
        put32(depth);
        bytes.push_back(0);
    }
    // A file entry; returns the position of its record (attributes first).
    size_t file(const std::string& name, uint32_t depth, const Bytes& data, BYTE flags = fileEntryIsFile,
                uint32_t size = UINT32_MAX) {
        putText(name);
        put32(depth);
        bytes.push_back(flags);
        size_t record = bytes.size();
        FileEntryData entry{};
        entry.attributes = 0x80;
        entry.lastWriteTime = {0x11223344, 0x01D00000};
        entry.size = size == UINT32_MAX ? static_cast<uint32_t>(data.size()) : size;
        entry.versionMs = 0x00010002;
        entry.versionLs = 0x00030004;
        entry.storedSize = static_cast<uint32_t>(data.size());
        const BYTE* raw = reinterpret_cast<const BYTE*>(&entry);
        bytes.insert(bytes.end(), raw, raw + sizeof(entry));
        bytes.insert(bytes.end(), data.begin(), data.end());
        return record;
    }
    PackageHeader header() const { return {sizeof(PackageHeader), static_cast<uint32_t>(bytes.size()), 0}; }
};

// An item as read, with its text copied out of the bytes it pointed into.
struct Read : TableItem {
    std::string name;
};

// Reads items until the end or damage, offering all bytes up to the package's end (an exact-size
// copy: AddressSanitizer sees any read past it). Returns the kinds in order.
std::vector<DWORD> walk(const Table& table, std::vector<Read>* items = nullptr) {
    PackageHeader header = table.header();
    Bytes bytes = table.bytes;
    TableCursor cursor;
    std::vector<DWORD> kinds;
    if (!startFileTable(&cursor, header, 0, static_cast<DWORD>(bytes.size()))) return {tableDamaged};
    for (int guard = 0; guard < 1000; ++guard) {
        Read item;
        DWORD at = cursor.at;
        DWORD kind = readTableItem(&cursor, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &item);
        kinds.push_back(kind);
        if (item.text) item.name = item.text;
        item.text = nullptr;
        if (items) items->push_back(item);
        if (kind == tableEnd || kind == tableDamaged) {
            EXPECT_EQ(cursor.at, at) << "the cursor stays at the end or the damage";
            break;
        }
        EXPECT_GT(cursor.at, at) << "every item moves the cursor";
    }
    return kinds;
}

const std::vector<DWORD> damagedAfterGroup = {tableGroup, tableDamaged};

TEST(FileTableReader, WalksGroupsFoldersAndFilesInTableOrder) {
    Table t;
    size_t g1 = t.group("%InstallPath%", overwriteIfNewer, compareByVersion, 0);
    t.folder("doc", 0);
    t.folder("images", 1);
    size_t record = t.file("logo.gif", 2, {1, 2, 3, 4, 5});
    t.file("readme.txt", 0, {9}, fileEntryIsFile | fileEntryCompressed, 100);
    t.endGroup(g1);
    size_t g2 = t.group("<System>", overwriteAlways, compareByTime, 1);
    t.endGroup(g2);  // a group without entries
    std::vector<Read> items;
    EXPECT_EQ(walk(t, &items),
              (std::vector<DWORD>{tableGroup, tableFolder, tableFolder, tableFile, tableFile, tableGroup, tableEnd}));
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0].name, "%InstallPath%");
    EXPECT_EQ(items[0].at, sizeof(PackageHeader));
    EXPECT_EQ(DWORD{items[0].group.overwriteMode}, static_cast<DWORD>(overwriteIfNewer));
    EXPECT_EQ(DWORD{items[0].group.compareBy}, static_cast<DWORD>(compareByVersion));
    EXPECT_EQ(DWORD{items[0].group.groupEnd}, g2);
    EXPECT_EQ(items[2].name, "images");
    EXPECT_EQ(items[2].depth, 1u);
    EXPECT_EQ(items[3].name, "logo.gif");
    EXPECT_EQ(items[3].depth, 2u);
    EXPECT_EQ(items[3].flags, fileEntryIsFile);
    EXPECT_EQ(items[3].dataAt, record + sizeof(FileEntryData));
    EXPECT_EQ(DWORD{items[3].file.storedSize}, 5u);
    EXPECT_EQ(DWORD{items[3].file.lastWriteTime.high}, 0x01D00000u);
    EXPECT_EQ(DWORD{items[3].file.versionLs}, 0x00030004u);
    EXPECT_EQ(DWORD{items[4].file.size}, 100u);
    EXPECT_EQ(items[4].flags, fileEntryIsFile | fileEntryCompressed);
    EXPECT_EQ(items[5].name, "<System>");
    EXPECT_EQ(DWORD{items[5].group.sharedGroup}, 1u);
}

TEST(FileTableReader, AnEmptyAreaEndsAtOnce) {
    Table t;
    EXPECT_EQ(walk(t), std::vector<DWORD>{tableEnd});
}

TEST(FileTableReader, TheAreaMustLieWithinThePackageAndTheFile) {
    Table t;
    size_t g = t.group("C:\\A");
    t.endGroup(g);
    TableCursor cursor;
    DWORD size = static_cast<DWORD>(t.bytes.size());
    EXPECT_TRUE(startFileTable(&cursor, {12, size, 0}, 0, size));
    EXPECT_TRUE(startFileTable(&cursor, {12, size, 0}, 100, size + 100)) << "package behind the image";
    EXPECT_FALSE(startFileTable(&cursor, {12, size, 0}, 100, size + 99)) << "area past the end of the file";
    EXPECT_FALSE(startFileTable(&cursor, {8, size, 0}, 0, size)) << "area overlapping the package header";
    EXPECT_FALSE(startFileTable(&cursor, {size, 12, 0}, 0, size)) << "area ending before it starts";
    EXPECT_FALSE(startFileTable(&cursor, {12, 0xFFFFFFF0u, 0}, 0xFFFF, size)) << "offsets that overflow";
}

TEST(FileTableReader, GroupEndsOutsideTheAreaAreDamage) {
    for (uint32_t groupEnd : {0u, 12u, 20u, 32u, 0xFFFFFFFFu}) {
        Table t;
        size_t g = t.group("C:\\A");
        t.file("a.txt", 0, {1});
        t.set32(g, groupEnd);
        EXPECT_EQ(walk(t), std::vector<DWORD>{tableDamaged}) << "groupEnd " << groupEnd;
    }
    Table runaway;  // a group that claims the bytes beyond the area (here: the script block)
    size_t g = runaway.group("C:\\A");
    runaway.endGroup(g);
    runaway.set32(g, static_cast<uint32_t>(runaway.bytes.size() + 1));
    EXPECT_EQ(walk(runaway), std::vector<DWORD>{tableDamaged});
}

TEST(FileTableReader, TextsMustEndWithinTheirGroup) {
    Table cutDestination;
    size_t g = cutDestination.group("C:\\Long\\Destination");
    cutDestination.set32(g, static_cast<uint32_t>(g + sizeof(FileGroupHeader) + 5));  // ends inside the text
    cutDestination.bytes.resize(g + sizeof(FileGroupHeader) + 5);
    EXPECT_EQ(walk(cutDestination), std::vector<DWORD>{tableDamaged});

    Table cutName;
    g = cutName.group("C:\\A");
    cutName.bytes.insert(cutName.bytes.end(), {'a', 'b', 'c'});  // a name without terminator
    cutName.endGroup(g);
    cutName.folder("next", 0);  // beyond the group: its zero must not end the name
    EXPECT_EQ(walk(cutName), damagedAfterGroup);
}

TEST(FileTableReader, EntriesMustFitTheirGroup) {
    Table cutHead;
    size_t g = cutHead.group("C:\\A");
    cutHead.folder("doc", 0);
    cutHead.set32(g, static_cast<uint32_t>(cutHead.bytes.size() - 2));
    cutHead.bytes.resize(cutHead.bytes.size() - 2);
    EXPECT_EQ(walk(cutHead), damagedAfterGroup);

    Table cutRecord;
    g = cutRecord.group("C:\\A");
    cutRecord.file("a.txt", 0, {});
    cutRecord.set32(g, static_cast<uint32_t>(cutRecord.bytes.size() - 1));
    cutRecord.bytes.resize(cutRecord.bytes.size() - 1);
    EXPECT_EQ(walk(cutRecord), damagedAfterGroup);
}

TEST(FileTableReader, StoredDataMustEndWithinTheGroup) {
    Table t;
    size_t g = t.group("C:\\A");
    size_t record = t.file("a.bin", 0, {1, 2, 3, 4});
    t.endGroup(g);
    t.folder("after", 0);  // the group's end is not the area's: data may not run into the next group
    Table exact = t;
    EXPECT_EQ(walk(exact).back(), static_cast<DWORD>(tableDamaged)) << "a folder entry outside any group";
    size_t storedAt = record + offsetof(FileEntryData, storedSize);
    for (uint32_t stored : {5u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Table bad = t;
        bad.set32(storedAt, stored);
        EXPECT_EQ(walk(bad), damagedAfterGroup) << "storedSize " << stored;
    }
}

TEST(FileTableReader, DepthsNeedTheFoldersBeforeThem) {
    Table t;
    size_t g = t.group("C:\\A");
    t.folder("a", 0);
    t.folder("b", 1);
    t.file("c", 2, {});
    t.folder("d", 0);  // back at level 0: level 2 of "b" is no longer open
    t.file("e", 1, {});
    t.endGroup(g);
    EXPECT_EQ(walk(t), (std::vector<DWORD>{tableGroup, tableFolder, tableFolder, tableFile, tableFolder, tableFile,
                                           tableEnd}));
    for (uint32_t depth : {1u, 7u, 0xFFFFFFFFu}) {
        Table bad;
        g = bad.group("C:\\A");
        bad.file("x", depth, {});
        bad.endGroup(g);
        EXPECT_EQ(walk(bad), damagedAfterGroup) << "depth " << depth;
    }
    Table stale;
    g = stale.group("C:\\A");
    stale.folder("a", 0);
    stale.folder("b", 1);
    stale.folder("d", 0);
    stale.file("x", 2, {});
    stale.endGroup(g);
    EXPECT_EQ(walk(stale).back(), static_cast<DWORD>(tableDamaged));
    Table nextGroup;  // every group starts at its destination again
    g = nextGroup.group("C:\\A");
    nextGroup.folder("a", 0);
    nextGroup.endGroup(g);
    g = nextGroup.group("C:\\B");
    nextGroup.file("x", 1, {});
    nextGroup.endGroup(g);
    EXPECT_EQ(walk(nextGroup).back(), static_cast<DWORD>(tableDamaged));
}

TEST(FileTableReader, NamesAreSinglePathComponents) {
    for (const char* name : {"", ".", "..", "...", "..\\..\\Windows", "a\\b", "a/b", "C:evil"}) {
        Table t;
        size_t g = t.group("C:\\A");
        t.file(name, 0, {1});
        t.endGroup(g);
        EXPECT_EQ(walk(t), damagedAfterGroup) << name;
    }
    for (const char* name : {".profile", "a..b", "x"}) {
        Table t;
        size_t g = t.group("C:\\A");
        t.file(name, 0, {1});
        t.endGroup(g);
        EXPECT_EQ(walk(t), (std::vector<DWORD>{tableGroup, tableFile, tableEnd})) << name;
    }
}

// In code page 932 a second byte may be a backslash or a bar: 表 (95 5C),
// ポ (83 7C) and ソ (83 5C) name files of their own; under a single-byte code page the same bytes
// hold a separator and a refused character.
TEST(DoubleBytePaths, FileTableNamesWithSecondBytesOfRefusedCharacters) {
    for (UINT page : {932u, 1252u}) {
        standinSetCodePage(page);
        for (const char* name : {"\x95\x5C.txt", "\x83\x7C", "a\x83\x5C"}) {
            Table t;
            size_t g = t.group("C:\\A");
            t.folder(name, 0);
            t.file(name, 1, {1});
            t.endGroup(g);
            std::vector<DWORD> expected = page == 932 ? std::vector<DWORD>{tableGroup, tableFolder, tableFile, tableEnd}
                                                      : damagedAfterGroup;
            EXPECT_EQ(walk(t), expected) << page << " " << name;
        }
    }
    standinSetCodePage(1252);
}

// The system opens a device for these names, matches several files with a pattern, or drops a
// final dot or blank: no entry of a package may name one, as a file or as a folder.
TEST(FileTableReader, DeviceNamesPatternsAndRefusedCharactersAreDamage) {
    const char* const refused[] = {"CON", "NUL", "COM1", "aux.txt", "Lpt9.log", "con .txt", "prn", "CONOUT$",
                                   "clock$.dat", "nul.tar.gz", "*", "?", "a*b", "a?.txt", "a|b", "a<b", "a>b",
                                   "say\"hi\"", "tab\there", "trail.", "trail "};
    for (const char* name : refused) {
        Table asFile, asFolder;
        size_t g = asFile.group("C:\\A");
        asFile.file(name, 0, {1});
        asFile.endGroup(g);
        EXPECT_EQ(walk(asFile), damagedAfterGroup) << "file " << name;
        g = asFolder.group("C:\\A");
        asFolder.folder(name, 0);
        asFolder.endGroup(g);
        EXPECT_EQ(walk(asFolder), damagedAfterGroup) << "folder " << name;
    }
    for (const char* name : {"CONSOLE", "COM10", "nul_file", "auxiliary.txt", "lpt", "com", "a.con", "x y"}) {
        Table t;
        size_t g = t.group("C:\\A");
        t.file(name, 0, {1});
        t.endGroup(g);
        EXPECT_EQ(walk(t), (std::vector<DWORD>{tableGroup, tableFile, tableEnd})) << name;
    }
}

TEST(FileTableReader, ACompressedSizeBeyondWhatItsStreamCanYieldIsDamage) {
    Table fits, tooLarge, raw;
    size_t g = fits.group("C:\\A");
    fits.file("a", 0, Bytes(10), fileEntryIsFile | fileEntryCompressed, 10320);
    fits.endGroup(g);
    EXPECT_EQ(walk(fits).back(), static_cast<DWORD>(tableEnd));
    g = tooLarge.group("C:\\A");
    tooLarge.file("a", 0, Bytes(10), fileEntryIsFile | fileEntryCompressed, 10321);
    tooLarge.endGroup(g);
    EXPECT_EQ(walk(tooLarge), damagedAfterGroup);
    g = raw.group("C:\\A");
    raw.file("a", 0, Bytes(10), fileEntryIsFile, 0xFFFFFFFFu);  // raw data: the size is not used
    raw.endGroup(g);
    EXPECT_EQ(walk(raw).back(), static_cast<DWORD>(tableEnd));
}

TEST(FileTableReader, ReadsNoFurtherThanTheBytesOffered) {
    Table t;
    size_t g = t.group("C:\\A");
    t.file("name.txt", 0, {1, 2});
    t.endGroup(g);
    TableCursor cursor;
    ASSERT_TRUE(startFileTable(&cursor, t.header(), 0, static_cast<DWORD>(t.bytes.size())));
    TableItem item;
    ASSERT_EQ(readTableItem(&cursor, t.bytes.data() + cursor.at, 1000, &item), static_cast<DWORD>(tableGroup));
    DWORD at = cursor.at;
    for (DWORD offered : {0u, 4u, 9u, 9u + 5u, 9u + 5u + 47u}) {
        Bytes window(t.bytes.begin() + at, t.bytes.begin() + at + offered);  // exact size for ASan
        EXPECT_EQ(readTableItem(&cursor, window.data(), offered, &item), static_cast<DWORD>(tableDamaged)) << offered;
        EXPECT_EQ(cursor.at, at);
    }
    EXPECT_EQ(readTableItem(&cursor, t.bytes.data() + at, 9 + 5 + 48, &item), static_cast<DWORD>(tableFile));
}

TEST(DirectoryChain, LevelsBeginAfterTheRootAndOneSeparator) {
    EXPECT_EQ(pathLevelsStart("C:\\Program Files\\App"), 3u);
    EXPECT_EQ(pathLevelsStart("C:"), 2u);
    EXPECT_EQ(pathLevelsStart("C:\\"), 3u);
    EXPECT_EQ(pathLevelsStart("\\\\server\\share\\App\\Bin"), 15u);
    EXPECT_EQ(pathLevelsStart("\\\\server\\share"), 14u);
    EXPECT_EQ(pathLevelsStart("\\\\server"), 8u);
}
}  // namespace
