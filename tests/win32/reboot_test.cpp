// Shared-file counts in HKLM's SharedDLLs key, and replacement at the next restart by each of
// the three routes, proven by Wine's simulated restart (wineboot -r) in this test prefix.
#include <gtest/gtest.h>

#include "test_files.h"

#include "fresh_state.h"

#include <string>

#include "install/reboot.h"
#include "install/shared_files.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system/file_system.h"
#include "system/registry.h"

namespace {
// Wine has no command.com: when this program is started under that name (the RunOnce route's
// command), it hands its arguments to cmd.exe and ends with cmd's exit code.
struct CommandComForwarder {
    CommandComForwarder() {
        char self[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
        if (length < 12 || lstrcmpiA(self + length - 12, "\\command.com") != 0) return;
        const char* line = GetCommandLineA();
        if (*line == '"') {
            for (++line; *line && *line != '"'; ++line) {}
            if (*line) ++line;
        } else {
            while (*line && *line != ' ') ++line;
        }
        std::string command = std::string("cmd.exe") + line;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        DWORD code = 1;
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        ExitProcess(code);
    }
} commandComForwarder;

const std::string folder = "C:\\vk-reboot";
const char sharedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

std::string shortPath(const std::string& path) {
    char buffer[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return length && length < MAX_PATH ? buffer : "<none>";
}

std::string windowsFile(const char* name) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\" + name;
}

// Wine's simulated restart: pending renames, wininit.ini and RunOnce are carried out.
void restart() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    char command[] = "wineboot.exe -r";
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

class Reboot : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        deleteTree(folder.c_str());
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        DeleteFileA(windowsFile("wininit.ini").c_str());
        DeleteFileA(windowsFile("wininit.bak").c_str());
    }
    void TearDown() override {
        deleteTree(folder.c_str());
        DeleteFileA(windowsFile("wininit.ini").c_str());
        closeFreshState();
    }
    // A replacement source "new <name>" beside a target "old <name>".
    static void prepare(const std::string& source, const std::string& target) {
        writeFile(folder + "\\" + source, "new " + target);
        writeFile(folder + "\\" + target, "old " + target);
    }
};

TEST_F(Reboot, SharedCountsRiseFallAndVanishAtZero) {
    std::string path = folder + "\\shared.dll";
    deleteRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), false);
    EXPECT_EQ(adjustSharedCount(path.c_str(), false), 1u);
    EXPECT_EQ(adjustSharedCount(path.c_str(), false), 2u);
    DWORD type = 0, size = 0;
    BYTE* data = readRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), &type, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(data), 2u);
    heapFree(data);
    EXPECT_EQ(adjustSharedCount(path.c_str(), true), 1u);
    EXPECT_EQ(adjustSharedCount(path.c_str(), true), 0u);
    data = readRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), &type);
    EXPECT_EQ(data, nullptr) << "the value goes at 0";
    heapFree(data);
    EXPECT_EQ(adjustSharedCount(path.c_str(), true), 0u) << "an absent count stays 0";
    EXPECT_EQ(readRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), &type), nullptr);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, sharedKey, 0, KEY_READ, &key), ERROR_SUCCESS) << "the key stays";
    RegCloseKey(key);
}

// Another program's count may be stored as text; it is read as the number it spells, and the new
// count is written as a REG_DWORD.
TEST_F(Reboot, ASharedCountStoredAsTextIsReadAsItsNumber) {
    std::string path = folder + "\\text-count.dll";
    ASSERT_EQ(writeRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), REG_SZ, "3", 2), 0u);
    EXPECT_EQ(adjustSharedCount(path.c_str(), false), 4u);
    DWORD type = 0, size = 0;
    BYTE* data = readRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), &type, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(*reinterpret_cast<DWORD*>(data), 4u);
    heapFree(data);

    ASSERT_EQ(writeRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), REG_SZ, "1", 2), 0u);
    EXPECT_EQ(adjustSharedCount(path.c_str(), true), 0u) << "the last user of the file removes it";
    EXPECT_EQ(readRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), &type), nullptr);

    const char binary[4] = {2, 0, 0, 0};
    ASSERT_EQ(writeRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), REG_BINARY, binary, 4), 0u);
    EXPECT_EQ(adjustSharedCount(path.c_str(), true), 1u);
    ASSERT_EQ(writeRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), REG_MULTI_SZ, "7\0\0", 3), 0u);
    EXPECT_EQ(adjustSharedCount(path.c_str(), false), 1u) << "a count of no known type is 0";
    deleteRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), false);
}

TEST_F(Reboot, MoveFileExReplacesAndDeletesAtRestart) {
    prepare("copy1.tmp", "LongFileName.txt");
    writeFile(folder + "\\obsolete.tmp", "obsolete");
    ASSERT_TRUE(scheduleReplaceOnReboot((folder + "\\copy1.tmp").c_str(), (folder + "\\LongFileName.txt").c_str()));
    ASSERT_TRUE(scheduleReplaceOnReboot((folder + "\\obsolete.tmp").c_str(), nullptr));
    EXPECT_EQ(readFile(folder + "\\LongFileName.txt"), "old LongFileName.txt") << "nothing happens before the restart";
    EXPECT_FALSE(exists(windowsFile("wininit.ini"))) << "MoveFileEx took both";
    restart();
    EXPECT_EQ(readFile(folder + "\\LongFileName.txt"), "new LongFileName.txt");
    EXPECT_FALSE(exists(folder + "\\copy1.tmp"));
    EXPECT_FALSE(exists(folder + "\\obsolete.tmp"));
}

TEST_F(Reboot, WithoutMoveFileExShortNamesGoThroughWininit) {
    prepare("copy2.tmp", "Readme.txt");
    writeFile(folder + "\\obsolete.tmp", "obsolete");
    std::string source = folder + "\\copy2.tmp", target = folder + "\\Readme.txt";
    std::string expected = "[Rename]\r\n" + shortPath(target) + "=" + shortPath(source) + "\r\nNUL=" +
                           shortPath(folder + "\\obsolete.tmp");
    ASSERT_TRUE(scheduleReplaceVia(source.c_str(), target.c_str(), false));
    ASSERT_TRUE(scheduleReplaceVia((folder + "\\obsolete.tmp").c_str(), "", false)) << "an empty target deletes";
    EXPECT_EQ(readFile(windowsFile("wininit.ini")), expected) << "exactly the lines, no slack behind them";
    restart();
    EXPECT_EQ(readFile(folder + "\\Readme.txt"), "new Readme.txt");
    EXPECT_FALSE(exists(source));
    EXPECT_FALSE(exists(folder + "\\obsolete.tmp"));
    EXPECT_FALSE(exists(windowsFile("wininit.ini"))) << "the restart renames it to wininit.bak";
}

TEST_F(Reboot, WininitKeepsItsOtherSections) {
    writeFile(folder + "\\gone.tmp", "x");
    std::string before = "[boot]\r\nshell=x\r\n\r\n[rename]\r\nNUL=C:\\OLD.TMP\r\n\r\n[Other]\r\ny=2\r\n";
    writeFile(windowsFile("wininit.ini"), before);
    ASSERT_TRUE(appendRenameEntry((folder + "\\gone.tmp").c_str(), nullptr));
    EXPECT_EQ(readFile(windowsFile("wininit.ini")), "[boot]\r\nshell=x\r\n\r\n[rename]\r\nNUL=C:\\OLD.TMP\r\nNUL=" +
                                                         shortPath(folder + "\\gone.tmp") +
                                                         "\r\n\r\n[Other]\r\ny=2\r\n");
}

TEST_F(Reboot, WithoutMoveFileExLongNamesGoThroughRunOnce) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandCom = std::string(system) + "\\command.com";
    ASSERT_TRUE(CopyFileA(self, commandCom.c_str(), FALSE)) << "a command.com for the restart";
    prepare("copy3.tmp", "a.html");
    std::string source = folder + "\\copy3.tmp", target = folder + "\\a.html";
    ASSERT_TRUE(scheduleReplaceVia(source.c_str(), target.c_str(), false));
    DWORD type = 0;
    char* command = reinterpret_cast<char*>(readRegistryValue(
        HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", source.c_str(), &type));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(command), "command.com /c move \"" + source + "\" \"" + target + "\"");
    heapFree(command);
    EXPECT_FALSE(exists(windowsFile("wininit.ini")));
    restart();
    DeleteFileA(commandCom.c_str());
    EXPECT_EQ(readFile(target), "new a.html");
    EXPECT_FALSE(exists(source));
}
}  // namespace
