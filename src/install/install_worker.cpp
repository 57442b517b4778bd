// install_worker.cpp -- the install worker's steps, in their fixed order.
#include "install/install_worker.h"

#include "format/package_format.h"
#include "install/file_area.h"
#include "install/ini_entries.h"
#include "install/install_log.h"
#include "install/reboot.h"
#include "install/shared_files.h"
#include "install/shortcuts.h"
#include "install/uninstaller_image.h"
#include "install/worker_control.h"
#include "script/fields.h"
#include "script/text_tools.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "system/file_system.h"
#include "system/paths.h"
#include "system/registry.h"
#include "system/registry_data.h"
#include "system/registry_entries.h"
#include "system/registry_log.h"
#include "uninstall/uninstaller.h"
#include "ui/messages.h"

static const char uninstallKeyFormat[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";

// Paths the worker keeps from its first steps to its last.
struct WorkerPaths {
    char* uninstaller;      // %InstallPath% joined with %UninstallerFileName%
    char* log;              // beside it, named after it, ending in ".log"
    char* tempUninstaller;  // the image without its package, until it is moved into place
};

static const char* variableOr(const char* name, const char* fallback) {
    const char* value = lookupVariable(name);
    return value && *value ? value : fallback;
}

static void computePaths(WorkerPaths* paths) {
    const char* folder = variableOr("%InstallPath%", "");
    paths->uninstaller = joinPath(folder, variableOr("%UninstallerFileName%", "uninstall.exe"));
    char* base = paths->uninstaller ? baseNameWithoutExtension(paths->uninstaller) : nullptr;
    char* name = base ? concatTexts(base, ".log") : nullptr;
    paths->log = name ? joinPath(folder, name) : nullptr;
    heapFree(base);
    heapFree(name);
}

// A new empty file in the temporary folder with the program's prefix; null on failure.
static char* makeTempName() {
    char* name = static_cast<char*>(heapAlloc(textLength(state.tempFolderPath) + 262));
    if (name && !GetTempFileNameA(state.tempFolderPath, "VKR", 0, name)) name[0] = 0;
    return name;
}

static void openTemporaryLog() {
    state.tempLogPath = makeTempName();
    state.logFile = CreateFileA(state.tempLogPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    writeLogHeader(state.logFile);
}

// Writes all count bytes; false on any failure or short write.
static bool writeAll(HANDLE file, const void* bytes, DWORD count) {
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

// The program without its package: the first packageOffset bytes, with that field set to 0, so
// that the copy starts as the uninstaller, and without a signature entry that would point past
// its end. Only the image is mapped, so that a package of any
// size leaves room for the view. On any failure the copy is deleted, the system error kept.
bool writeUninstallerImage(const char* path) {
    HANDLE mapping = CreateFileMappingA(state.selfFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const BYTE* image =
        mapping ? static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, state.packageOffset)) : nullptr;
    if (mapping) CloseHandle(mapping);
    if (!image) return false;
    bool written = false;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        BYTE headers[uninstallerHeaderRoom];
        DWORD headerSize = uninstallerHeaders(image, state.packageOffset, headers);
        written = writeAll(file, image, state.packageOffset) &&
                  SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && writeAll(file, headers, headerSize);
        DWORD error = GetLastError();
        written = CloseHandle(file) && written;
        if (!written) {
            DeleteFileA(path);
            SetLastError(error);
        }
    }
    UnmapViewOfFile(image);
    return written;
}

// After the files: the uninstaller's own lines, and the restart that files in use need.
static void noteUninstallerAndRestart(const WorkerPaths& paths) {
    if (state.createUninstaller) {
        appendLogLine(state.logFile, "b", paths.uninstaller, !pathExists(paths.uninstaller), false);
        appendLogLine(state.logFile, "b", paths.log, !pathExists(paths.log), false);
    }
    if (listCount(&state.rebootReplaceFiles) == 0) {
        state.rebootForFilesInUse = false;
    } else if (state.restartAtEnd) {
        state.rebootForFilesInUse = false;
    } else {
        state.rebootForFilesInUse = state.rebootRequired = state.restartAtEnd = true;
        state.openFinishReadme = state.launchFinishProgram = false;
    }
}

static const char* pageText(int item) {
    const char* t = text(10, item);  // texts of the installing page (page 10)
    return t ? t : "";
}

static bool writeRegistryEntries(HWND page) {
    for (int i = 0; i < listCount(&state.registryEntries); ++i) {
        if (!workerCheckPoint()) return false;
        RegistryRecord record;
        int outcome = applyRegistryRecord(listAt(&state.registryEntries, i), &record);
        bool goOn = true;
        if (outcome == registryKeyFailed || outcome == registryValueFailed) {
            state.installOk = false;
            char* keyText = concatTexts(rootKeyName(rootKeyFromNumber(record.root)), "\\", record.key);
            const char* reason = systemErrorText(record.error);
            goOn = outcome == registryKeyFailed ? continueAfterError(page, 24, keyText, reason)
                                                      : continueAfterError(page, 25, record.valueName, keyText, reason);
            heapFree(keyText);
        }
        freeRegistryRecord(&record);
        if (!goOn) return false;
    }
    return true;
}

static bool createAssociations(HWND page) {
    for (int i = 0; i < listCount(&state.fileAssociations); ++i) {
        if (!workerCheckPoint()) return false;
        if (!applyAssociationRecord(listAt(&state.fileAssociations, i)) &&
            askError(page, 30, field(associationExtension), nullptr, nullptr, MB_YESNO | MB_ICONHAND) != IDYES)
            return false;
    }
    return true;
}

// Every launch and DLL call recorded for removal time, with its variables expanded.
static void logRemovalActions(const StringList* list, const char* kind) {
    for (int i = 0; i < listCount(list); ++i) {
        char* expanded = expandVariables(listAt(list, i));
        if (expanded) appendLogLine(state.logFile, kind, expanded, true, false);
        heapFree(expanded);
    }
}

// An empty product name would make the Uninstall key itself the entry: nothing is written then.
// The command is quoted, as the system runs it, because the path may hold blanks.
void registerUninstaller(const char* uninstallerPath) {
    char* key = static_cast<char*>(heapAlloc(sizeof(uninstallKeyFormat) + textLength(state.productName)));
    char* command = concatTexts("\"", uninstallerPath, "\"");
    if (key) wsprintfA(key, uninstallKeyFormat, state.productName);
    if (key && command && isUsableKeyPath(key)) {
        writeRegistryValue(HKEY_LOCAL_MACHINE, key, "DisplayName", REG_SZ, state.productTitle,
                           textLength(state.productTitle) + 1);
        writeRegistryValue(HKEY_LOCAL_MACHINE, key, "UninstallString", REG_SZ, command, textLength(command) + 1);
        // The same command with the silent argument, for administrators' scripts.
        char* quiet = concatTexts(command, " S");
        if (quiet) writeRegistryValue(HKEY_LOCAL_MACHINE, key, "QuietUninstallString", REG_SZ, quiet, textLength(quiet) + 1);
        heapFree(quiet);
        recordRegistryKey(2, key, true, true);
    }
    heapFree(command);
    heapFree(key);
}

// Without its image the uninstaller would be registered pointing at nothing: a failure is an
// error of the run (error text 15); No aborts, Yes goes on without an uninstaller.
static bool imageReady(HWND page, const WorkerPaths& paths) {
    if (!state.createUninstaller || writeUninstallerImage(paths.tempUninstaller)) return true;
    DWORD error = GetLastError();
    state.installOk = false;
    state.createUninstaller = false;
    return continueAfterError(page, 15, paths.uninstaller, systemErrorText(error));
}

// The steps from the files to the finishing step; false after an abort.
static bool runSteps(HWND page, const WorkerPaths& paths) {
    if (!extractFileArea(page)) return false;
    setProgress(page, 100);
    noteUninstallerAndRestart(paths);
    setPageText(page, pageItemLabel, "");
    if (listCount(&state.shortcuts)) {
        setPageText(page, pageStepLabel, pageText(5));
        if (!createShortcuts(page)) return false;
    }
    if (listCount(&state.registryEntries) || state.createUninstaller) {
        setPageText(page, pageStepLabel, pageText(6));
        if (!writeRegistryEntries(page)) return false;
    }
    if (listCount(&state.iniEntries)) {
        setPageText(page, pageStepLabel, pageText(7));
        if (!writeIniEntries(page)) return false;
    }
    if (listCount(&state.fileAssociations)) {
        setPageText(page, pageStepLabel, pageText(8));
        if (!createAssociations(page)) return false;
    }
    setPageText(page, pageStepLabel, pageText(13));
    return workerCheckPoint();
}

static void finish(const WorkerPaths& paths) {
    SetEvent(state.installDoneEvent);  // from here on the wizard no longer offers to cancel
    logRemovalActions(&state.uninstallLaunches, "d");
    logRemovalActions(&state.uninstallDllCalls, "f");
    if (state.createUninstaller) registerUninstaller(paths.uninstaller);
}

// Final log and uninstaller in place, then the replacements that wait for the restart.
static void commit(const WorkerPaths& paths) {
    if (state.createUninstaller) {
        SetFileAttributesA(paths.log, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(paths.log);
        DeleteFileA(state.tempLogPath);
        writeFinalLog(paths.log);
        SetFileAttributesA(paths.uninstaller, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(paths.uninstaller);
        MoveFileA(paths.tempUninstaller, paths.uninstaller);
    } else {
        DeleteFileA(state.tempLogPath);
    }
    DeleteFileA(paths.tempUninstaller);
    for (int i = 0; i < listCount(&state.rebootReplaceFiles); ++i) {
        scheduleReplaceOnReboot(listAt(&state.rebootReplaceFiles, i), listAt(&state.pendingReplacements, i));
        if (lstrcmpA(listAt(&state.rebootReplaceShared, i), "1") == 0)
            adjustSharedCount(listAt(&state.pendingReplacements, i), false);
    }
}

// Deferred copies go, and the rollback undoes what the temporary log lists.
static void rollBack(const WorkerPaths& paths) {
    DeleteFileA(paths.tempUninstaller);
    for (int i = 0; i < listCount(&state.rebootReplaceFiles); ++i) DeleteFileA(listAt(&state.rebootReplaceFiles, i));
    listClear(&state.rebootReplaceFiles);
    runUninstaller(true);
}

DWORD WINAPI installWorker(void* parameter) {
    HWND page = static_cast<HWND>(parameter);
    OleInitialize(nullptr);
    MSG message;
    PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue for the cancel request
    WorkerPaths paths = {};
    // Settled first, so that an install folder defined through other variables gives the
    // uninstaller's real path.
    settleVariables();
    computePaths(&paths);
    openTemporaryLog();
    paths.tempUninstaller = makeTempName();
    bool completed = false;
    if (paths.uninstaller && paths.log && paths.tempUninstaller && state.tempLogPath) {
        completed = imageReady(page, paths) && runSteps(page, paths);
        if (completed) finish(paths);
    }
    closeLogFile(state.logFile);
    state.logFile = nullptr;
    HWND frame = page ? GetParent(page) : nullptr;
    if (completed) {
        commit(paths);
        if (frame) PostMessageA(frame, WM_COMMAND, frameNextButton, 0);
    } else {
        rollBack(paths);
        if (frame) PostMessageA(frame, UM_INSTALL_ABORTED, 0, 0);
    }
    heapFree(paths.uninstaller);
    heapFree(paths.log);
    heapFree(paths.tempUninstaller);
    OleUninitialize();
    return 0;
}
