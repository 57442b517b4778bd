// Every damaged variant of a small setup file, built by velkorin-pack with the real stub, through
// the stub's own package locator (verifyPackage over the file held in memory), in one process:
// each byte from offset 40 to the end inverted in turn, and the file cut at every length. Each
// variant must be refused with the damaged-file message (a file too short for its DOS header with
// the header-read message) and leave no script behind; the only bytes whose change is accepted
// are the two header fields a signing tool rewrites, which the checksum counts as zeros.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "fresh_state.h"
#include "format/package_format.h"
#include "shell_command.h"
#include "startup/package.h"
#include "startup/package_file.h"
#include "system_doubles.h"

#ifdef VELKORIN_STUB_PATH
namespace {

const char damagedText[] = "The installer file is damaged!";
const char headerText[] = "Error reading the module file header.";

// Where an offset lies in the setup file, for the counts the test reports.
struct Layout {
    size_t headersEnd, packageStart, fileAreaStart, scriptStart, size;
    std::string regionOf(size_t offset) const {
        if (offset < headersEnd) return "headers";
        if (offset < packageStart) return "image";
        if (offset < fileAreaStart) return "package header";
        if (offset < scriptStart) return "file area";
        return "script";
    }
};

struct Outcome {
    PackageResult result;
    std::string message;
    DWORD records;
};

class DamagedPackage : public ::testing::Test {
protected:
    std::string root;
    Bytes file;
    Layout layout{};

    void SetUp() override {
        char pattern[] = "/tmp/velkorin-damage-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        CommandResult built = runShellCommand(std::string(VELKORIN_PACK_EXE) + " build " VELKORIN_DAMAGE_PROJECT
                                              " --stub " VELKORIN_STUB_PATH " -o " + root + "/setup.exe --quiet");
        ASSERT_EQ(built.code, 0) << built.output;
        file = readFileBytes(root + "/setup.exe");
        ASSERT_GT(file.size(), 4096u);
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        uint32_t pe = readU32(&file[dosPeOffsetAt]);
        layout.headersEnd = readU32(&file[pe + 24 + 60]);  // SizeOfHeaders
        layout.packageStart = file[dosPackageOffsetAt] | file[dosPackageOffsetAt + 1] << 8;
        layout.fileAreaStart = layout.packageStart + sizeof(PackageHeader);
        layout.scriptStart = layout.packageStart + readU32(&file[layout.packageStart + 4]);
        layout.size = file.size();
        ASSERT_LT(layout.headersEnd, layout.packageStart);
        ASSERT_LT(layout.fileAreaStart, layout.scriptStart);
        ASSERT_LT(layout.scriptStart, layout.size);
    }
    void TearDown() override {
        closeFreshState();
        std::system(("rm -rf '" + root + "'").c_str());
    }

    // The locator over the first `length` bytes of the file as it is now.
    Outcome locate(size_t length) {
        doubleClearStartupError();
        state.selfFile = standinMemoryFile(file.data(), static_cast<DWORD>(length));
        PackageResult result = verifyPackage();
        standinCloseMemoryFile(state.selfFile);
        state.selfFile = INVALID_HANDLE_VALUE;
        Outcome outcome{result, doubleLastStartupError(), state.recordsRead};
        if (result == packageLoaded || state.script) {  // the next variant starts from a clean state
            closeFreshState();
            openFreshState();
        }
        return outcome;
    }
};

TEST_F(DamagedPackage, EveryChangedByteFromOffset40IsRefused) {
    Outcome intact = locate(file.size());
    ASSERT_EQ(intact.result, packageLoaded) << intact.message;
    ASSERT_GT(intact.records, 3u);
    uint32_t pe = readU32(&file[dosPeOffsetAt]);
    auto signingField = [pe](size_t offset) {
        return (offset >= pe + peCheckSumAt && offset < pe + peCheckSumAt + 4) ||
               (offset >= pe + peSecurityEntryAt && offset < pe + peSecurityEntryAt + 4);
    };
    std::map<std::string, int> refused, accepted;
    for (size_t offset = checksumStart; offset < file.size(); ++offset) {
        file[offset] ^= 0xFF;
        Outcome outcome = locate(file.size());
        file[offset] ^= 0xFF;
        if (signingField(offset)) {
            // The PE CheckSum, and the certificate table's offset while its size is 0.
            EXPECT_EQ(outcome.result, packageLoaded) << "offset " << offset << ": " << outcome.message;
            EXPECT_EQ(outcome.records, intact.records) << "offset " << offset;
            ++accepted[layout.regionOf(offset)];
            continue;
        }
        if (outcome.result != packageFailed || outcome.message != damagedText) {
            ADD_FAILURE() << "offset " << offset << " (" << layout.regionOf(offset) << "): result " << outcome.result
                          << ", message '" << outcome.message << "'";
            continue;
        }
        ++refused[layout.regionOf(offset)];
    }
    int total = 0;
    for (const auto& [region, count] : refused) {
        std::cout << "refused as damaged: " << count << " changed bytes in the " << region << "\n";
        total += count;
    }
    for (const auto& [region, count] : accepted) std::cout << "accepted (signing field): " << count << " in the " << region << "\n";
    EXPECT_EQ(total + 8, static_cast<int>(file.size() - checksumStart));
    for (const char* region : {"headers", "image", "package header", "file area", "script"})
        EXPECT_GT(refused[region], 0) << region;
}

TEST_F(DamagedPackage, EveryCutOfTheFileIsRefused) {
    std::map<std::string, int> refused;
    for (size_t length = 0; length < file.size(); ++length) {
        Outcome outcome = locate(length);
        const char* expected = length < dosHeaderSize ? headerText : damagedText;
        if (outcome.result != packageFailed || outcome.message != expected) {
            ADD_FAILURE() << "cut at " << length << " (" << layout.regionOf(length) << "): result " << outcome.result
                          << ", message '" << outcome.message << "'";
            continue;
        }
        ++refused[length < dosHeaderSize ? "DOS header" : layout.regionOf(length)];
    }
    for (const auto& [region, count] : refused) std::cout << "refused: " << count << " cuts in the " << region << "\n";
    EXPECT_EQ(refused["DOS header"], static_cast<int>(dosHeaderSize));
    for (const char* region : {"headers", "image", "package header", "file area", "script"})
        EXPECT_GT(refused[region], 0) << region;
}

// A file that grew behind its end (a download appended to, a second copy written over it) is
// damaged too: the checksum runs to the end of the file.
TEST_F(DamagedPackage, BytesAddedAtTheEndAreRefused) {
    for (size_t extra : {1, 7, 4096}) {
        Bytes original = file;
        file.insert(file.end(), extra, 0);
        Outcome outcome = locate(file.size());
        file = original;
        EXPECT_EQ(outcome.result, packageFailed) << extra;
        EXPECT_EQ(outcome.message, damagedText) << extra;
    }
}

}  // namespace
#endif
