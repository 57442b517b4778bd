// The rollback and the removal worker on Wine's file system and registry: a hand-written install
// log over real folders, files, keys and shared counts is undone, and what must stay stays.
#include <gtest/gtest.h>

#include "dialog_watch.h"
#include "test_files.h"

#include "fresh_state.h"

#include <string>
#include <utility>
#include <vector>

#include "install/shared_files.h"
#include "resources/ids.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system/file_system.h"
#include "system/registry.h"
#include "ui/messages.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_worker.h"
#include "uninstall/uninstaller.h"

namespace {
const std::string base = "C:\\vk-removal";
const std::string app = base + "\\App";
const std::string logPath = base + "\\rollback.log";
const char registryBase[] = "Software\\VelkorinRemoval";
const char sharedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Answers the boxes that the worker shows, in order, and records every box it saw.
struct BoxAnswerer {
    std::vector<std::pair<std::string, int>> script;  // expected caption, control to press
    std::vector<std::pair<std::string, std::string>> seen;  // caption, text
    volatile bool stop = false;
    HANDLE thread = nullptr;
};

void answerBox(BoxAnswerer* answerer, HWND dialog) {
    char caption[256], text[2048] = "";
    GetWindowTextA(dialog, caption, sizeof(caption));
    if (!GetDlgItemTextA(dialog, 0xFFFF, text, sizeof(text)))  // a message box, else the question dialog
        GetDlgItemTextA(dialog, IDC_QUESTION_TEXT, text, sizeof(text));
    size_t index = answerer->seen.size();
    answerer->seen.emplace_back(caption, text);
    bool expected = index < answerer->script.size() && answerer->script[index].first == caption;
    for (int id : expected ? std::vector<int>{answerer->script[index].second} : std::vector<int>{IDOK, IDNO, IDCANCEL})
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    for (int wait = 0; wait < 500 && IsWindow(dialog); ++wait) Sleep(10);
}

DWORD WINAPI answerBoxes(void* parameter) {
    BoxAnswerer* answerer = static_cast<BoxAnswerer*>(parameter);
    while (!answerer->stop) {
        HWND dialog = nullptr;
        EnumWindows(findOwnDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog) answerBox(answerer, dialog);
        else Sleep(10);
    }
    return 0;
}

void startAnswering(BoxAnswerer* answerer) {
    answerer->thread = CreateThread(nullptr, 0, answerBoxes, answerer, 0, nullptr);
}

void stopAnswering(BoxAnswerer* answerer) {
    answerer->stop = true;
    WaitForSingleObject(answerer->thread, INFINITE);
    CloseHandle(answerer->thread);
}

std::vector<std::string> captions(const BoxAnswerer& answerer) {
    std::vector<std::string> all;
    for (const auto& box : answerer.seen) all.push_back(box.first);
    return all;
}

DWORD sharedCount(const std::string& path) {
    DWORD type = 0;
    BYTE* data = readRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), &type);
    DWORD count = data ? *reinterpret_cast<DWORD*>(data) : 0xFFFFFFFF;  // absent: all ones
    heapFree(data);
    return count;
}

void setSharedCount(const std::string& path, DWORD count) {
    ASSERT_EQ(writeRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, path.c_str(), REG_DWORD, &count, sizeof(count)), 0u);
}

bool valueExists(const char* key, const char* name) {
    DWORD type;
    BYTE* data = readRegistryValue(HKEY_CURRENT_USER, key, name, &type);
    heapFree(data);
    return data != nullptr;
}

bool keyExists(const std::string& key) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

std::vector<std::string> items(const StringList& list) {
    std::vector<std::string> all;
    for (int i = 0; i < listCount(&list); ++i) all.push_back(listAt(&list, i));
    return all;
}

class Removal : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        state.instance = GetModuleHandleA(nullptr);
        state.uninstallDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        state.resumeEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        state.tempFolderPath = tempFolder();
        state.tempLogPath = duplicateText(logPath.c_str());
        deleteTree(base.c_str());
        ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
        deleteRegistryKey(HKEY_CURRENT_USER, registryBase, true);
    }
    void TearDown() override {
        deleteTree(base.c_str());
        deleteRegistryKey(HKEY_CURRENT_USER, registryBase, true);
        CloseHandle(state.uninstallDoneEvent);
        CloseHandle(state.resumeEvent);
        heapFree(logText);  // the loaded log lives as long as the heap
        logText = logEntries = logEnd = nullptr;
        closeFreshState();
    }
    // The temporary log: the header, then the entry lines in the order the installer wrote them.
    static void writeLog(const std::vector<std::string>& entries) {
        std::string log = "=== Velkorin log file ===\nDemo 1.0\nDemo\n1,0x1,0x2,0x3,0x4,Tahoma,0x5,Arial,0x6\n";
        for (const std::string& entry : entries) log += entry + "\n";
        writeFile(logPath, log);
    }
    static void makeFolder(const std::string& path) { ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path; }
    static bool removalDone() { return WaitForSingleObject(state.uninstallDoneEvent, 0) == WAIT_OBJECT_0; }
    // Runs the rollback while the answerer takes the boxes.
    static void rollBack(BoxAnswerer* answerer) {
        startAnswering(answerer);
        runUninstaller(true);
        stopAnswering(answerer);
    }
};

TEST_F(Removal, RollbackUndoesEveryKindOfEntryAndKeepsWhatIsNotItsOwn) {
    makeFolder(app);
    makeFolder(app + "\\Sub");
    makeFolder(app + "\\Foreign");
    makeFolder(base + "\\Start");
    for (const char* name : {"\\app.exe", "\\locked.dll", "\\pending.txt", "\\readonly.txt", "\\Sub\\sub.txt",
                             "\\Foreign\\foreign.txt", "\\shared1.dll", "\\shared2.dll"})
        writeFile(app + name, name);
    writeFile(base + "\\Start\\Demo.lnk", "link");
    SetFileAttributesA((app + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    setSharedCount(app + "\\shared1.dll", 1);
    setSharedCount(app + "\\shared2.dll", 2);
    std::string key = std::string(registryBase), keep = key + "\\Keep", tree = key + "\\Tree";
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, key.c_str(), "Path", REG_SZ, "x", 2), 0u);
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, keep.c_str(), "Foreign", REG_SZ, "x", 2), 0u);
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, (tree + "\\Deep").c_str(), "V", REG_SZ, "x", 2), 0u);
    listAppend(&state.pendingReplacements, (app + "\\PENDING.TXT").c_str());
    HANDLE locked = CreateFileA((app + "\\locked.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    writeLog({"a," + app, "a," + app + "\\Sub", "a," + app + "\\Foreign", "b," + app + "\\app.exe",
              "b," + app + "\\locked.dll", "b," + app + "\\pending.txt", "b," + app + "\\readonly.txt",
              "b," + app + "\\Sub\\sub.txt", "g," + app + "\\shared1.dll", "g," + app + "\\shared2.dll",
              "a," + base + "\\Start", "h," + base + "\\Start\\Demo.lnk", "e,1," + key, "e,1," + keep,
              "c,1," + key + ",Path", "c,1," + key + ",NeverThere", "e,1," + key + "\\Missing", "e,1," + tree + ",1",
              "z,an unknown kind is skipped", "f,msvcrt.dll,_mkdir," + base + "\\made-by-call",
              "d,C:\\windows\\system32\\cmd.exe,/c if not exist " + logPath + " echo gone> " + base +
                  "\\marker.txt,,1"});

    BoxAnswerer answerer;
    answerer.script = {{"Shared File Detected", IDOK}};
    rollBack(&answerer);
    CloseHandle(locked);

    EXPECT_FALSE(exists(logPath)) << "the temporary log goes with the rollback";
    EXPECT_EQ(readFile(base + "\\marker.txt").substr(0, 4), "gone") << "the log was gone before the last line ran";
    EXPECT_TRUE(exists(base + "\\made-by-call")) << "the DLL call ran with its argument";
    for (const char* gone : {"\\app.exe", "\\readonly.txt", "\\Sub\\sub.txt", "\\Sub", "\\shared1.dll"})
        EXPECT_FALSE(exists(app + gone)) << gone;
    EXPECT_FALSE(exists(base + "\\Start")) << "the link went, then its empty folder";
    for (const char* stays : {"\\locked.dll", "\\pending.txt", "\\Foreign\\foreign.txt", "\\shared2.dll"})
        EXPECT_TRUE(exists(app + stays)) << stays;
    EXPECT_EQ(items(state.leftoverPaths), (std::vector<std::string>{app + "\\Foreign", app}));
    EXPECT_EQ(items(state.rebootDeletePaths), std::vector<std::string>{app + "\\locked.dll"});
    EXPECT_EQ(sharedCount(app + "\\shared2.dll"), 1u);
    EXPECT_EQ(sharedCount(app + "\\shared1.dll"), 0xFFFFFFFFu) << "a count of 0 is deleted";
    EXPECT_FALSE(valueExists(registryBase, "Path"));
    EXPECT_FALSE(keyExists(tree)) << "deleted with its subkeys";
    EXPECT_TRUE(valueExists(keep.c_str(), "Foreign")) << "a key that is not empty is kept";
    EXPECT_TRUE(keyExists(key));
    ASSERT_EQ(captions(answerer), std::vector<std::string>{"Shared File Detected"})
        << "missing values and keys and kept keys show nothing";
    EXPECT_EQ(answerer.seen[0].second,
              "The system indicates that the following shared file is no longer used by any programs. If any "
              "programs are still using this file and it is removed, those programs may not function. Are you sure "
              "you want to remove the shared file? \n\nFile name: shared1.dll\nLocated in: " + app +
                  "\n\nLeaving this file will not harm your system. If you are not sure what to do, it is suggested "
                  "that you choose to not to remove this shared component.");
    EXPECT_TRUE(removalDone());
}

TEST_F(Removal, RegistryFailuresAreShownAndTheRemovalGoesOn) {
    writeFile(base + "\\file.txt", "x");
    // Performance data (root 4) holds no keys that could be deleted: both operations under it fail.
    writeLog({"b," + base + "\\file.txt", "e,4,Software\\Nowhere,1", "c,4,Software\\Nowhere,Value"});
    BoxAnswerer answerer;
    answerer.script = {{"Deleting Registry Value", IDOK}, {"Deleting Registry Key", IDOK}};
    rollBack(&answerer);
    ASSERT_EQ(captions(answerer), (std::vector<std::string>{"Deleting Registry Value", "Deleting Registry Key"}));
    EXPECT_EQ(answerer.seen[0].second.rfind("Error deleting registry value 'Value' in the key 'HKPD\\Software\\Nowhere'.\n", 0),
              0u) << answerer.seen[0].second;
    EXPECT_EQ(answerer.seen[1].second.rfind("Error deleting registry key 'HKPD\\Software\\Nowhere'.\n", 0), 0u)
        << answerer.seen[1].second;
    EXPECT_GT(answerer.seen[1].second.size(), std::string("Error deleting registry key 'HKPD\\Software\\Nowhere'.\n").size())
        << "the system's message follows";
    EXPECT_FALSE(exists(base + "\\file.txt")) << "the lines after a failure are still undone";
    EXPECT_TRUE(removalDone());
}

TEST_F(Removal, DamagedEntryLinesAreSkippedNeverWidened) {
    std::string keep = std::string(registryBase) + "\\Keep";
    DWORD one = 1;
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, keep.c_str(), "Mine", REG_DWORD, &one, sizeof(one)), 0u);
    writeFile(base + "\\file.txt", "x");
    // An empty or backslashed key would widen to the whole root or the parent; a root number out
    // of range, a relative path: each line is skipped without a message, the sound one is undone.
    writeLog({"e,1,,1", "e,1," + std::string(registryBase) + "\\,1", "e,1,\\,1", "c,1," + keep + "\\,Mine",
              "e,9," + keep + ",1", "e,01x," + keep + ",1", "a,vk-removal", "b,file.txt", "b,\\vk-removal\\file.txt",
              "b," + base + "\\file.txt"});
    BoxAnswerer answerer;
    rollBack(&answerer);
    EXPECT_EQ(captions(answerer), std::vector<std::string>{}) << "skipped lines show nothing";
    EXPECT_TRUE(valueExists(keep.c_str(), "Mine")) << "the key and its value stay";
    EXPECT_FALSE(exists(base + "\\file.txt")) << "the sound line is undone";
    EXPECT_TRUE(removalDone()) << "skipped lines still count as processed";
    RegDeleteKeyA(HKEY_CURRENT_USER, keep.c_str());
}

TEST_F(Removal, DamagedOrEmptyLogsRemoveNothing) {
    writeFile(base + "\\file.txt", "x");
    writeFile(logPath, "=== Velkorin Log File ===\nDemo\nDemo\n0\nb," + base + "\\file.txt\n");
    BoxAnswerer answerer;
    rollBack(&answerer);
    EXPECT_TRUE(exists(logPath)) << "a log that cannot be read is left alone";
    EXPECT_TRUE(exists(base + "\\file.txt"));

    writeLog({});
    BoxAnswerer second;
    rollBack(&second);
    EXPECT_FALSE(exists(logPath));
    EXPECT_FALSE(removalDone()) << "no entry lines: the removal never counts as done";
    EXPECT_EQ(removalWorker(nullptr), 1u);
    EXPECT_TRUE(answerer.seen.empty());
    EXPECT_TRUE(second.seen.empty());
}

TEST_F(Removal, FirstStageAsksThenStartsATemporaryCopyWithTheLogPath) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string program = base + "\\Remove.exe";
    ASSERT_TRUE(CopyFileA((std::string(system) + "\\hostname.exe").c_str(), program.c_str(), FALSE));
    writeFile(base + "\\Remove.log", "=== Velkorin log file ===\nDemo 1.0\nDemo\n0\nb," + base + "\\x\n");
    state.programFilePath = duplicateText(program.c_str());
    DWORD programSize = static_cast<DWORD>(readFile(program).size());  // a first block is enough to tell
    auto copies = [&] {
        int count = 0;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((std::string(state.tempFolderPath) + "\\VKR*.tmp").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            count += found.nFileSizeLow >= programSize;
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        return count;
    };
    int before = copies();
    BoxAnswerer answerer;
    answerer.script = {{"Demo Uninstall", IDNO}};
    startAnswering(&answerer);
    runUninstaller(false);
    stopAnswering(&answerer);
    ASSERT_EQ(captions(answerer), std::vector<std::string>{"Demo Uninstall"});
    EXPECT_EQ(answerer.seen[0].second, "Are you sure you want to completely remove Demo 1.0?");
    EXPECT_EQ(copies(), before) << "No: nothing is copied";

    BoxAnswerer yes;
    yes.script = {{"Demo Uninstall", IDYES}};
    startAnswering(&yes);
    runUninstaller(false);
    stopAnswering(&yes);
    ASSERT_EQ(captions(yes), std::vector<std::string>{"Demo Uninstall"});
    EXPECT_EQ(copies(), before + 1) << "Yes: the program is copied into a new file of the temporary folder";
    EXPECT_TRUE(exists(base + "\\Remove.log")) << "the first stage removes nothing";
    EXPECT_FALSE(removalDone());
}

// A stand-in for the uninstaller's page: the step and path labels and the progress bar.
struct Page {
    HWND window, step, path, progress;
};

Page createPage(int pathWidth) {
    LoadLibraryA("comctl32.dll");  // registers the progress bar's class
    Page page;
    page.window = CreateWindowExA(0, "STATIC", "page", WS_POPUP, 0, 0, 640, 200, nullptr, nullptr, nullptr, nullptr);
    HMENU ids[] = {reinterpret_cast<HMENU>(1003), reinterpret_cast<HMENU>(1004), reinterpret_cast<HMENU>(1023)};
    page.step = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 600, 20, page.window, ids[0], nullptr, nullptr);
    page.path = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 30, pathWidth, 20, page.window, ids[1], nullptr, nullptr);
    page.progress =
        CreateWindowExA(0, "msctls_progress32", "", WS_CHILD, 0, 60, 600, 20, page.window, ids[2], nullptr, nullptr);
    return page;
}

std::string windowText(HWND window) {
    char text[MAX_PATH * 2] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// Runs the worker for the page while this thread serves the page's messages; the worker's result.
DWORD runWorkerWithPage(HWND page, DWORD* threadId = nullptr) {
    DWORD id;
    HANDLE worker = CreateThread(nullptr, 0, removalWorker, page, 0, &id);
    if (threadId) *threadId = id;
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    DWORD result = 99;
    GetExitCodeThread(worker, &result);
    CloseHandle(worker);
    return result;
}

TEST_F(Removal, WithThePageItShowsStepsAndPathsAndAsksAboutFilesInUse) {
    std::string folder = base + "\\A folder whose name is far too long for a narrow label";
    makeFolder(folder);
    writeFile(folder + "\\in use.txt", "x");
    HANDLE locked = CreateFileA((folder + "\\in use.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    writeLog({"a," + folder, "b," + folder + "\\in use.txt", "z,skipped"});
    ASSERT_TRUE(loadInstallLog(logPath.c_str()));
    Page page = createPage(120);
    BoxAnswerer answerer;
    answerer.script = {{"Deleting File", IDYES}, {"Deleting File", IDNO}};
    startAnswering(&answerer);
    EXPECT_EQ(runWorkerWithPage(page.window), 0u);
    stopAnswering(&answerer);
    CloseHandle(locked);
    ASSERT_EQ(captions(answerer), (std::vector<std::string>{"Deleting File", "Deleting File"})) << "Yes tries again";
    EXPECT_EQ(answerer.seen[0].second, "The file " + folder + "\\in use.txt \nis currently in use by another "
              "application.\nWould you like to try deleting the file again, rather than \ninitiating a reboot at the "
              "end of the uninstallation process?");
    EXPECT_EQ(items(state.rebootDeletePaths), std::vector<std::string>{folder + "\\in use.txt"});
    EXPECT_EQ(items(state.leftoverPaths), std::vector<std::string>{folder});
    EXPECT_EQ(windowText(page.step), "Deleting files...");
    std::string shown = windowText(page.path);
    EXPECT_NE(shown.find("..."), std::string::npos) << shown;
    EXPECT_LT(shown.size(), folder.size()) << "shortened to the label";
    EXPECT_EQ(SendMessageA(page.progress, PBM_GETPOS, 0, 0), 100);
    EXPECT_TRUE(removalDone());
    DestroyWindow(page.window);
}

TEST_F(Removal, AStopRequestTakesEffectBetweenTwoEntries) {
    writeFile(base + "\\first.txt", "x");
    writeLog({"b," + base + "\\first.txt"});
    ASSERT_TRUE(loadInstallLog(logPath.c_str()));
    Page page = createPage(600);
    ResetEvent(state.resumeEvent);  // the page is asking whether to stop
    DWORD id;
    HANDLE worker = CreateThread(nullptr, 0, removalWorker, page.window, 0, &id);
    while (!PostThreadMessageA(id, WM_QUIT, 0, 0)) Sleep(1);
    SetEvent(state.resumeEvent);
    WaitForSingleObject(worker, INFINITE);
    DWORD result = 99;
    GetExitCodeThread(worker, &result);
    CloseHandle(worker);
    EXPECT_EQ(result, 0u);
    EXPECT_TRUE(exists(base + "\\first.txt")) << "stopped before the first entry";
    EXPECT_FALSE(removalDone());
    DestroyWindow(page.window);
}

// Runs last: a confirmed Yes To All lasts for the rest of the process.
TEST_F(Removal, YesToAllAsksForConfirmationAndNoThereAsksAgainNextTime) {
    std::vector<std::string> log;
    for (const char* name : {"\\d.dll", "\\c.dll", "\\b.dll", "\\a.dll"}) {  // undone a, b, c, d
        writeFile(base + name, name);
        setSharedCount(base + name, 1);
        log.push_back("g," + base + name);
    }
    writeLog(log);
    BoxAnswerer answerer;
    answerer.script = {{"Shared File Detected", IDCANCEL},
                       {"Shared File Detected", IDC_YES_TO_ALL},
                       {"Confirm Operation", IDNO},
                       {"Shared File Detected", IDC_YES_TO_ALL},
                       {"Confirm Operation", IDYES}};
    rollBack(&answerer);
    EXPECT_EQ(captions(answerer), (std::vector<std::string>{"Shared File Detected", "Shared File Detected",
                                                            "Confirm Operation", "Shared File Detected",
                                                            "Confirm Operation"}));
    EXPECT_TRUE(exists(base + "\\a.dll")) << "No keeps the file";
    EXPECT_EQ(sharedCount(base + "\\a.dll"), 0xFFFFFFFFu) << "its count is gone all the same";
    for (const char* name : {"\\b.dll", "\\c.dll", "\\d.dll"}) EXPECT_FALSE(exists(base + name)) << name;
    ASSERT_GE(answerer.seen.size(), 3u);
    EXPECT_EQ(answerer.seen[2].second,
              "You have chosen to remove all shared components which the system indicates \nare no longer being "
              "used. This may cause some programs not to function if they \nstill require any of this files. Are "
              "you sure you want to proceed?");
}
}  // namespace
