// Access checks on folders and keys, and the version the prefix reports.
#include <gtest/gtest.h>

#include <string>

#include "support/heap.h"
#include "system/file_system.h"
#include "system/security.h"
#include "system/windows_version.h"

namespace {
class Access : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heapCreate());
        ASSERT_TRUE(loadSecurityFunctions());
        token = openAccessToken();
        ASSERT_NE(token, nullptr);
    }
    void TearDown() override {
        CloseHandle(token);
        RevertToSelf();
        unloadSecurityFunctions();
        heapDestroy();
    }
    HANDLE token = nullptr;
};

TEST_F(Access, WritableFolderGrantsAddingFilesAndFolders) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    bool granted = false;
    EXPECT_EQ(checkAccess(token, temp, objectFile, rightAddFile, &granted), 0u);
    EXPECT_TRUE(granted);
    EXPECT_EQ(checkAccess(token, temp, objectFile, rightAddSubfolder, &granted), 0u);
    EXPECT_TRUE(granted);
}

TEST_F(Access, ReadOnlyFolderRefusesAddingFiles) {
    // The test script makes this folder read-only (mode 555) before the run; Wine's access check
    // follows the Unix mode.
    const char* locked = getenv("VELKORIN_LOCKED_FOLDER");
    if (!locked) GTEST_SKIP() << "no read-only folder prepared by the runner";
    bool granted = true;
    EXPECT_EQ(checkAccess(token, locked, objectFile, rightAddFile, &granted), 0u);
    EXPECT_FALSE(granted);
}

TEST_F(Access, MissingObjectsGiveTheSystemError) {
    bool granted = false;
    EXPECT_EQ(checkAccess(token, "C:\\velkorin\\no\\such\\folder", objectFile, rightAddFile, &granted),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(granted) << "the verdict stays true when nothing could be tested";
    EXPECT_EQ(checkAccess(token, "MACHINE\\SOFTWARE\\VelkorinNoSuchKey", objectRegistryKey, KEY_WRITE, &granted),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(checkAccess(token, "MACHINE\\SOFTWARE", objectRegistryKey, KEY_READ, &granted), 0u);
    EXPECT_TRUE(granted);
}

TEST(SecurityFunctions, WithoutThemNothingIsTested) {
    unloadSecurityFunctions();
    bool granted = false;
    EXPECT_EQ(checkAccess(nullptr, "C:\\", objectFile, rightAddFile, &granted), 1u);
    EXPECT_TRUE(granted);
}

TEST(WindowsVersion, ThePrefixReportsAnNtSystem) {
    // The test prefix runs as Windows 7 unless a test sets another version.
    EXPECT_TRUE(isWindowsNT());
    EXPECT_FALSE(isWindows95());
    EXPECT_EQ(detectWindowsVersion(), windowsNewer);
}
}  // namespace
