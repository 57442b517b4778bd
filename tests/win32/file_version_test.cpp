// File versions from version resources and DllGetVersion, on sample files built beside the tests.
#include <gtest/gtest.h>

#include <string>

#include "install/file_version.h"
#include "support/heap.h"
#include "system/file_system.h"

namespace {
class FileVersions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heapCreate());
        char* folder = moduleFolder(nullptr);
        here = folder;
        heapFree(folder);
    }
    void TearDown() override {
        unloadVersionFunctions();
        heapDestroy();
    }
    std::string sample(const char* name) { return here + "\\" + name; }
    std::string here;
};

TEST_F(FileVersions, VersionResourceIsReadWithoutTypeCheck) {
    FileVersion version;
    ASSERT_TRUE(readFileVersion(sample("version-sample.dll").c_str(), &version, false));
    EXPECT_EQ(version.ms, 0x00010009u);
    EXPECT_EQ(version.ls, 0x00030000u);
}

// A resource named by a text: the name the enumeration hands over is gone when it returns, so
// the reader must have kept its own copy to find the resource by it.
TEST_F(FileVersions, AVersionResourceNamedByATextIsRead) {
    FileVersion version;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(readFileVersion(sample("named-version-sample.dll").c_str(), &version, false)) << round;
        EXPECT_EQ(version.ms, 0x00020004u);
        EXPECT_EQ(version.ls, 0x00060008u);
    }
}

TEST_F(FileVersions, FilesWithoutAResourceHaveNoVersion) {
    FileVersion version{7, 7};
    EXPECT_FALSE(readFileVersion(sample("plain-sample.dll").c_str(), &version, false));
    EXPECT_EQ(version.ms, 0u);
    EXPECT_EQ(version.ls, 0u);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string text = std::string(temp) + "velkorin-version.txt";
    HANDLE file = CreateFileA(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, "just text", 9, &written, nullptr);
    CloseHandle(file);
    EXPECT_FALSE(readFileVersion(text.c_str(), &version, false));
    EXPECT_FALSE(readFileVersion(text.c_str(), &version, true)) << "not a Windows program";
    DeleteFileA(text.c_str());
    EXPECT_FALSE(readFileVersion("C:\\no\\such\\file.dll", &version, false));
}

TEST_F(FileVersions, DllGetVersionGivesNoRevision) {
    char text[64];
    ASSERT_TRUE(formatFileVersion(sample("version-sample.dll").c_str(), text, false));
    EXPECT_STREQ(text, "6.0.2800.0");
    FileVersion version;
    ASSERT_TRUE(readDllVersion(sample("version-sample.dll").c_str(), &version, false));
    EXPECT_EQ(version.ms, 0x00060000u);
    EXPECT_EQ(version.ls, 2800u << 16);
}

TEST_F(FileVersions, WithoutTypeCheckAnyNameIsRead) {
    // Without the check the file's name does not matter: a library under another name still
    // answers DllGetVersion, and its resource still holds the file version.
    std::string renamed = sample("version-sample-copy.bin");
    ASSERT_TRUE(CopyFileA(sample("version-sample.dll").c_str(), renamed.c_str(), FALSE));
    char text[64];
    EXPECT_TRUE(formatFileVersion(renamed.c_str(), text, false));
    EXPECT_STREQ(text, "6.0.2800.0");
    FileVersion version;
    EXPECT_TRUE(readFileVersion(renamed.c_str(), &version, false));
    EXPECT_EQ(version.ms, 0x00010009u);
    DeleteFileA(renamed.c_str());
}

TEST(VersionOrder, ComparedAsOneNumber) {
    EXPECT_GT(compareVersions({0x00010009, 0x00030001}, {0x00010009, 0x00030000}), 0);
    EXPECT_LT(compareVersions({0x00010009, 0xFFFFFFFF}, {0x0001000A, 0}), 0);
    EXPECT_EQ(compareVersions({1, 2}, {1, 2}), 0);
}
}  // namespace
