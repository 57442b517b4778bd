// Install-log lines: one of each, special folders never, and the header's look line.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "install/install_log.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"

namespace {
class InstallLog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        listAppend(&state.folderPaths, "C:\\Program Files");
        listAppend(&state.folderPaths, "C:\\users\\Public\\Desktop");
    }
    void TearDown() override {
        closeFreshState();
    }
    std::string lines() {
        std::string all;
        for (int i = 0; i < listCount(&state.logLines); ++i) all += listAt(&state.logLines, i);
        return all;
    }
};

TEST_F(InstallLog, EveryLineOccursOnceIgnoringCase) {
    EXPECT_STREQ(recordLogLine("a", "C:\\Program Files\\App", true), "a,C:\\Program Files\\App\n");
    EXPECT_EQ(recordLogLine("a", "c:\\PROGRAM FILES\\app", true), nullptr);
    EXPECT_STREQ(recordLogLine("b", "C:\\Program Files\\App", false), "b,C:\\Program Files\\App\n")
        << "another kind is another line";
    EXPECT_STREQ(recordLogLine("e,2", "Software\\Vendor", false), "e,2,Software\\Vendor\n");
    EXPECT_EQ(recordLogLine("E,2", "software\\vendor", false), nullptr);
    EXPECT_EQ(lines(), "a,C:\\Program Files\\App\nb,C:\\Program Files\\App\ne,2,Software\\Vendor\n");
}

TEST_F(InstallLog, SpecialFoldersAreNeverListedForRemoval) {
    EXPECT_EQ(recordLogLine("a", "c:\\program files", true), nullptr);
    EXPECT_EQ(recordLogLine("a", "C:\\users\\Public\\Desktop", true), nullptr);
    EXPECT_STREQ(recordLogLine("a", "C:\\Program Files", false), "a,C:\\Program Files\n")
        << "only where the caller asks to skip them";
    EXPECT_STREQ(recordLogLine("a", "C:\\Program Files\\Sub", true), "a,C:\\Program Files\\Sub\n");
}

// The duplicate test as the log defines it: lines are equal when they are equal character by
// character through CharUpperA.
char upperByCharUpperA(char c) {
    auto code = static_cast<uintptr_t>(static_cast<unsigned char>(c));
    return static_cast<char>(reinterpret_cast<uintptr_t>(CharUpperA(reinterpret_cast<LPSTR>(code))));
}

bool equalByUpperCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperByCharUpperA(a[i]) != upperByCharUpperA(b[i])) return false;
    return true;
}

struct ReferenceLog {
    std::vector<std::string> lines;
    std::set<std::string> upperCased;
    bool record(const std::string& line) {
        std::string key = line;
        for (char& c : key) c = upperByCharUpperA(c);
        if (!upperCased.insert(key).second) return false;
        lines.push_back(line);
        return true;
    }
};

// Paths of a large package: many folders and files, each recorded once or again in another
// case, with bytes above 0x7F, so that the table grows several times and is probed a lot.
std::vector<std::pair<std::string, std::string>> manyEntries() {
    std::vector<std::pair<std::string, std::string>> entries;
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    const char* names[] = {"Readme.txt", "\xE4rger.dat", "\xC4RGER.DAT", "caf\xE9.ini", "CAF\xC9.INI", "lib.dll"};
    for (int i = 0; i < 6000; ++i) {
        std::string folder = "C:\\Program Files\\App\\dir" + std::to_string(next() % 700);
        std::string name = names[next() % 6];
        std::string path = folder + "\\" + std::to_string(next() % 5) + name;
        if (next() % 3 == 0)
            for (char& c : path) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        entries.push_back({next() % 4 ? "b" : "a", path});
    }
    return entries;
}

TEST_F(InstallLog, LargeLogKeepsEveryLineOnceInOrder) {
    ReferenceLog reference;
    int recorded = 0;
    for (const auto& [kind, path] : manyEntries()) {
        const char* line = recordLogLine(kind.c_str(), path.c_str(), true);
        bool expected = reference.record(kind + "," + path + "\n");
        ASSERT_EQ(line != nullptr, expected) << kind << "," << path;
        recorded += expected;
    }
    ASSERT_GT(recorded, 2000) << "the table must have grown past its first size";
    ASSERT_LT(recorded, 6000) << "the entries must repeat";
    ASSERT_EQ(listCount(&state.logLines), recorded);
    for (int i = 0; i < recorded; ++i) ASSERT_STREQ(listAt(&state.logLines, i), reference.lines[i].c_str()) << i;
}

TEST_F(InstallLog, BytesAboveAsciiAreComparedAsCharUpperAComparesThem) {
    bool oneLetter = equalByUpperCase("\xE4", "\xC4");
    EXPECT_STREQ(recordLogLine("b", "C:\\App\\\xE4rger.txt", false), "b,C:\\App\\\xE4rger.txt\n");
    const char* again = recordLogLine("B", "c:\\APP\\\xC4RGER.TXT", false);
    if (oneLetter) EXPECT_EQ(again, nullptr);
    else EXPECT_STREQ(again, "B,c:\\APP\\\xC4RGER.TXT\n");
    EXPECT_EQ(recordLogLine("b", "C:\\App\\\xE4rger.txt", false), nullptr);
    EXPECT_STREQ(recordLogLine("b", "C:\\App\\\xE5rger.txt", false), "b,C:\\App\\\xE5rger.txt\n");
}

TEST_F(InstallLog, HeaderLinesAppendedDirectlyCountAsRecorded) {
    recordLogLine("=== Velkorin log file ===", nullptr, false);
    listAppend(&state.logLines, "Demo Product\n");
    EXPECT_EQ(recordLogLine("DEMO PRODUCT", nullptr, false), nullptr);
    EXPECT_STREQ(recordLogLine("Demo Product 2", nullptr, false), "Demo Product 2\n");
    listClear(&state.logLines);
    EXPECT_STREQ(recordLogLine("demo product", nullptr, false), "demo product\n")
        << "an emptied list holds no line any more";
    EXPECT_EQ(recordLogLine("Demo Product", nullptr, false), nullptr);
}

TEST_F(InstallLog, LineWithoutText) {
    EXPECT_STREQ(recordLogLine("=== Velkorin log file ===", nullptr, false), "=== Velkorin log file ===\n");
}

TEST_F(InstallLog, LookLineCarriesDialogSetColoursAndFonts) {
    char line[256];
    formatLogLook(line);
    EXPECT_STREQ(line, "0,0xC88C00,0x0,0x1000000,0x0,MS Sans Serif,0x0,MS Sans Serif,0x0");
    state.dialogIdBase = 20;
    state.headerColor = 0x00FFFFFF;
    std::strcpy(state.titleFontFace, "Tahoma");
    state.textColor = 0x00123456;
    formatLogLook(line);
    EXPECT_STREQ(line, "1,0xC88C00,0xFFFFFF,0x1000000,0x0,Tahoma,0x0,MS Sans Serif,0x123456");
}
}  // namespace
