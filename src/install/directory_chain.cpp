// directory_chain.cpp -- createDirectoryChain and the questions about folders that cannot be made.
#include "install/directory_chain.h"

#include "install/install_log.h"
#include "install/worker_control.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "system/file_system.h"
#include "system/paths.h"
#include "system/security.h"
#include "ui/messages.h"

DWORD createFolder(const char* path, bool* created, bool* probeDenied) {
    *probeDenied = false;
    *created = CreateDirectoryA(path, nullptr) != 0;
    if (*created) return 0;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) return 0;
    if (error == ERROR_ACCESS_DENIED) {
        if (pathExists(path)) return 0;
        *probeDenied = GetLastError() == ERROR_ACCESS_DENIED;
    }
    return error;
}

static bool askFolderAccessDenied(HWND owner, const char* asked, const char* path, bool probeDenied,
                                  bool bareDriveTexts) {
    char* parent = parentPath(path);
    bool granted = true;
    if (!probeDenied && parent) checkAccess(state.threadToken, parent, objectFile, rightAddSubfolder, &granted);
    bool drive = bareDriveTexts && parent && isBareDrive(parent);
    int item = probeDenied || granted ? (drive ? 37 : 36) : (drive ? 38 : 35);
    bool goOn = continueAfterError(owner, item, asked, parent);
    heapFree(parent);
    return goOn;
}

bool askFolderFailure(HWND owner, const char* asked, const char* path, DWORD error, bool probeDenied,
                      bool bareDriveTexts) {
    state.installOk = false;
    if (error == ERROR_ACCESS_DENIED) return askFolderAccessDenied(owner, asked, path, probeDenied, bareDriveTexts);
    return continueAfterError(owner, 21, path, systemErrorText(error));
}

// Creates one level of the chain (whole: the path itself). True to go on with the next level;
// false when the chain ends here, *result then being 0 (the user went on) or the error.
static bool createLevel(const char* level, const char* asked, HANDLE logFile, HWND owner, bool whole,
                        DWORD* result) {
    bool created, probeDenied;
    DWORD error = createFolder(level, &created, &probeDenied);
    if (!error) {
        // Every level this run created, and the path itself in any case; special folders are
        // never listed for removal.
        if (created || whole) appendLogLine(logFile, "a", level, true, whole);
        return true;
    }
    if (!askFolderFailure(owner, asked, level, error, probeDenied, true)) *result = error;
    return false;
}

DWORD createDirectoryChain(const char* path, HANDLE logFile, HWND ownerWindow) {
    if (!isValidPath(path)) {
        state.installOk = false;
        return continueAfterError(ownerWindow, 21, path, systemErrorText(ERROR_BAD_PATHNAME)) ? 0
                                                                                               : ERROR_BAD_PATHNAME;
    }
    char* copy = duplicateText(path);
    if (!copy) return ERROR_NOT_ENOUGH_MEMORY;
    stripTrailingSlash(copy);
    DWORD result = 0;
    char* at = copy + pathLevelsStart(copy);
    bool goOn = *at != 0;  // a path that is only a root needs nothing
    for (; goOn && *at; at = CharNextA(at)) {
        if (*at != '\\') continue;
        *at = 0;
        goOn = createLevel(copy, path, logFile, ownerWindow, false, &result);
        *at = '\\';
    }
    if (goOn) createLevel(copy, path, logFile, ownerWindow, true, &result);
    heapFree(copy);
    return result;
}
