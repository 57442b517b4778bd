// The stub's package reader: DOS fields, checksum, inflater and record walk.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "startup/command_line.h"
#include "startup/package.h"
#include "support/heap.h"

namespace {
using Bytes = std::vector<BYTE>;

// Compresses like the builder: level 9, ending in a sync flush with no final block or trailer.
Bytes compressSyncFlushed(const Bytes& data) {
    z_stream stream{};
    deflateInit(&stream, 9);
    Bytes out(deflateBound(&stream, data.size()) + 64);
    stream.next_in = const_cast<BYTE*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_SYNC_FLUSH), Z_OK);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

struct MemoryReader {
    const Bytes* data;
    size_t at;
    size_t stopAt;  // simulates a file that shrinks while it is read
};

DWORD readMemory(void* context, BYTE* buffer, DWORD count) {
    MemoryReader* reader = static_cast<MemoryReader*>(context);
    size_t available = reader->stopAt > reader->at ? reader->stopAt - reader->at : 0;
    DWORD n = static_cast<DWORD>(std::min<size_t>(count, available));
    std::memcpy(buffer, reader->data->data() + reader->at, n);
    reader->at += n;
    return n;
}

DWORD checksumOf(const Bytes& file) {
    MemoryReader reader{&file, checksumStart, file.size()};
    DWORD sum = 0;
    EXPECT_TRUE(computePackageChecksum(readMemory, &reader, static_cast<DWORD>(file.size()), &sum));
    return sum;
}

Bytes sampleFile(size_t size) {
    Bytes file(size);
    for (size_t i = 0; i < size; ++i) file[i] = static_cast<BYTE>(i * 7 + 3);
    return file;
}

TEST(PackageChecksum, BuilderFieldsAreOutsideTheSum) {
    Bytes file = sampleFile(3000);
    DWORD original = checksumOf(file);
    EXPECT_EQ(original, adler32(1, file.data() + 40, static_cast<uInt>(file.size() - 40)));
    for (size_t offset : {18, 19, 28, 29, 30, 31, 36, 37, 38, 39}) {
        Bytes changed = file;
        changed[offset] ^= 0xFF;
        EXPECT_EQ(checksumOf(changed), original) << "byte " << offset;
    }
    for (size_t offset : {40, 511, 552, 553, 2999}) {
        Bytes changed = file;
        changed[offset] ^= 0x01;
        EXPECT_NE(checksumOf(changed), original) << "byte " << offset;
    }
}

TEST(PackageChecksum, SmallAndShortFiles) {
    Bytes small = sampleFile(40 + 512);  // a single chunk
    EXPECT_EQ(checksumOf(small), adler32(1, small.data() + 40, 512));
    Bytes header = sampleFile(40);
    EXPECT_EQ(checksumOf(header), 1u) << "nothing to sum: the empty Adler-32";
    MemoryReader shrinking{&small, checksumStart, 300};
    DWORD sum = 0;
    EXPECT_FALSE(computePackageChecksum(readMemory, &shrinking, static_cast<DWORD>(small.size()), &sum))
        << "a chunk read short is reported";
}

// Counts the reads and their sizes on top of the memory reader.
struct CountingReader {
    MemoryReader memory;
    int reads = 0;
    DWORD largest = 0;
};

DWORD readCounting(void* context, BYTE* buffer, DWORD count) {
    CountingReader* reader = static_cast<CountingReader*>(context);
    ++reader->reads;
    if (count > reader->largest) reader->largest = count;
    return readMemory(&reader->memory, buffer, count);
}

// The sum as the stub has always taken it: 512 bytes at a time.
DWORD checksumIn512BytePieces(const Bytes& file) {
    uLong sum = adler32(0, nullptr, 0);
    for (size_t at = checksumStart; at < file.size(); at += 512)
        sum = adler32(sum, file.data() + at, static_cast<uInt>(std::min<size_t>(512, file.size() - at)));
    return static_cast<DWORD>(sum);
}

TEST(PackageChecksum, LargeFileIsReadInLargeBoundedBlocksWithTheSameSum) {
    ASSERT_TRUE(heapCreate());
    Bytes file(3 * checksumBlock + 12345);
    uint32_t seed = 99;
    for (BYTE& byte : file) byte = static_cast<BYTE>((seed = seed * 1103515245u + 12345u) >> 16);
    CountingReader reader{{&file, checksumStart, file.size()}};
    DWORD sum = 0;
    EXPECT_TRUE(computePackageChecksum(readCounting, &reader, static_cast<DWORD>(file.size()), &sum));
    heapDestroy();
    EXPECT_EQ(sum, checksumIn512BytePieces(file));
    EXPECT_EQ(reader.largest, checksumBlock) << "reads stay within the block";
    EXPECT_EQ(reader.reads, 4) << "three whole blocks and the rest";
}

// The sum a signed file is proved by, taken the long way: the two signing fields as zeros,
// bytes 40 to the package end.
DWORD tolerantSumByHand(Bytes file, const SigningFields& fields) {
    std::fill_n(file.begin() + fields.checkSumAt, 4, 0);
    std::fill_n(file.begin() + fields.securityAt, 8, 0);
    return static_cast<DWORD>(adler32(1, file.data() + 40, static_cast<uInt>(fields.packageEnd - 40)));
}

SigningFields fieldsOf(const Bytes& file, DWORD pe, DWORD packageEnd) {
    SigningFields fields{};
    fields.checkSumAt = pe + peCheckSumAt;
    fields.securityAt = pe + peSecurityEntryAt;
    std::memcpy(fields.checkSum, &file[fields.checkSumAt], 4);
    std::memcpy(fields.security, &file[fields.securityAt], 8);
    fields.packageEnd = packageEnd;
    return fields;
}

TEST(PackageChecksum, TolerantSumCountsTheSigningFieldsAsZerosAndStopsAtThePackageEnd) {
    ASSERT_TRUE(heapCreate());
    // Long enough for the weights of the second Adler-32 half to wrap around 65521 many times.
    Bytes file(2 * checksumBlock + 777);
    uint32_t seed = 7;
    for (BYTE& byte : file) byte = static_cast<BYTE>((seed = seed * 1103515245u + 12345u) >> 16);
    for (DWORD packageEnd : {DWORD{4096}, checksumBlock + 40, checksumBlock + 41, DWORD(file.size() - 8),
                             DWORD(file.size())}) {
        SigningFields fields = fieldsOf(file, 0x80, packageEnd);
        MemoryReader reader{&file, checksumStart, file.size()};
        DWORD whole = 0, tolerant = 0;
        ASSERT_TRUE(computePackageChecksum(readMemory, &reader, static_cast<DWORD>(file.size()), &whole, &fields,
                                           &tolerant));
        EXPECT_EQ(whole, checksumIn512BytePieces(file)) << "the plain sum is unchanged, end " << packageEnd;
        EXPECT_EQ(tolerant, tolerantSumByHand(file, fields)) << "end " << packageEnd;
    }
    heapDestroy();
}

TEST(PackageChecksum, TolerantSumSeesEveryOtherByteAndIgnoresOnlyTheFields) {
    Bytes file = sampleFile(6000);
    DWORD packageEnd = 5000;
    auto tolerantOf = [&](const Bytes& f) {
        SigningFields fields = fieldsOf(f, 0x80, packageEnd);
        MemoryReader reader{&f, checksumStart, f.size()};
        DWORD whole = 0, tolerant = 0;
        EXPECT_TRUE(computePackageChecksum(readMemory, &reader, static_cast<DWORD>(f.size()), &whole, &fields,
                                           &tolerant));
        return tolerant;
    };
    DWORD original = tolerantOf(file);
    // What signing writes: the CheckSum field, the security entry, and everything behind the package.
    for (size_t offset : {0x80 + 88, 0x80 + 91, 0x80 + 152, 0x80 + 159, 5000, 5999}) {
        Bytes changed = file;
        changed[offset] ^= 0x5A;
        EXPECT_EQ(tolerantOf(changed), original) << "byte " << offset;
    }
    // Next to the fields and just before the package end, a change is seen.
    for (size_t offset : {40, 0x80 + 87, 0x80 + 92, 0x80 + 151, 0x80 + 160, 4999}) {
        Bytes changed = file;
        changed[offset] ^= 0x01;
        EXPECT_NE(tolerantOf(changed), original) << "byte " << offset;
    }
}

TEST(PackageChecksum, AdlerWithZerosMatchesTheSumOfTheZeroedBytes) {
    Bytes data = sampleFile(200000);
    for (DWORD position : {DWORD{0}, DWORD{1}, DWORD{65520}, DWORD{65521}, DWORD{199990}}) {
        Bytes zeroed = data;
        std::fill_n(zeroed.begin() + position, 10, 0);
        DWORD sum = static_cast<DWORD>(adler32(1, data.data(), static_cast<uInt>(data.size())));
        EXPECT_EQ(adlerWithZeros(sum, static_cast<DWORD>(data.size()), position, &data[position], 10),
                  adler32(1, zeroed.data(), static_cast<uInt>(zeroed.size())))
            << "position " << position;
    }
}

TEST(PackageChecksum, WithoutAHeapBlockTheSumIsTakenIn512ByteReads) {
    Bytes file = sampleFile(40 + 5 * 512 + 7);  // no private heap here: the small buffer is used
    CountingReader reader{{&file, checksumStart, file.size()}};
    DWORD sum = 0;
    EXPECT_TRUE(computePackageChecksum(readCounting, &reader, static_cast<DWORD>(file.size()), &sum));
    EXPECT_EQ(sum, checksumIn512BytePieces(file));
    EXPECT_EQ(reader.largest, 512u);
    EXPECT_EQ(reader.reads, 6);
}

TEST(PackageFields, ReadLittleEndian) {
    Bytes header(64, 0);
    header[18] = 0x00; header[19] = 0x5A;
    header[28] = 0x62; header[29] = 0x79; header[30] = 0x01; header[31] = 0x00;
    header[36] = 0xEF; header[37] = 0xBE; header[38] = 0xAD; header[39] = 0xDE;
    DosFields fields = readDosFields(header.data());
    EXPECT_EQ(fields.packageOffset, 0x5A00);
    EXPECT_EQ(fields.scriptReadSize, 96610u);
    EXPECT_EQ(fields.fileChecksum, 0xDEADBEEFu);
}

class Inflater : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(heapCreate()); }
    void TearDown() override { heapDestroy(); }
};

TEST_F(Inflater, AcceptsASyncFlushedStreamWithoutTrailer) {
    Bytes data = sampleFile(200000);
    Bytes packed = compressSyncFlushed(data);
    ASSERT_EQ(packed[0], 0x78);
    ASSERT_EQ(packed[1], 0xDA);
    ASSERT_EQ(Bytes(packed.end() - 4, packed.end()), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
    Bytes out(data.size());
    EXPECT_EQ(inflateBlock(packed.data(), static_cast<DWORD>(packed.size()), out.data(), static_cast<DWORD>(out.size()),
                           nullptr, 0),
              static_cast<int>(data.size()));
    EXPECT_EQ(out, data);
}

TEST_F(Inflater, ReadSizeBeyondTheStreamAndDamagedData) {
    Bytes data(5000, 'x');
    Bytes packed = compressSyncFlushed(data);
    Bytes out(data.size());
    // Offering only part of the stream produces a prefix; garbage produces nothing and no crash.
    int produced = inflateBlock(packed.data(), static_cast<DWORD>(packed.size() / 2), out.data(),
                                static_cast<DWORD>(out.size()), nullptr, 0);
    EXPECT_LT(produced, static_cast<int>(data.size()));
    Bytes garbage(100, 0xAB);
    EXPECT_EQ(inflateBlock(garbage.data(), 100, out.data(), static_cast<DWORD>(out.size()), nullptr, 0), 0);
    // Output space smaller than the stream: never written past.
    Bytes small(100);
    EXPECT_EQ(inflateBlock(packed.data(), static_cast<DWORD>(packed.size()), small.data(), 100, nullptr, 0), 100);
}

// ---- record walk ------------------------------------------------------------------------------
std::vector<std::pair<DWORD, DWORD>> walked;
void remember(DWORD type, const BYTE* record) {
    DWORD length;
    std::memcpy(&length, record, 4);
    walked.push_back({type, length});
}

void put32(Bytes* out, DWORD value) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<BYTE>(value >> (8 * i)));
}
void putRecord(Bytes* out, DWORD type, const std::string& payload) {
    put32(out, type);
    put32(out, static_cast<DWORD>(payload.size()));
    out->insert(out->end(), payload.begin(), payload.end());
}

DWORD walk(const Bytes& script) {
    walked.clear();
    // An exact-size heap copy so that the sanitizer catches any read past the end.
    BYTE* copy = new BYTE[script.size() ? script.size() : 1];
    if (!script.empty()) std::memcpy(copy, script.data(), script.size());
    DWORD records = walkScript(copy, static_cast<DWORD>(script.size()), remember);
    delete[] copy;
    return records;
}

TEST(RecordWalk, StopsAtTheTerminatorAndSkipsUnknownTypes) {
    Bytes script;
    putRecord(&script, 1, std::string("%A%\0x\0", 6));
    putRecord(&script, 99, "ignored by the interpreter");
    putRecord(&script, 2, std::string(12, '\1'));
    put32(&script, scriptEnd);
    putRecord(&script, 3, "after the end");
    EXPECT_EQ(walk(script), 3u);
    ASSERT_EQ(walked.size(), 3u);
    EXPECT_EQ(walked[1], (std::pair<DWORD, DWORD>{99, 26}));
    EXPECT_EQ(walked[2], (std::pair<DWORD, DWORD>{2, 12}));
}

TEST(RecordWalk, DamagedScriptsEndTheWalkSafely) {
    Bytes terminatorOnly;
    put32(&terminatorOnly, scriptEnd);
    EXPECT_EQ(walk(terminatorOnly), 0u);

    Bytes noTerminator;
    putRecord(&noTerminator, 9, "Demo");
    EXPECT_EQ(walk(noTerminator), 1u);

    Bytes runaway;
    putRecord(&runaway, 1, "ok");
    put32(&runaway, 1);
    put32(&runaway, 0xFFFFFFF0u);  // length running far past the end
    runaway.push_back('x');
    EXPECT_EQ(walk(runaway), 1u);

    Bytes cutHeader;
    putRecord(&cutHeader, 1, "ok");
    cutHeader.push_back(4);  // a stray byte, too short for a record header
    cutHeader.push_back(0);
    EXPECT_EQ(walk(cutHeader), 1u);
    EXPECT_EQ(walk(Bytes{}), 0u);
}

// ---- command line -----------------------------------------------------------------------------
std::vector<std::string> split(std::string line) {
    std::vector<char> text(line.begin(), line.end());
    text.push_back(0);
    char* arguments[10];
    int count = splitArguments(text.data(), arguments, 10);
    return std::vector<std::string>(arguments, arguments + count);
}

TEST(CommandLine, SplitsQuotedPathAndWords) {
    EXPECT_EQ(split("\"C:\\My Files\\SETUP.EXE\" SILENT"), (std::vector<std::string>{"C:\\My Files\\SETUP.EXE", "SILENT"}));
    EXPECT_EQ(split("SETUP.EXE   /S"), (std::vector<std::string>{"SETUP.EXE", "/S"}));
    EXPECT_EQ(split("SETUP.EXE"), (std::vector<std::string>{"SETUP.EXE"}));
    EXPECT_EQ(split("SETUP.EXE "), (std::vector<std::string>{"SETUP.EXE", ""})) << "a blank at the end adds an empty argument";
    EXPECT_EQ(split("\"UNCLOSED PATH"), (std::vector<std::string>{"UNCLOSED PATH"}));
}

TEST(CommandLine, ExtraArgumentsDoNotDisturbTheCount) {
    std::vector<std::string> many = split("A 1 2 3 4 5 6 7 8 9 10 11 12");
    ASSERT_EQ(many.size(), 10u);
    EXPECT_EQ(many[9], "9");
}
}  // namespace
