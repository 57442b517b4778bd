// Install-worker steps that touch the system outside the file area, on Wine: INI files named
// without a folder, the uninstaller image and the Uninstall entry, and what each logs.
#include <gtest/gtest.h>

#include "fresh_state.h"
#include "test_files.h"

#include <string>
#include <vector>

#include "install/ini_entries.h"
#include "script/setup_state.h"
#include "support/string_list.h"

namespace {

constexpr int windowsToken = 25;  // index of "<Windows>" in the folder paths

class InstallSteps : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "velkorin-steps";
        CreateDirectoryA(folder.c_str(), nullptr);
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        windowsFolder = windows;
        listSetAt(&state.folderPaths, windowsToken, windows);
        state.resumeEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        logPath = folder + "\\steps.log";
        state.logFile = CreateFileA(logPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(state.logFile, INVALID_HANDLE_VALUE);
        GetCurrentDirectoryA(MAX_PATH, previousDirectory);
        SetCurrentDirectoryA(folder.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryA(previousDirectory);
        CloseHandle(state.logFile);
        CloseHandle(state.resumeEvent);
        for (const std::string& path : cleanUp) DeleteFileA(path.c_str());
        DeleteFileA(logPath.c_str());
        RemoveDirectoryA(folder.c_str());
        closeFreshState();
    }
    // Every line recorded so far, without its line feed.
    static std::vector<std::string> recorded() {
        std::vector<std::string> all;
        for (int i = 0; i < listCount(&state.logLines); ++i) {
            std::string line = listAt(&state.logLines, i);
            line.pop_back();
            all.push_back(line);
        }
        return all;
    }
    std::string folder, windowsFolder, logPath;
    std::vector<std::string> cleanUp;
    char previousDirectory[MAX_PATH] = {};
};

TEST_F(InstallSteps, ABareIniNameIsTestedWhereItIsWritten) {
    // The file exists in the Windows folder, where the profile functions put a bare name, and not
    // in the current folder: the rollback must not delete it.
    std::string systemIni = windowsFolder + "\\velkorin-steps.ini";
    cleanUp.push_back(systemIni);
    ASSERT_NO_FATAL_FAILURE(writeFile(systemIni, "[Old]\r\nKept=1\r\n"));
    listAppend(&state.iniEntries, "velkorin-steps.ini,New,Key,Value,");
    ASSERT_TRUE(writeIniEntries(nullptr));
    EXPECT_EQ(recorded(), std::vector<std::string>{}) << "a file that was there is not logged for removal";
    char value[32] = {};
    GetPrivateProfileStringA("New", "Key", "", value, sizeof(value), systemIni.c_str());
    EXPECT_STREQ(value, "Value");
    GetPrivateProfileStringA("Old", "Kept", "", value, sizeof(value), systemIni.c_str());
    EXPECT_STREQ(value, "1");
}

TEST_F(InstallSteps, ABareIniNameMissingFromTheWindowsFolderIsLogged) {
    // A file of that name in the current folder does not count: the new one is made elsewhere.
    std::string local = folder + "\\velkorin-new.ini";
    std::string systemIni = windowsFolder + "\\velkorin-new.ini";
    cleanUp.push_back(local);
    cleanUp.push_back(systemIni);
    DeleteFileA(systemIni.c_str());
    ASSERT_NO_FATAL_FAILURE(writeFile(local, "[Local]\r\n"));
    listAppend(&state.iniEntries, "velkorin-new.ini,New,Key,Value,");
    ASSERT_TRUE(writeIniEntries(nullptr));
    EXPECT_EQ(recorded(), std::vector<std::string>{"b," + systemIni});
    EXPECT_TRUE(exists(systemIni));
}

}  // namespace
