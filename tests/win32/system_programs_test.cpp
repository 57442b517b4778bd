// Programs and libraries of the system are taken from the system folder, and libraries that the
// package names get their dependencies from their own folder: nothing planted in the folder the
// program was started from is ever run.
#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

#include "install/launches.h"
#include "support/heap.h"
#include "system/security.h"

namespace {
const char shutdownMarker[] = "C:\\vk-shutdown-started.txt";

// Started under the name shutdown.exe, this program writes its own path into the marker file
// and ends: it stands in for the system's program and for one planted beside the tests.
struct ShutdownStandIn {
    ShutdownStandIn() {
        char self[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
        if (length < 13 || lstrcmpiA(self + length - 13, "\\shutdown.exe") != 0) return;
        HANDLE file = CreateFileA(shutdownMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, self, length, &written, nullptr);
        CloseHandle(file);
        ExitProcess(0);
    }
} shutdownStandIn;

std::string programFolder() {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, length);
    return path.substr(0, path.rfind('\\'));
}

std::string systemFolder() {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, length);
}

std::string waitForFile(const std::string& path) {
    for (int i = 0; i < 200 && !exists(path); ++i) Sleep(50);
    Sleep(100);  // the writer may still hold it open
    return readFile(path);
}

TEST(SystemPrograms, TheRestartFallBackStartsTheSystemFoldersShutdown) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string planted = programFolder() + "\\shutdown.exe";
    std::string system = systemFolder() + "\\shutdown.exe", saved = systemFolder() + "\\shutdown.exe.vk-saved";
    DeleteFileA(shutdownMarker);
    ASSERT_TRUE(CopyFileA(self, planted.c_str(), FALSE));
    ASSERT_TRUE(MoveFileExA(system.c_str(), saved.c_str(), MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(CopyFileA(self, system.c_str(), FALSE));

    // Wine runs its own built-in program for a system folder's shutdown.exe unless told to run the
    // file itself.
    HKEY overrides = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                    &overrides, nullptr);
    RegSetValueExA(overrides, "shutdown.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    // Setup is usually started from its own folder, so that folder is also the current one.
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(programFolder().c_str());
    bool started = startShutdownProgram();
    std::string ran = waitForFile(shutdownMarker);
    SetCurrentDirectoryA(current);
    RegDeleteValueA(overrides, "shutdown.exe");
    RegCloseKey(overrides);

    DeleteFileA(system.c_str());
    MoveFileExA(saved.c_str(), system.c_str(), MOVEFILE_REPLACE_EXISTING);
    DeleteFileA(planted.c_str());
    DeleteFileA(shutdownMarker);
    EXPECT_TRUE(started);
    EXPECT_EQ(lstrcmpiA(ran.c_str(), system.c_str()), 0) << "started: " << ran;
    // Wine's ShellExecute does not look in the current folder for a bare name, as Windows does:
    // the name it is given must already be the system folder's full path.
    char given[MAX_PATH + 16] = "";
    EXPECT_TRUE(shutdownProgramPath(given));
    EXPECT_EQ(lstrcmpiA(given, system.c_str()), 0) << "given: " << given;
}

class DllCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heapCreate());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        marker = std::string(temp) + "vk-dll-call.txt";
        DeleteFileA(marker.c_str());
    }
    void TearDown() override {
        DeleteFileA(marker.c_str());
        heapDestroy();
    }
    std::string marker;
};

TEST_F(DllCalls, ALibraryNamedWithoutAFolderIsTakenFromTheSystemFolderOnly) {
    ASSERT_TRUE(exists(programFolder() + "\\helper-sample.dll")) << "the planted library is beside the tests";
    EXPECT_FALSE(callDllFunction({"helper-sample.dll", "Mark", marker.c_str(), ""}));
    EXPECT_FALSE(exists(marker)) << "the library beside the program ran: " << readFile(marker);
    EXPECT_TRUE(callDllFunction({"kernel32.dll", "GetTickCount", "", ""})) << "system libraries load by bare name";
}

TEST_F(DllCalls, ALibrarysDependenciesComeFromItsOwnFolder) {
    std::string library = programFolder() + "\\lib\\call-sample.dll";
    ASSERT_TRUE(exists(library));
    EXPECT_TRUE(callDllFunction({library.c_str(), "Mark", marker.c_str(), ""}));
    EXPECT_EQ(readFile(marker), "lib") << "the dependency was taken from the program's folder";
}
}  // namespace
