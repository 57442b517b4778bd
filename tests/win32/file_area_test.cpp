// Folder chains and the file-area walk under Wine: packages written by the test itself (raw data,
// and zlib streams made of stored blocks, which the stub's inflater reads like any other), the
// state the install worker would have set up, and every question answered by a watcher thread.
#include <gtest/gtest.h>

#include "fresh_state.h"
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "format/package_format.h"
#include "install/directory_chain.h"
#include "install/file_area.h"
#include "script/languages.h"
#include "install/install_log.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system/file_system.h"
#include "system/security.h"
#include "ui/messages.h"

namespace {
using Bytes = std::vector<BYTE>;

const char* const errorTexts[][2] = {
    {"2", "Insufficient rights to open existing file '%s'  \nfor write access. Continue?"},
    {"5", "Error opening existing file '%s'  \nfor write access. %sContinue?"},
    {"8", "Error creating a file '%s' for write access.  \nInsufficient access rights to create files in a folder "
          "'%s'.  \nContinue?"},
    {"11", "Error creating a file '%s'  \nfor write access. %sContinue?"},
    {"13", "Error creating temporary file for a file '%s'  \nthat needs to be installed on reboot.  \n%sContinue?"},
    {"16", "Error reading a file '%s'."},
    {"21", "Error creating a directory '%s'. \n%sContinue?"},
    {"35", "Error creating a directory '%s'. \nInsufficient access rights to create subfolders in a folder '%s'. "
           "\nContinue?"},
    {"36", "Error creating a directory '%s'. \nAccess to folder '%s' is denied. \nContinue?"},
};
const char inUseText[] =
    "The installer needs to update the file '%s',  \nbut it is currently in use by another application. Would you "
    "like to try replacing it again  \nbefore requiring a reboot to replace the file?";

std::string format(const char* pattern, const std::string& a, const std::string& b = "") {
    char text[2048];
    wsprintfA(text, pattern, a.c_str(), b.c_str());
    return text;
}

std::string errorText(int item) {
    for (const auto& entry : errorTexts)
        if (atoi(entry[0]) == item) return entry[1];
    return "";
}

// ---- packages --------------------------------------------------------------------------------

// A zlib stream of stored blocks ending in a sync flush, as the builder ends its streams.
Bytes storedStream(const Bytes& data) {
    Bytes out = {0x78, 0x01};
    for (size_t at = 0; at < data.size(); at += 0xFFFF) {
        size_t n = std::min<size_t>(0xFFFF, data.size() - at);
        out.insert(out.end(), {0x00, BYTE(n), BYTE(n >> 8), BYTE(~n), BYTE(~n >> 8)});
        out.insert(out.end(), data.begin() + at, data.begin() + at + n);
    }
    out.insert(out.end(), {0x00, 0x00, 0x00, 0xFF, 0xFF});
    return out;
}

Bytes pattern(size_t size, unsigned seed) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = BYTE((i * 131 + seed) ^ (i >> 9));
    return data;
}

const FILETIME packagedWrite = {0x5A5A0000u, 0x01D9A000u};  // 2023
const FILETIME packagedCreation = {0x12340000u, 0x01D80000u};

struct Package {
    static constexpr DWORD start = 0x400;  // the program image before the package
    Bytes bytes = Bytes(start + sizeof(PackageHeader), 'M');

    void put32(DWORD v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(BYTE(v >> (8 * i)));
    }
    size_t group(const std::string& destination, DWORD mode = 0, DWORD compareBy = 0, DWORD shared = 0) {
        size_t at = bytes.size();
        for (DWORD v : {DWORD(0), mode, compareBy, shared, DWORD(0)}) put32(v);
        bytes.insert(bytes.end(), destination.begin(), destination.end() + 1);
        return at;
    }
    void endGroup(size_t at) { set32(at, DWORD(bytes.size() - start)); }
    void set32(size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = BYTE(v >> (8 * i));
    }
    void entry(const std::string& name, DWORD depth, BYTE flags) {
        bytes.insert(bytes.end(), name.begin(), name.end() + 1);
        put32(depth);
        bytes.push_back(flags);
    }
    void folder(const std::string& name, DWORD depth) { entry(name, depth, 0); }
    // A file entry: raw data, or (compressed) a stream that yields data within the size.
    void file(const std::string& name, DWORD depth, const Bytes& data, bool compressed = false, DWORD size = 0,
              DWORD attributes = FILE_ATTRIBUTE_ARCHIVE, DWORD versionMs = 0, DWORD versionLs = 0) {
        entry(name, depth, BYTE(fileEntryIsFile | (compressed ? fileEntryCompressed : 0)));
        Bytes stored = compressed ? storedStream(data) : data;
        for (DWORD v : {attributes, DWORD(packagedCreation.dwLowDateTime), DWORD(packagedCreation.dwHighDateTime),
                        DWORD(packagedWrite.dwLowDateTime), DWORD(packagedWrite.dwHighDateTime),
                        DWORD(packagedWrite.dwLowDateTime), DWORD(packagedWrite.dwHighDateTime), DWORD(0),
                        compressed ? size : DWORD(data.size()), versionMs, versionLs, DWORD(stored.size())})
            put32(v);
        bytes.insert(bytes.end(), stored.begin(), stored.end());
    }
    // Writes the setup file and points the state at it.
    void install(const std::string& path) {
        Bytes file = bytes;
        PackageHeader header = {sizeof(PackageHeader), DWORD(file.size() - start), 0};
        memcpy(&file[start], &header, sizeof(header));
        file.insert(file.end(), {8, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});  // the script block behind the area
        HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(out, file.data(), DWORD(file.size()), &written, nullptr);
        CloseHandle(out);
        state.selfFile = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        state.packageOffset = WORD(start);
        state.package = header;
        heapFree(state.programFilePath);
        state.programFilePath = duplicateText(path.c_str());
    }
};

// ---- questions ---------------------------------------------------------------------------------

// Answers the boxes of this process one after another with the given buttons, recording texts.
struct Answers {
    std::vector<int> buttons;
    std::vector<std::string> texts;
    std::function<void(size_t)> beforeAnswer;  // called with a box's index when it shows
    HANDLE thread = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM found) {
    char name[16];
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetClassNameA(window, name, sizeof(name)) && !lstrcmpA(name, "#32770") &&
        IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI answerBoxes(void* parameter) {
    Answers* answers = static_cast<Answers*>(parameter);
    HWND previous = nullptr;
    for (int button : answers->buttons) {
        HWND box = nullptr;
        for (int tries = 0; tries < 500 && !box; ++tries) {
            EnumWindows(findBox, reinterpret_cast<LPARAM>(&box));
            if (box == previous && IsWindow(previous)) box = nullptr;  // the last one, still closing
            if (!box) Sleep(10);
        }
        if (!box) return 0;
        char text[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        if (answers->beforeAnswer) answers->beforeAnswer(answers->texts.size());
        answers->texts.push_back(text);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        previous = box;
    }
    return 1;
}

void startAnswers(Answers* answers, std::vector<int> buttons) {
    answers->buttons = std::move(buttons);
    answers->thread = CreateThread(nullptr, 0, answerBoxes, answers, 0, nullptr);
}

// Waits for the watcher; the texts of the boxes it answered.
std::vector<std::string> finishAnswers(Answers* answers) {
    WaitForSingleObject(answers->thread, 10000);
    CloseHandle(answers->thread);
    return answers->texts;
}

// ---- files -------------------------------------------------------------------------------------

std::string root() { return "C:\\velkorin-area"; }

Bytes readAll(const std::string& path) {
    Bytes data;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    data.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!data.empty()) ReadFile(file, data.data(), DWORD(data.size()), &read, nullptr);
    CloseHandle(file);
    return data;
}

void writeAll(const std::string& path, const Bytes& data, FILETIME lastWrite) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr);
    SetFileTime(file, nullptr, nullptr, &lastWrite);
    CloseHandle(file);
}

FILETIME lastWriteOf(const std::string& path) {
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return found.ftLastWriteTime;
}

FILETIME shifted(FILETIME time, LONGLONG seconds) {
    ULARGE_INTEGER t;
    t.LowPart = time.dwLowDateTime;
    t.HighPart = time.dwHighDateTime;
    t.QuadPart += seconds * 10000000LL;
    return {t.LowPart, t.HighPart};
}

class FileArea : public ::testing::Test {
protected:
    std::string logPath;

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        state.languageId = 9;
        for (const auto& entry : errorTexts) listSetAt(textTable(tableErrors, 9), atoi(entry[0]), entry[1]);
        listSetAt(textTable(tableMessages, 9), 6, inUseText);
        state.setupCaption = duplicateText("Area Setup");
        state.installOk = true;
        state.resumeEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        state.tempFolderPath = tempFolder();
        state.selfFile = INVALID_HANDLE_VALUE;
        if (loadSecurityFunctions()) state.threadToken = openAccessToken();
        deleteTree(root().c_str());
        CreateDirectoryA(root().c_str(), nullptr);
        logPath = root() + "-log.txt";
        state.logFile = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    }
    void TearDown() override {
        closeLogFile(state.logFile);
        if (state.selfFile != INVALID_HANDLE_VALUE) CloseHandle(state.selfFile);
        CloseHandle(state.resumeEvent);
        if (state.threadToken) CloseHandle(state.threadToken);
        RevertToSelf();
        unloadSecurityFunctions();
        for (int i = 0; i < listCount(&state.rebootReplaceFiles); ++i) DeleteFileA(listAt(&state.rebootReplaceFiles, i));
        deleteTree(root().c_str());
        DeleteFileA(logPath.c_str());
        closeFreshState();
    }
    // The log lines written to the temporary log so far.
    std::string writtenLog() {
        flushLogFile(state.logFile);
        Bytes data = readAll(logPath);
        return std::string(data.begin(), data.end());
    }
    std::string recordedLog() {
        std::string lines;
        for (int i = 0; i < listCount(&state.logLines); ++i) lines += listAt(&state.logLines, i);
        return lines;
    }
    bool extract(Package& package) {
        package.install(root() + "\\setup.exe");
        return extractFileArea(nullptr);
    }
};

// ---- folder chains -----------------------------------------------------------------------------

TEST_F(FileArea, AChainCreatesAndLogsEveryMissingLevel) {
    std::string path = root() + "\\One\\Two\\Three";
    EXPECT_EQ(createDirectoryChain((path + "\\").c_str(), state.logFile, nullptr), 0u);
    EXPECT_TRUE(pathExists(path.c_str()));
    EXPECT_EQ(writtenLog(), "a," + root() + "\\One\n" + "a," + root() + "\\One\\Two\n" + "a," + path + "\n");
    EXPECT_TRUE(state.installOk);

    // Again, and into the existing part: only the last level is recorded (and only once).
    listClear(&state.logLines);
    EXPECT_EQ(createDirectoryChain(path.c_str(), state.logFile, nullptr), 0u);
    EXPECT_EQ(createDirectoryChain((root() + "\\One\\Four").c_str(), state.logFile, nullptr), 0u);
    EXPECT_EQ(recordedLog(), "a," + path + "\n" + "a," + root() + "\\One\\Four\n");
}

TEST_F(FileArea, ARootAloneNeedsNothing) {
    EXPECT_EQ(createDirectoryChain("C:\\", state.logFile, nullptr), 0u);
    EXPECT_EQ(createDirectoryChain("C:", state.logFile, nullptr), 0u);
    EXPECT_EQ(recordedLog(), "");
}

TEST_F(FileArea, AnInvalidPathAsksAndNoAbortsWithTheError) {
    const std::string expected =
        format(errorText(21).c_str(), "Relative\\Folder", systemErrorText(ERROR_BAD_PATHNAME));
    Answers answers;
    startAnswers(&answers, {IDNO});
    EXPECT_EQ(createDirectoryChain("Relative\\Folder", state.logFile, nullptr), DWORD(ERROR_BAD_PATHNAME));
    EXPECT_EQ(finishAnswers(&answers), std::vector<std::string>{expected});
    EXPECT_FALSE(state.installOk);
    Answers yes;
    startAnswers(&yes, {IDYES});
    EXPECT_EQ(createDirectoryChain("C:\\A\\\\B", state.logFile, nullptr), 0u) << "Yes goes on as if it existed";
    EXPECT_EQ(finishAnswers(&yes).size(), 1u);
    EXPECT_EQ(recordedLog(), "");
}

// Z:\sys is the host's /sys: nobody may create folders there, root included. Wine's access check
// follows the Unix modes: /sys (555) refuses subfolders, /sys/firmware (755, ours) grants them.
TEST_F(FileArea, RefusedFoldersNameTheRightThatIsMissing) {
    Answers answers;
    startAnswers(&answers, {IDYES, IDNO});
    EXPECT_EQ(createDirectoryChain("Z:\\sys\\velkorin\\deeper", state.logFile, nullptr), 0u);
    EXPECT_EQ(createDirectoryChain("Z:\\sys\\firmware\\velkorin", state.logFile, nullptr), DWORD(ERROR_ACCESS_DENIED));
    std::vector<std::string> texts = finishAnswers(&answers);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], format(errorText(35).c_str(), "Z:\\sys\\velkorin\\deeper", "Z:\\sys"));
    EXPECT_EQ(texts[1], format(errorText(36).c_str(), "Z:\\sys\\firmware\\velkorin", "Z:\\sys\\firmware"));
    EXPECT_FALSE(state.installOk);
    EXPECT_EQ(recordedLog(), "");
}

// ---- extraction --------------------------------------------------------------------------------

TEST_F(FileArea, ExtractsFoldersAndFilesWithTheirBytesTimesAttributesAndLog) {
    ASSERT_TRUE(setVariable("%AreaPath%", (root() + "\\App").c_str()));
    Bytes small = pattern(1000, 1), large = pattern(700000, 2), shortStream = pattern(1000, 3);
    Package p;
    size_t g = p.group("%AreaPath%\\");
    p.folder("doc", 0);
    p.folder("img", 1);
    p.file("logo.bin", 2, small);
    p.file("large.bin", 0, large, true, DWORD(large.size()));
    p.file("padded.bin", 1, shortStream, true, 3000, FILE_ATTRIBUTE_READONLY);
    p.file("empty.txt", 0, {}, true, 0);
    p.endGroup(g);
    ASSERT_TRUE(extract(p));
    std::string app = root() + "\\App";
    EXPECT_EQ(readAll(app + "\\doc\\img\\logo.bin"), small);
    EXPECT_EQ(readAll(app + "\\large.bin"), large);
    Bytes padded = shortStream;
    padded.resize(3000, 0);
    EXPECT_EQ(readAll(app + "\\doc\\padded.bin"), padded) << "the stream's bytes, then zeros up to the size";
    EXPECT_TRUE(pathExists((app + "\\empty.txt").c_str()));
    EXPECT_EQ(readAll(app + "\\empty.txt").size(), 0u);
    // (Wine keeps no creation time on the host's file systems: only the last-write time can be seen.)
    FILETIME written = lastWriteOf(app + "\\large.bin");
    EXPECT_EQ(CompareFileTime(&written, &packagedWrite), 0);
    EXPECT_TRUE(GetFileAttributesA((app + "\\doc\\padded.bin").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(GetFileAttributesA((app + "\\large.bin").c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(writtenLog(), "a," + app + "\n" + "a," + app + "\\doc\n" + "a," + app + "\\doc\\img\n" + "b," + app +
                                "\\doc\\img\\logo.bin\n" + "b," + app + "\\large.bin\n" + "b," + app +
                                "\\doc\\padded.bin\n" + "b," + app + "\\empty.txt\n");
    EXPECT_TRUE(state.installOk);
    SetFileAttributesA((app + "\\doc\\padded.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileArea, ExistingFilesFollowTheGroupsRules) {
    std::string dir = root() + "\\Rules";
    CreateDirectoryA(dir.c_str(), nullptr);
    Bytes old = {'o', 'l', 'd'}, fresh = {'n', 'e', 'w'};
    writeAll(dir + "\\older.txt", old, shifted(packagedWrite, -60));
    writeAll(dir + "\\newer.txt", old, shifted(packagedWrite, 60));
    writeAll(dir + "\\kept.txt", old, shifted(packagedWrite, -60));
    writeAll(dir + "\\readonly.txt", old, shifted(packagedWrite, 60));
    SetFileAttributesA((dir + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Package p;
    size_t g = p.group(dir, overwriteIfNewer, compareByTime);
    p.file("older.txt", 0, fresh);
    p.file("newer.txt", 0, fresh);
    p.file("brandnew.txt", 0, fresh);
    p.endGroup(g);
    g = p.group(dir, overwriteNever);
    p.file("kept.txt", 0, fresh);
    p.endGroup(g);
    g = p.group(dir, overwriteAlways);
    p.file("readonly.txt", 0, fresh);
    p.endGroup(g);
    ASSERT_TRUE(extract(p));
    EXPECT_EQ(readAll(dir + "\\older.txt"), fresh);
    EXPECT_EQ(readAll(dir + "\\newer.txt"), old);
    EXPECT_EQ(readAll(dir + "\\kept.txt"), old);
    EXPECT_EQ(readAll(dir + "\\readonly.txt"), fresh) << "the read-only attribute is cleared first";
    EXPECT_EQ(GetFileAttributesA((dir + "\\readonly.txt").c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    // Files that existed before are recorded for the final log only; skipped files not at all.
    EXPECT_EQ(writtenLog(), "a," + dir + "\n" + "b," + dir + "\\brandnew.txt\n");
    EXPECT_EQ(recordedLog(), "a," + dir + "\n" + "b," + dir + "\\older.txt\n" + "b," + dir + "\\brandnew.txt\n" +
                                 "b," + dir + "\\readonly.txt\n");
}

TEST_F(FileArea, VersionsDecideWhenTheGroupComparesThem) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string here = exe;
    here.resize(here.rfind('\\'));
    std::string dir = root() + "\\Versions";
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const char* name : {"equal.dll", "greater.dll"})
        CopyFileA((here + "\\version-sample.dll").c_str(), (dir + "\\" + name).c_str(), FALSE);  // 1.9.3.0
    CopyFileA((here + "\\plain-sample.dll").c_str(), (dir + "\\plain.dll").c_str(), FALSE);
    Bytes fresh = {'n', 'e', 'w'};
    Package p;
    size_t g = p.group(dir, overwriteIfNewer, compareByVersion);
    p.file("equal.dll", 0, fresh, false, 0, FILE_ATTRIBUTE_ARCHIVE, 0x00010009, 0x00030000);
    p.file("greater.dll", 0, fresh, false, 0, FILE_ATTRIBUTE_ARCHIVE, 0x00010009, 0x00030001);
    p.file("plain.dll", 0, fresh, false, 0, FILE_ATTRIBUTE_ARCHIVE, 0, 0);
    p.endGroup(g);
    ASSERT_TRUE(extract(p));
    EXPECT_NE(readAll(dir + "\\equal.dll"), fresh) << "an equal version stays";
    EXPECT_EQ(readAll(dir + "\\greater.dll"), fresh);
    EXPECT_EQ(readAll(dir + "\\plain.dll"), fresh) << "an existing file without a version is replaced";
}

TEST_F(FileArea, AFileInUseIsRetriedOrDeferredToTheRestart) {
    std::string dir = root() + "\\InUse";
    CreateDirectoryA(dir.c_str(), nullptr);
    Bytes old = {'o', 'l', 'd'}, fresh = pattern(5000, 4);
    writeAll(dir + "\\held.dll", old, packagedWrite);
    writeAll(dir + "\\released.dll", old, packagedWrite);
    HANDLE held = CreateFileA((dir + "\\held.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE released = CreateFileA((dir + "\\released.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Package p;
    size_t g = p.group(dir);
    p.file("held.dll", 0, fresh, true, DWORD(fresh.size()), FILE_ATTRIBUTE_READONLY);
    p.file("released.dll", 0, fresh);
    p.endGroup(g);
    p.install(root() + "\\setup.exe");
    // held.dll: Yes (still held), then No: deferred. released.dll: released before its question is
    // answered, then Yes: written in place.
    Answers answers;
    answers.beforeAnswer = [&](size_t index) {
        if (index == 2) CloseHandle(released);
    };
    startAnswers(&answers, {IDYES, IDNO, IDYES});
    struct Run {
        static DWORD WINAPI extract(void*) { return extractFileArea(nullptr) ? 1 : 0; }
    };
    HANDLE worker = CreateThread(nullptr, 0, Run::extract, nullptr, 0, nullptr);
    std::vector<std::string> texts = finishAnswers(&answers);
    ASSERT_EQ(WaitForSingleObject(worker, 20000), WAIT_OBJECT_0);
    DWORD result = 0;
    GetExitCodeThread(worker, &result);
    CloseHandle(worker);
    CloseHandle(held);
    EXPECT_EQ(result, 1u);
    std::string heldText = format(inUseText, dir + "\\held.dll");
    EXPECT_EQ(texts, (std::vector<std::string>{heldText, heldText, format(inUseText, dir + "\\released.dll")}));
    EXPECT_EQ(readAll(dir + "\\held.dll"), old);
    EXPECT_EQ(readAll(dir + "\\released.dll"), fresh);
    ASSERT_EQ(listCount(&state.rebootReplaceFiles), 1);
    std::string temp = listAt(&state.rebootReplaceFiles, 0);
    EXPECT_EQ(temp.rfind(std::string(state.tempFolderPath) + "\\VKR", 0), 0u) << temp;
    EXPECT_EQ(readAll(temp), fresh);
    EXPECT_TRUE(GetFileAttributesA(temp.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_STREQ(listAt(&state.pendingReplacements, 0), (dir + "\\held.dll").c_str());
    EXPECT_STREQ(listAt(&state.rebootReplaceShared, 0), "0");
    EXPECT_EQ(recordedLog(), "a," + dir + "\n" + "b," + dir + "\\released.dll\n") << "no line for a deferred file";
}

TEST_F(FileArea, ASharedGroupDefersWithoutAskingAndCountsItsFiles) {
    std::string dir = root() + "\\Shared";
    CreateDirectoryA(dir.c_str(), nullptr);
    writeAll(dir + "\\held.dll", {'o'}, packagedWrite);
    HANDLE held = CreateFileA((dir + "\\held.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string counted = dir + "\\counted.dll";
    const char sharedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, sharedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    DWORD two = 2;
    RegSetValueExA(key, counted.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), sizeof(two));
    Package p;
    size_t g = p.group(dir, overwriteAlways, compareByTime, 1);
    p.file("held.dll", 0, {'n'});
    p.file("counted.dll", 0, {'n'});
    p.endGroup(g);
    EXPECT_TRUE(extract(p)) << "no question: a watcher-less run would hang here";
    CloseHandle(held);
    DWORD count = 0, size = sizeof(count);
    EXPECT_EQ(RegQueryValueExA(key, counted.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size), 0);
    EXPECT_EQ(count, 3u);
    RegDeleteValueA(key, counted.c_str());
    RegCloseKey(key);
    ASSERT_EQ(listCount(&state.rebootReplaceShared), 1);
    EXPECT_STREQ(listAt(&state.rebootReplaceShared, 0), "1");
    EXPECT_STREQ(listAt(&state.pendingReplacements, 0), (dir + "\\held.dll").c_str());
    EXPECT_EQ(writtenLog(), "a," + dir + "\n" + "g," + counted + "\n");
}

TEST_F(FileArea, TargetsThatCannotBeOpenedAreReportedByCause) {
    std::string dir = root() + "\\Open";
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\folder.txt").c_str(), nullptr);  // a folder where the file goes
    Package p;
    size_t g = p.group(dir);
    p.file("folder.txt", 0, {'x'});
    p.endGroup(g);
    g = p.group("Z:\\sys");
    p.file("velkorin.txt", 0, {'x'});
    p.endGroup(g);
    g = p.group("Z:\\sys\\firmware");
    p.file("velkorin.txt", 0, {'x'});
    p.endGroup(g);
    Answers answers;
    startAnswers(&answers, {IDYES, IDYES, IDNO});
    EXPECT_FALSE(extract(p)) << "the last No aborts";
    std::vector<std::string> texts = finishAnswers(&answers);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], format(errorText(5).c_str(), dir + "\\folder.txt", systemErrorText(ERROR_ACCESS_DENIED)));
    EXPECT_EQ(texts[1], format(errorText(8).c_str(), "Z:\\sys\\velkorin.txt", "Z:\\sys"));
    EXPECT_EQ(texts[2],
              format(errorText(11).c_str(), "Z:\\sys\\firmware\\velkorin.txt", systemErrorText(ERROR_ACCESS_DENIED)));
    EXPECT_FALSE(state.installOk);
}

TEST_F(FileArea, ADamagedTableEndsTheInstallationBeforeAnythingChanges) {
    Package p;
    size_t g = p.group(root() + "\\Damaged");
    p.folder("doc", 0);
    p.file("a.txt", 1, {'a'});
    p.file("b.txt", 0, {'b', 'b'});
    p.endGroup(g);
    p.set32(p.bytes.size() - 2 - 4, 0x7FFFFFFF);  // b.txt's storedSize runs past the package
    Answers answers;
    startAnswers(&answers, {IDOK});
    EXPECT_FALSE(extract(p));
    EXPECT_EQ(finishAnswers(&answers), std::vector<std::string>{format(errorText(16).c_str(), root() + "\\setup.exe")});
    EXPECT_FALSE(pathExists((root() + "\\Damaged").c_str()));
    EXPECT_EQ(recordedLog(), "");
}

TEST_F(FileArea, ACancelAtTheCheckPointStopsTheWalk) {
    Package p;
    size_t g = p.group(root() + "\\Cancelled");
    p.file("a.txt", 0, {'a'});
    p.endGroup(g);
    MSG message;
    PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
    EXPECT_FALSE(extract(p));
    EXPECT_FALSE(pathExists((root() + "\\Cancelled").c_str()));
}

// The largest working set seen while a thread samples it.
struct MemoryWatch {
    typedef BOOL(WINAPI* MemoryInfo)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
    MemoryInfo info = reinterpret_cast<MemoryInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    volatile bool stop = false;
    SIZE_T largest = 0;
    HANDLE thread = nullptr;

    SIZE_T current() {
        PROCESS_MEMORY_COUNTERS counters = {};
        info(GetCurrentProcess(), &counters, sizeof(counters));
        return counters.WorkingSetSize;
    }
    static DWORD WINAPI sample(void* parameter) {
        MemoryWatch* watch = static_cast<MemoryWatch*>(parameter);
        while (!watch->stop) {
            watch->largest = std::max(watch->largest, watch->current());
            Sleep(2);
        }
        return 0;
    }
    void start() { thread = CreateThread(nullptr, 0, sample, this, 0, nullptr); }
    void finish() {
        stop = true;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
};

// A file far larger than the memory the walk may use: the stream's bytes and the zeros after them
// are written in bounded chunks, and raw data is read through views that move along the package.
TEST_F(FileArea, LargeFilesInstallWithBoundedMemory) {
    MemoryWatch memory;
    ASSERT_NE(memory.info, nullptr);
    Bytes streamed = pattern(700000, 5), raw = pattern(40u << 20, 6);
    const DWORD size = 600u << 20;
    Package p;
    size_t g = p.group(root() + "\\Large");
    p.file("zeros.bin", 0, streamed, true, size);
    p.file("raw.bin", 0, raw);
    p.endGroup(g);
    p.install(root() + "\\setup.exe");
    p.bytes = Bytes();
    SIZE_T before = memory.current();
    memory.start();
    ASSERT_TRUE(extractFileArea(nullptr));
    memory.finish();
    EXPECT_GT(memory.largest, 0u);
    EXPECT_LT(memory.largest, before + (32u << 20))
        << "largest " << (memory.largest >> 20) << " MB, before " << (before >> 20) << " MB";
    EXPECT_EQ(readAll(root() + "\\Large\\raw.bin"), raw);
    HANDLE file = CreateFileA((root() + "\\Large\\zeros.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, nullptr), size);
    Bytes chunk(1u << 20);
    DWORD read = 0;
    ReadFile(file, chunk.data(), DWORD(chunk.size()), &read, nullptr);
    EXPECT_TRUE(std::equal(streamed.begin(), streamed.end(), chunk.begin()));
    EXPECT_TRUE(std::all_of(chunk.begin() + streamed.size(), chunk.end(), [](BYTE b) { return b == 0; }));
    SetFilePointer(file, -LONG(chunk.size()), nullptr, FILE_END);
    ReadFile(file, chunk.data(), DWORD(chunk.size()), &read, nullptr);
    EXPECT_TRUE(std::all_of(chunk.begin(), chunk.end(), [](BYTE b) { return b == 0; }));
    CloseHandle(file);
}
}  // namespace

