// uninstaller.cpp -- the rollback, and the stages of a removal started by the user.
#include "uninstall/uninstaller.h"

#include "script/setup_state.h"
#include "startup/startup_stages.h"
#include "support/heap.h"
#include "ui/messages.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_worker.h"

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

// Copies the program into the temporary folder and starts the copy with " " and the log path.
static void startSecondStage(const char* logPath) {
    char copy[MAX_PATH];
    if (!GetTempFileNameA(state.tempFolderPath, "VKR", 0, copy) || !CopyFileA(state.programFilePath, copy, FALSE))
        return;
    char* commandLine = concatTexts(" ", logPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_FORCEONFEEDBACK;
    PROCESS_INFORMATION process;
    if (commandLine && CreateProcessA(copy, commandLine, nullptr, nullptr, FALSE,
                                      CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
                                      nullptr, state.tempFolderPath, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    heapFree(commandLine);
}

// Asks whether to remove the product; on Yes hands over to a temporary copy of the program.
static void runFirstStage(const char* logPath) {
    char* caption = concatTexts(state.productName, " Uninstall");
    int answer = showMessage(nullptr, caption, "Are you sure you want to completely remove %s?", state.productTitle,
                             nullptr, nullptr, MB_YESNO | MB_ICONQUESTION);
    heapFree(caption);
    if (answer == IDYES) startSecondStage(logPath);
}

void runUninstaller(bool rollback) {
    if (rollback) return rollBack();
    char* logPath = nullptr;
    bool secondStage = state.programFilePath && chooseLogPath(GetCommandLineA(), state.programFilePath, &logPath);
    if (logPath && loadInstallLog(logPath)) {
        runStartupStage(1);
        // The second stage's removal runs in the uninstaller window, which is not part of this build yet.
        if (!secondStage) runFirstStage(logPath);
    }
    heapFree(logPath);
}
