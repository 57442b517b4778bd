// Folder operations on the system's file API, in a scratch folder of the test prefix.
#include <gtest/gtest.h>

#include <string>

#include "support/heap.h"
#include "system/file_system.h"

namespace {
class FileSystem : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heapCreate());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root = std::string(temp) + "velkorin-fs-test";
        deleteTree(root.c_str());
        ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    }
    void TearDown() override {
        deleteTree(root.c_str());
        heapDestroy();
    }
    void makeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    std::string root;
};

TEST_F(FileSystem, PathExistsForDrivesFoldersAndFiles) {
    EXPECT_TRUE(pathExists("C:\\"));
    EXPECT_TRUE(pathExists("C:"));
    EXPECT_TRUE(pathExists("C:\\."));
    EXPECT_TRUE(pathExists(root.c_str()));
    EXPECT_TRUE(pathExists((root + "\\").c_str()));
    makeFile(root + "\\file.txt");
    EXPECT_TRUE(pathExists((root + "\\file.txt").c_str()));
    EXPECT_FALSE(pathExists((root + "\\missing").c_str()));
    EXPECT_NE(GetLastError(), 0u) << "the search's error is kept";
}

TEST_F(FileSystem, FolderIsEmptyCountsFilesOnlyWhenAsked) {
    EXPECT_TRUE(folderIsEmpty(root.c_str(), true));
    makeFile(root + "\\only-a-file.txt");
    EXPECT_TRUE(folderIsEmpty(root.c_str(), false));
    EXPECT_FALSE(folderIsEmpty(root.c_str(), true));
    CreateDirectoryA((root + "\\sub").c_str(), nullptr);
    EXPECT_FALSE(folderIsEmpty((root + "\\").c_str(), false));
    EXPECT_TRUE(folderIsEmpty((root + "\\does-not-exist").c_str(), true)) << "unreadable counts as empty";
}

TEST_F(FileSystem, ExistingAncestorWalksUpToWhatExists) {
    char* ancestor = nullptr;
    EXPECT_EQ(existingAncestor((root + "\\New\\Deeper").c_str(), &ancestor), 0u);
    EXPECT_EQ(std::string(ancestor), root);
    heapFree(ancestor);
    EXPECT_EQ(existingAncestor("C:\\VelkorinNoSuchFolder\\Deeper", &ancestor), 0u);
    EXPECT_STREQ(ancestor, "C:\\");
    heapFree(ancestor);
    EXPECT_NE(existingAncestor("Q:\\nowhere\\at\\all", &ancestor), 0u) << "an unknown drive has no ancestor";
    EXPECT_EQ(ancestor, nullptr);
}

TEST_F(FileSystem, DeleteTreeRemovesReadOnlyFilesAndSubfolders) {
    std::string tree = root + "\\tree";
    CreateDirectoryA(tree.c_str(), nullptr);
    CreateDirectoryA((tree + "\\inner").c_str(), nullptr);
    makeFile(tree + "\\inner\\locked.txt", FILE_ATTRIBUTE_READONLY);
    makeFile(tree + "\\plain.txt");
    EXPECT_TRUE(deleteTree(tree.c_str()));
    EXPECT_EQ(GetFileAttributesA(tree.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(deleteTree((root + "\\never-was").c_str()));
}

TEST_F(FileSystem, ProgramAndTemporaryFolders) {
    char* name = moduleFileName(nullptr);
    char* folder = moduleFolder(nullptr);
    ASSERT_NE(name, nullptr);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(std::string(name).rfind(std::string(folder) + "\\", 0), 0u);
    EXPECT_NE(std::string(name).find("velkorin-win32-tests.exe"), std::string::npos);
    char* temp = tempFolder();
    ASSERT_NE(temp, nullptr);
    std::string t = temp;
    EXPECT_NE(t.back(), '\\');
    EXPECT_TRUE(pathExists(temp));
    heapFree(name);
    heapFree(folder);
    heapFree(temp);
}
}  // namespace
