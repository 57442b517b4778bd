// uninstaller.cpp -- the rollback, and the stages of a removal started by the user.
#include "uninstall/uninstaller.h"

#include "resources/ids.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "startup/run_modes.h"
#include "startup/startup_stages.h"
#include "support/heap.h"
#include "support/text_compare.h"
#include "system/paths.h"
#include "ui/dialog_templates.h"
#include "ui/messages.h"
#include "ui/page_procedure.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_worker.h"
#include "uninstall/self_removal.h"

constexpr int uninstallSlot = 12;  // the page record of the uninstaller window

bool loadInstallLog(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(file, nullptr), read = 0;
    heapFree(logText);
    logText = size != INVALID_FILE_SIZE ? static_cast<char*>(heapAlloc(size + 1)) : nullptr;
    bool loaded = logText && ReadFile(file, logText, size, &read, nullptr);
    CloseHandle(file);
    logEntries = loaded ? readLogHeader(logText, read) : nullptr;
    logEnd = logEntries ? logText + read : nullptr;
    return logEntries != nullptr;
}

// Undoes the temporary log of this run (closed by its writer) on a thread without a window; the
// log file goes first.
static void rollBack() {
    if (state.tempLogPath && loadInstallLog(state.tempLogPath)) {
        DeleteFileA(state.tempLogPath);
        DWORD id;
        HANDLE worker = CreateThread(nullptr, 0, removalWorkerWithoutWindow, nullptr, 0, &id);
        if (worker) {
            WaitForSingleObject(worker, INFINITE);
            CloseHandle(worker);
        }
    }
    // The installer goes on after its rollback: the log text is of no further use.
    heapFree(logText);
    logText = logEntries = logEnd = nullptr;
}

// Copies the program into the temporary folder and starts the copy with " " and the log path;
// false when that failed.
static bool startSecondStage(const char* logPath) {
    char copy[MAX_PATH];
    if (!GetTempFileNameA(state.tempFolderPath, "VKR", 0, copy) || !CopyFileA(state.programFilePath, copy, FALSE))
        return false;
    char* commandLine = concatTexts(" ", logPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_FORCEONFEEDBACK;
    PROCESS_INFORMATION process;
    bool started = commandLine && CreateProcessA(copy, commandLine, nullptr, nullptr, FALSE,
                                                 CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP |
                                                     NORMAL_PRIORITY_CLASS,
                                                 nullptr, state.tempFolderPath, &startup, &process);
    if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        DeleteFileA(copy);
    }
    heapFree(commandLine);
    return started;
}

// Asks whether to remove the product; on Yes hands over to a temporary copy of the program.
static DWORD runFirstStage(const char* caption, const char* logPath) {
    int answer = showMessage(nullptr, caption, "Are you sure you want to completely remove %s?", state.productTitle,
                             nullptr, nullptr, MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES) return exitCancelled;
    return startSecondStage(logPath) ? exitSuccess : exitFailed;
}

// The uninstaller window's texts in slot 12: caption, heading, sub-heading, product title.
static void setUninstallTexts(const char* caption) {
    state.pages[uninstallSlot].dialogId = state.dialogIdBase + IDD_UNINSTALL_WINDOW;
    StringList* texts = textTable(uninstallSlot, state.languageId);
    char* wait = concatTexts("Please wait while the ", state.productTitle, " is removed from your computer.");
    const char* items[] = {caption, "Application Removal", wait};
    for (int i = 0; texts && i < 3; ++i) listSetAt(texts, i, items[i] ? items[i] : "");
    if (texts) listSetAt(texts, 9, state.productTitle);
    heapFree(wait);
}

// The removal in the uninstaller window, then the script that deletes this temporary copy.
static DWORD runSecondStage(const char* caption) {
    setUninstallTexts(caption);
    showModalDialog(state.pages[uninstallSlot].dialogId, nullptr, pageProcedure, uninstallSlot);
    removeSelf(nullptr);
    return exitCancelled;  // the entry sees a completed removal by its event
}

// A silent removal: no copy, no window, no question, in this process, so that the caller's wait
// ends with the removal and the exit code tells its result. The program's own file and the
// folders that only it kept are deleted by the script once the program has ended, deepest first.
static DWORD runSilentRemoval() {
    silentRemoval = true;
    DWORD id;
    HANDLE worker = CreateThread(nullptr, 0, removalWorkerWithoutWindow, nullptr, 0, &id);
    if (!worker) return exitFailed;
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    StringList folders = {};
    listCreate(&folders, 4);
    for (int i = 0; i < listCount(&state.leftoverPaths); ++i)
        if (folderHolds(listAt(&state.leftoverPaths, i), state.programFilePath)) listAppend(&folders, listAt(&state.leftoverPaths, i));
    listSort(&folders, sortByLength);
    StringList deepestFirst = {};
    listCreate(&deepestFirst, 4);
    for (int i = listCount(&folders) - 1; i >= 0; --i) listAppend(&deepestFirst, listAt(&folders, i));
    removeSelf(&deepestFirst);
    listDestroy(&deepestFirst);
    listDestroy(&folders);
    return exitSuccess;
}

DWORD runUninstaller(bool rollback) {
    if (rollback) {
        rollBack();
        return exitSuccess;
    }
    char* logPath = nullptr;
    bool secondStage = state.programFilePath && chooseLogPath(GetCommandLineA(), state.programFilePath, &logPath);
    // Only the user's own command line asks for silence: a second stage's argument is a log path
    // (which may begin with S, as the drive S: does), never a request.
    if (secondStage) state.silentMode = false;
    DWORD result = exitFailed;
    if (logPath && loadInstallLog(logPath)) {
        char* caption = concatTexts(state.productName, " Uninstall");
        if (state.silentMode) {
            result = runSilentRemoval();
        } else {
            runStartupStage(1);
            result = secondStage ? runSecondStage(caption) : runFirstStage(caption, logPath);
        }
        heapFree(caption);
    }
    heapFree(logPath);
    return result;
}
