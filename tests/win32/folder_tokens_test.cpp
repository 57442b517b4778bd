// Folder tokens resolved on Wine's default prefix: every token, the all-users choice by the
// Windows version code, and each fall-back (driven by registry values the tests set and by
// resolving with the shell functions unloaded, where every special-folder code fails).
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "script/folder_token_table.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system/file_system.h"
#include "system/folder_tokens.h"
#include "system/registry.h"
#include "system/windows_version.h"

namespace {

const char shellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char profileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

enum { appData = 0, commonAppData = 1, commonDesktop = 2, commonFiles = 4, desktop = 9, browser = 10,
       msAccess = 13, documents = 15, programFiles = 16, quickLaunch = 18, systemFolder = 22, temp = 23,
       windowsFolder = 25, userProfile = 26, allUsers = 27, commonDocuments = 28, commonMusic = 30,
       pictures = 32, video = 34 };

// A string value as it was before a test changed it, put back (or deleted) at the end.
struct SavedValue {
    HKEY root;
    std::string key, name;
    bool existed;
    std::string text;
};

class FolderTokens : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        ASSERT_TRUE(loadShellFunctions());
        state.windowsVersion = windowsNewer;
    }
    void TearDown() override {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            if (it->existed)
                writeRegistryValue(it->root, it->key.c_str(), it->name.c_str(), REG_SZ, it->text.c_str(),
                                   static_cast<DWORD>(it->text.size() + 1));
            else
                deleteRegistryValue(it->root, it->key.c_str(), it->name.c_str(), false);
        }
        unloadShellFunctions();
        closeFreshState();
    }
    static std::string resolve(int index) { return resolveFolderToken(index); }
    static std::string resolveUnder(int version, int index) {
        state.windowsVersion = version;
        return resolve(index);
    }
    static std::string tempPath() {
        char buffer[MAX_PATH];
        DWORD length = GetTempPathA(MAX_PATH, buffer);
        std::string path(buffer, length);
        if (!path.empty() && path.back() == '\\') path.pop_back();
        return path;
    }
    static std::string windowsPath() {
        char buffer[MAX_PATH];
        return std::string(buffer, GetWindowsDirectoryA(buffer, MAX_PATH));
    }
    static std::string read(HKEY root, const std::string& key, const char* name) {
        DWORD type = 0;
        char* data = reinterpret_cast<char*>(readRegistryValue(root, key.c_str(), name, &type));
        std::string text = data ? data : "<none>";
        heapFree(data);
        return text;
    }
    // Remembers the value, then sets it (text) or deletes it (null).
    void change(HKEY root, const std::string& key, const char* name, const char* text) {
        std::string before = read(root, key, name);
        saved.push_back({root, key, name, before != "<none>", before});
        DWORD size = text ? static_cast<DWORD>(strlen(text) + 1) : 0;
        if (text)
            ASSERT_EQ(writeRegistryValue(root, key.c_str(), name, REG_SZ, text, size), 0u);
        else
            deleteRegistryValue(root, key.c_str(), name, false);
    }
    static bool isFolder(const std::string& path) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::vector<SavedValue> saved;
};

TEST_F(FolderTokens, EveryTokenIsAFolderTheTempFolderOrAProgramFile) {
    for (int version : {windowsUnknown, windows95, windowsNt4, windows98, windowsXp, windowsNewer}) {
        state.windowsVersion = version;
        ASSERT_TRUE(resolveAllFolderTokens());
        ASSERT_EQ(listCount(&state.folderPaths), folderTokenCount);
        for (int i = 0; i < folderTokenCount; ++i) {
            std::string path = listAt(&state.folderPaths, i);
            SCOPED_TRACE(std::to_string(version) + " " + folderTokens[i].text + " -> " + path);
            EXPECT_EQ(path.find("\\\\"), std::string::npos);
            EXPECT_NE(path.back(), '\\');
            if (i == allUsers)  // named, never created: Wine has no such folder until something builds on it
                EXPECT_TRUE(path == windowsPath() + "\\Profiles\\All Users" || isFolder(path));
            else if (i == browser || i == msAccess)
                EXPECT_TRUE(path == tempPath() || (path.size() > 4 && path.substr(path.size() - 4) == ".exe"));
            else
                EXPECT_TRUE(isFolder(path));
        }
    }
}

TEST_F(FolderTokens, PrintsTheListOfTheDefaultPrefix) {
    state.windowsVersion = detectWindowsVersion();
    ASSERT_TRUE(resolveAllFolderTokens());
    std::printf("windows version code %d\n", state.windowsVersion);
    for (int i = 0; i < folderTokenCount; ++i)
        std::printf("%2d %-18s -> %s\n", i, folderTokens[i].text, listAt(&state.folderPaths, i));
    char* expanded = expandFolderTokens("<ProgramFiles>\\Demo");
    EXPECT_STREQ(expanded, "C:\\Program Files\\Demo");
    heapFree(expanded);
}

TEST_F(FolderTokens, AllUsersFoldersOnlyOnAllUsersSystems) {
    const int perUser[][2] = {{2, 9}, {3, 11}, {5, 17}, {6, 20}, {7, 21}};
    for (auto pair : perUser) {
        if (pair[0] == 3) continue;  // Wine's common favourites are the user's: checked below
        const char* token = folderTokens[pair[0]].text;
        for (int version : {windowsUnknown, windows95, windows95Osr2, windows98, windows98Se})
            EXPECT_EQ(resolveUnder(version, pair[0]), resolveUnder(version, pair[1])) << token << version;
        for (int version : {windowsNt4, windowsMe, windows2000, windowsXp, windowsServer2003, windowsNewer})
            EXPECT_NE(resolveUnder(version, pair[0]), resolveUnder(version, pair[1])) << token << version;
    }
    EXPECT_EQ(resolveUnder(windowsXp, commonDesktop), "C:\\users\\Public\\Desktop");
    EXPECT_EQ(resolveUnder(windows95, commonDesktop), "C:\\users\\root\\Desktop");
    change(HKEY_LOCAL_MACHINE, shellFolders, "Common Favorites", nullptr);
    change(HKEY_CURRENT_USER, shellFolders, "Favorites", nullptr);
    resolveUnder(windowsXp, 3);
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, shellFolders, "Common Favorites"), "C:\\users\\root\\Favorites")
        << "the all-users code asked for on an all-users system";
    EXPECT_EQ(read(HKEY_CURRENT_USER, shellFolders, "Favorites"), "<none>");
    resolveUnder(windows95, 3);
    EXPECT_EQ(read(HKEY_CURRENT_USER, shellFolders, "Favorites"), "C:\\users\\root\\Favorites")
        << "the per-user code otherwise";
}

TEST_F(FolderTokens, CommonDocumentsFromMillenniumOnNotOnNt4) {
    EXPECT_EQ(resolveUnder(windowsNt4, commonDocuments), resolve(documents));
    EXPECT_EQ(resolveUnder(windowsUnknown, commonDocuments), resolve(documents));
    EXPECT_EQ(resolveUnder(windowsMe, commonDocuments), "C:\\users\\Public\\Documents");
    EXPECT_NE(resolveUnder(windowsNt4, commonDesktop), resolve(desktop)) << "NT 4.0 has an all-users desktop";
}

TEST_F(FolderTokens, TemporaryFolderForTempForUnknownIndexesAndMissingProducts) {
    std::string tempFolder = tempPath();
    EXPECT_EQ(resolve(temp), tempFolder);
    for (int index : {35, 36, 1000, -1}) EXPECT_EQ(resolve(index), tempFolder) << index;
    EXPECT_EQ(resolve(browser), tempFolder) << "no IE Setup path in a fresh prefix";
    EXPECT_EQ(resolve(msAccess), tempFolder);
    EXPECT_EQ(resolve(quickLaunch), tempFolder) << "no Quick Launch folder in a fresh prefix";
}

TEST_F(FolderTokens, ProgramFilesForBrowserAndAccess) {
    change(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\IE Setup\\Setup", "Path", "C:\\Program Files\\Internet Explorer");
    change(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSACCESS.EXE", "",
           "C:\\Office\\MSACCESS.EXE");
    EXPECT_EQ(resolve(browser), "C:\\Program Files\\Internet Explorer\\iexplore.exe");
    EXPECT_EQ(resolve(msAccess), "C:\\Office\\MSACCESS.EXE");
}

TEST_F(FolderTokens, QuickLaunchOnceItsFolderExists) {
    std::string folder = resolve(appData) + "\\Microsoft\\Internet Explorer\\Quick Launch";
    CreateDirectoryA((resolve(appData) + "\\Microsoft").c_str(), nullptr);
    CreateDirectoryA((resolve(appData) + "\\Microsoft\\Internet Explorer").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(resolve(quickLaunch), folder);
    RemoveDirectoryA(folder.c_str());
}

TEST_F(FolderTokens, FoldersFromTheSystemAndTheRegistry) {
    char buffer[MAX_PATH];
    EXPECT_EQ(resolve(systemFolder), std::string(buffer, GetSystemDirectoryA(buffer, MAX_PATH)));
    EXPECT_EQ(resolve(windowsFolder), windowsPath());
    EXPECT_EQ(resolve(programFiles), "C:\\Program Files");
    EXPECT_EQ(resolve(commonFiles), "C:\\Program Files\\Common Files");
    change(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "D:\\Programs");
    EXPECT_EQ(resolve(programFiles), "D:\\Programs") << "the registry, not the shell code";
}

TEST_F(FolderTokens, EmptyMediaValueIsBuiltAndWrittenBack) {
    change(HKEY_CURRENT_USER, shellFolders, "My Pictures", "");
    std::string expected = resolve(documents) + "\\My Pictures";
    RemoveDirectoryA(expected.c_str());
    EXPECT_EQ(resolve(pictures), expected);
    EXPECT_TRUE(isFolder(expected));
    EXPECT_EQ(read(HKEY_CURRENT_USER, shellFolders, "My Pictures"), expected);
    RemoveDirectoryA(expected.c_str());
}

TEST_F(FolderTokens, MediaValuesThatAreSetAreTakenAsTheyStand) {
    change(HKEY_CURRENT_USER, shellFolders, "My Video", "C:\\users\\Public");
    EXPECT_EQ(resolve(video), "C:\\users\\Public");
    EXPECT_EQ(resolve(commonMusic), "C:\\users\\Public\\Music");
}

TEST_F(FolderTokens, MissingCommonMediaValueIsBuiltOnTheCommonDocuments) {
    change(HKEY_LOCAL_MACHINE, shellFolders, "CommonMusic", nullptr);
    EXPECT_EQ(resolveUnder(windowsXp, commonMusic), "C:\\users\\Public\\Documents\\My Music");
    EXPECT_TRUE(isFolder("C:\\users\\Public\\Documents\\My Music"));
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, shellFolders, "CommonMusic"), "C:\\users\\Public\\Documents\\My Music");
}

TEST_F(FolderTokens, CommonAppDataOnNinetyEightIsAlwaysBuiltAndTheValueKept) {
    std::string built = windowsPath() + "\\Profiles\\All Users\\Application Data";
    for (int version : {windows98, windows98Se}) {
        EXPECT_EQ(resolveUnder(version, commonAppData), built) << version;
        EXPECT_TRUE(isFolder(built));
        EXPECT_EQ(read(HKEY_LOCAL_MACHINE, shellFolders, "Common AppData"), "C:\\ProgramData") << "left unchanged";
    }
    EXPECT_EQ(resolveUnder(windows95, commonAppData), "C:\\ProgramData") << "the value where it exists";
    EXPECT_EQ(resolveUnder(windowsNewer, commonAppData), "C:\\ProgramData");
}

TEST_F(FolderTokens, CommonAppDataWithoutItsValue) {
    change(HKEY_LOCAL_MACHINE, shellFolders, "Common AppData", nullptr);
    std::string built = windowsPath() + "\\Profiles\\All Users\\Application Data";
    EXPECT_EQ(resolveUnder(windows95, commonAppData), built);
    EXPECT_TRUE(isFolder(built));
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, shellFolders, "Common AppData"), built) << "written where it was missing";
    deleteRegistryValue(HKEY_LOCAL_MACHINE, shellFolders, "Common AppData", false);
    EXPECT_EQ(resolveUnder(windowsXp, commonAppData), "C:\\ProgramData") << "the shell's folder";
}

TEST_F(FolderTokens, AllUsersFromTheProfileList) {
    EXPECT_EQ(resolve(allUsers), windowsPath() + "\\Profiles\\All Users") << "no AllUsersProfile in the prefix";
    change(HKEY_LOCAL_MACHINE, profileList, "AllUsersProfile", "All Users");
    change(HKEY_LOCAL_MACHINE, profileList, "ProfilesDirectory", "%SystemDrive%\\users");
    EXPECT_EQ(resolve(allUsers), "C:\\users\\All Users") << "joined and expanded";
}

TEST_F(FolderTokens, AllUsersWithoutTheProfileListIsTheWindowsFolder) {
    // The key goes away for this test only: exported before, imported after.
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    auto run = [&](std::string command) {
        PROCESS_INFORMATION process;
        ASSERT_TRUE(
            CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    };
    std::string backup = tempPath() + "\\velkorin-profiles.reg";
    run("reg.exe export \"HKLM\\" + std::string(profileList) + "\" \"" + backup + "\" /y");
    ASSERT_NE(GetFileAttributesA(backup.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(deleteRegistryKey(HKEY_LOCAL_MACHINE, profileList, true), 0u);
    EXPECT_EQ(resolve(allUsers), windowsPath());
    run("reg.exe import \"" + backup + "\"");
    DeleteFileA(backup.c_str());
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, profileList, "ProfilesDirectory"), "C:\\users");
}

TEST_F(FolderTokens, UserProfileFallsBackWhenTheShellHasNoAnswer) {
    EXPECT_EQ(resolve(userProfile), "C:\\users\\root");
    unloadShellFunctions();
    const char reconciliation[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProfileReconciliation";
    const char provider[] = "Software\\Microsoft\\Protected Storage System Provider\\S-1-5-21-7-7-7-1001";
    const std::string profile = std::string(profileList) + "\\S-1-5-21-7-7-7-1001";
    EXPECT_EQ(resolve(userProfile), windowsPath()) << "nothing found: the Windows folder";
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, provider, "", REG_SZ, "", 1), 0u);
    ASSERT_EQ(writeRegistryValue(HKEY_LOCAL_MACHINE, profile.c_str(), "ProfileImagePath", REG_EXPAND_SZ,
                                 "%SystemRoot%\\Profiles\\tester", 29), 0u);
    EXPECT_EQ(resolve(userProfile), windowsPath() + "\\Profiles\\tester") << "the first protected-storage identity";
    change(HKEY_CURRENT_USER, reconciliation, "ProfileDirectory", "C:\\users\\reconciled");
    EXPECT_EQ(resolve(userProfile), "C:\\users\\reconciled") << "the reconciliation value comes first";
    deleteRegistryKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Protected Storage System Provider", true);
    deleteRegistryKey(HKEY_LOCAL_MACHINE, profile.c_str(), true);
}

TEST_F(FolderTokens, AppDataFallsBackToShellFoldersThenBuildsOnTheProfile) {
    unloadShellFunctions();
    EXPECT_EQ(resolve(appData), "C:\\users\\root\\AppData\\Roaming") << "the Shell Folders value";
    change(HKEY_CURRENT_USER, shellFolders, "AppData", nullptr);
    std::string built = windowsPath() + "\\Application Data";
    EXPECT_EQ(resolve(appData), built) << "built on the profile, here the Windows folder";
    EXPECT_TRUE(isFolder(built));
    EXPECT_EQ(read(HKEY_CURRENT_USER, shellFolders, "AppData"), built);
    EXPECT_EQ(resolve(documents), tempPath()) << "without the shell a code-only token is the temp folder";
}

}  // namespace
