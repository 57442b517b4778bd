// Folder operations on the system's file API, in a scratch folder of the test prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

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

// Runs a program of the file system under the prefix with the Unix names of the given paths as
// its arguments, and waits for it (Wine may report its end early); false when it could not start.
bool runWithUnixNames(const std::string& program, const std::vector<std::string>& paths) {
    typedef char*(CDECL * UnixNameFunction)(LPCWSTR);
    UnixNameFunction unixName = reinterpret_cast<UnixNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    std::string command = program;
    for (const std::string& path : paths) {
        std::wstring wide(path.begin(), path.end());
        char* name = unixName(wide.c_str());
        command += std::string(" ") + (name ? name : "");
        if (name) HeapFree(GetProcessHeap(), 0, name);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Makes link a symbolic link to target in the file system under the prefix (Wine lists it as a
// folder that is a reparse point, as Windows lists a junction); false when that cannot be done.
bool makeFolderLink(const std::string& link, const std::string& target) {
    if (!runWithUnixNames("Z:\\bin\\ln -s", {target, link})) return false;
    for (int i = 0; i < 100 && !exists(link); ++i) Sleep(50);
    return exists(link);
}

// Removes a link made by makeFolderLink, if it is still there, without touching its target.
void removeFolderLink(const std::string& link) {
    if (!exists(link) || !runWithUnixNames("Z:\\bin\\rm -f", {link})) return;
    for (int i = 0; i < 100 && exists(link); ++i) Sleep(50);
}

// Whether this system opens a folder link as the link itself, as Windows does (Wine opens the
// folder it points to, so no call of its file API can remove the link alone).
bool systemOpensFolderLinks(const std::string& link) {
    HANDLE handle = CreateFileA(link.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION information = {};
    GetFileInformationByHandle(handle, &information);
    CloseHandle(handle);
    return information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
}

// The tree's own files go; what a link inside it (or the tree itself, when it is a link) points
// to stays, its folders included even when empty (Wine's RemoveDirectoryA on a link to an empty
// folder removes that folder). The link itself is removed where the system can open it as a link;
// elsewhere it stays and the deletion reports that the tree is still there.
TEST_F(FileSystem, DeleteTreeRemovesLinksWithoutFollowingThem) {
    std::string outside = root + "\\outside", empty = root + "\\empty-outside", tree = root + "\\tree";
    std::string link = tree + "\\link", emptyLink = tree + "\\empty-link", topLink = root + "\\top-link";
    ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr));
    makeFile(outside + "\\precious.txt");
    ASSERT_TRUE(CreateDirectoryA(empty.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    makeFile(tree + "\\own.txt");
    bool linksMade = makeFolderLink(link, outside) && makeFolderLink(emptyLink, empty) &&
                     makeFolderLink(topLink, empty);
    bool linksRemovable = linksMade && systemOpensFolderLinks(link);
    bool treeDeleted = linksMade && deleteTree(tree.c_str());
    bool topLinkDeleted = linksMade && deleteTree(topLink.c_str());
    bool linkLeft = exists(link), topLinkLeft = exists(topLink);
    removeFolderLink(link);
    removeFolderLink(emptyLink);
    removeFolderLink(topLink);

    ASSERT_TRUE(linksMade) << "no folder link could be made";
    EXPECT_TRUE(exists(outside + "\\precious.txt")) << "a file reached through a link inside the tree was deleted";
    EXPECT_TRUE(exists(empty)) << "the empty folder a link pointed to was removed";
    EXPECT_FALSE(exists(tree + "\\own.txt"));
    EXPECT_EQ(treeDeleted, linksRemovable);
    EXPECT_EQ(exists(tree), !linksRemovable);
    EXPECT_EQ(linkLeft, !linksRemovable);
    EXPECT_EQ(topLinkDeleted, linksRemovable);
    EXPECT_EQ(topLinkLeft, !linksRemovable);
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
