// Install-worker steps that touch the system outside the file area, on Wine: INI files named
// without a folder, the uninstaller image and the Uninstall entry, and what each logs.
#include <gtest/gtest.h>

#include "fresh_state.h"
#include "test_files.h"

#include <string>
#include <vector>

#include "install/ini_entries.h"
#include "install/install_worker.h"
#include "system/registry.h"
#include "install/install_log.h"
#include "script/setup_state.h"
#include "support/heap.h"
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
        closeLogFile(state.logFile);
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

TEST_F(InstallSteps, TheUninstallerImageOfAPackageBeyondTwoGigabytesIsWrittenWhole) {
    // A view of the whole file does not fit a 32-bit address space; the image alone does.
    std::string setup = folder + "\\big-setup.exe";
    std::string image(4096, 0);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 1);
    image[0] = 'M';
    image[1] = 'Z';
    image[18] = 0x00;
    image[19] = 0x10;  // packageOffset 4096
    cleanUp.push_back(setup);
    ASSERT_NO_FATAL_FAILURE(writeFile(setup, image + "package bytes"));
    HANDLE self = CreateFileA(setup.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(self, INVALID_HANDLE_VALUE);
    LONG high = 0;
    SetFilePointer(self, static_cast<LONG>(0xA0000000u), &high, FILE_BEGIN);  // 2.5 GiB, sparse
    ASSERT_TRUE(SetEndOfFile(self));
    state.selfFile = self;
    state.packageOffset = 4096;
    std::string copy = folder + "\\uninstall.exe";
    cleanUp.push_back(copy);
    bool written = writeUninstallerImage(copy.c_str());
    CloseHandle(self);
    state.selfFile = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(written);
    std::string expected = image;
    expected[18] = expected[19] = 0;
    EXPECT_EQ(readFile(copy), expected) << "the image with no package offset";
}

const char uninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A REG_SZ value of HKEY_LOCAL_MACHINE, or "<none>".
std::string machineText(const std::string& key, const char* name) {
    DWORD type = 0;
    BYTE* data = readRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), name, &type);
    std::string text = data && type == REG_SZ ? reinterpret_cast<char*>(data) : "<none>";
    heapFree(data);
    return text;
}

TEST_F(InstallSteps, TheUninstallEntryHoldsTheQuotedUninstallerPath) {
    state.productName = duplicateText("VelkorinSteps");
    state.productTitle = duplicateText("Velkorin Steps");
    std::string key = std::string(uninstallKey) + "\\VelkorinSteps";
    registerUninstaller("C:\\Program Files\\Velkorin Steps\\uninstall.exe");
    EXPECT_EQ(machineText(key, "DisplayName"), "Velkorin Steps");
    EXPECT_EQ(machineText(key, "UninstallString"), "\"C:\\Program Files\\Velkorin Steps\\uninstall.exe\"");
    EXPECT_EQ(recorded(), std::vector<std::string>{"e,2," + key + ",1"});
    deleteRegistryKey(HKEY_LOCAL_MACHINE, key.c_str(), true);
}

TEST_F(InstallSteps, AnEmptyProductNameRegistersAndLogsNothing) {
    // The entry would be the Uninstall key itself, and its removal every product's entry.
    std::string other = std::string(uninstallKey) + "\\VelkorinOther";
    ASSERT_EQ(writeRegistryValue(HKEY_LOCAL_MACHINE, other.c_str(), "DisplayName", REG_SZ, "Other", 6), 0u);
    state.productName = duplicateText("");
    state.productTitle = duplicateText("Nameless");
    registerUninstaller("C:\\App\\uninstall.exe");
    EXPECT_EQ(recorded(), std::vector<std::string>{});
    EXPECT_EQ(machineText(uninstallKey, "DisplayName"), "<none>");
    EXPECT_EQ(machineText(other, "DisplayName"), "Other");
    deleteRegistryKey(HKEY_LOCAL_MACHINE, other.c_str(), true);
}

}  // namespace

TEST_F(InstallSteps, TheTemporaryLogGetsEveryWrittenLineInOrderThroughItsBlocks) {
    // Lines wait in a block and are written when it fills and when the log is closed; lines
    // recorded without writing stay out, and a line longer than the block still arrives whole.
    std::string expected;
    for (int i = 0; i < 700; ++i) {  // about 50 KB: the helper reads up to 64 KiB
        std::string path = "C:\\Program Files\\Velkorin Steps\\folder " + std::to_string(i % 40) + "\\file" +
                           std::to_string(i) + ".txt";
        bool write = i % 7 != 0;
        ASSERT_TRUE(appendLogLine(state.logFile, "b", path.c_str(), write, false));
        if (write) expected += "b," + path + "\n";
        if (i == 350) {
            std::string longPath = "C:\\" + std::string(17000, 'x');
            ASSERT_TRUE(appendLogLine(state.logFile, "b", longPath.c_str(), true, false));
            expected += "b," + longPath + "\n";
        }
    }
    EXPECT_FALSE(appendLogLine(state.logFile, "B", "c:\\program files\\velkorin steps\\folder 1\\FILE1.TXT", true,
                               false))
        << "a line equal but for case is neither recorded nor written";
    ASSERT_GT(expected.size(), 2u * 0x4000);
    ASSERT_LT(expected.size(), 65536u);
    closeLogFile(state.logFile);
    state.logFile = INVALID_HANDLE_VALUE;
    EXPECT_EQ(readFile(logPath), expected);
}
