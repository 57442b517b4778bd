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

// Makes link a symbolic link to target in the file system under the prefix (Wine lists it as a
// folder that is a reparse point, as Windows lists a junction); false when that cannot be done.
bool makeFolderLink(const std::string& link, const std::string& target) {
    typedef char*(CDECL * UnixNameFunction)(LPCWSTR);
    UnixNameFunction unixName = reinterpret_cast<UnixNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    auto unixPath = [unixName](const std::string& path) {
        std::wstring wide(path.begin(), path.end());
        char* name = unixName(wide.c_str());
        std::string text = name ? name : "";
        if (name) HeapFree(GetProcessHeap(), 0, name);
        return text;
    };
    std::string command = "Z:\\bin\\ln -s " + unixPath(target) + " " + unixPath(link);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 100 && GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(FileSystem, DeleteTreeRemovesLinksWithoutFollowingThem) {
    std::string outside = root + "\\outside", tree = root + "\\tree";
    ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr));
    makeFile(outside + "\\precious.txt");
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    makeFile(tree + "\\own.txt");
    ASSERT_TRUE(makeFolderLink(tree + "\\link", outside)) << "no folder link could be made";
    ASSERT_NE(GetFileAttributesA((tree + "\\link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

    EXPECT_TRUE(deleteTree(tree.c_str()));
    EXPECT_EQ(GetFileAttributesA(tree.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((outside + "\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "a file reached through a link inside the tree was deleted";

    std::string topLink = root + "\\top-link";
    ASSERT_TRUE(makeFolderLink(topLink, outside));
    deleteTree(topLink.c_str());
    EXPECT_NE(GetFileAttributesA((outside + "\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the tree to delete was itself a link, and its target was emptied";
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
