// removal_worker.cpp -- undoing the install log's entries, last line first.
#include "uninstall/removal_worker.h"

#include <shlobj.h>

#include "install/launches.h"
#include "install/shared_files.h"
#include "install/worker_control.h"
#include "script/fields.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/text_compare.h"
#include "system/file_system.h"
#include "system/paths.h"
#include "system/registry.h"
#include "ui/messages.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_entries.h"
#include "uninstall/leftover_tree.h"

// Controls of the uninstaller's page.
constexpr int stepLabel = 1003;
constexpr int pathLabel = 1004;
constexpr DWORD deletionPatience = 2000;  // ms of one deletion attempt

static bool removeAllShared;  // Yes To All was confirmed: unused shared files go without asking
bool silentRemoval;

// True when the file is deleted or was not there.
static bool deleted(const char* path) { return DeleteFileA(path) || isNotFound(GetLastError()); }

// Deletes the file; true when it is gone. Most files simply go at the first call, which is all
// they cost (under Wine every call on a path is a round trip to the server). A refused file loses
// its attributes (a read-only one goes then) and is retried without pause until the patience has
// run out (one in use may be closed meanwhile).
static bool deletionAttempt(const char* path) {
    if (deleted(path)) return true;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DWORD start = GetTickCount();
    while (!deleted(path))
        if (GetTickCount() - start > deletionPatience) return false;
    return true;
}

static void deleteOrRemember(const char* path) {
    if (!deletionAttempt(path)) listAppend(&state.rebootDeletePaths, path);
}

static bool retryFileInUse(HWND page, const char* path) {
    return showMessage(page, "Deleting File",
                       "The file %s \nis currently in use by another application.\nWould you like to try deleting "
                       "the file again, rather than \ninitiating a reboot at the end of the uninstallation process?",
                       path, nullptr, nullptr, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

// A file or link; one whose replacement waits for the restart stays.
static void removeFile(HWND page, const char* path) {
    // A silent removal runs in the uninstaller itself, which its script deletes once it has ended.
    if (listFind(&state.pendingReplacements, path, 0, 0) >= 0 ||
        (silentRemoval && sameTextIgnoringCase(path, state.programFilePath))) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        return;
    }
    bool gone = deletionAttempt(path);
    while (!gone && page && retryFileInUse(page, path)) gone = deletionAttempt(path);
    if (!gone) listAppend(&state.rebootDeletePaths, path);
}

// True when the folder was empty and is gone now (or was not there).
static bool removedIfEmpty(const char* path) {
    return folderIsEmpty(path, true) && (RemoveDirectoryA(path) || isNotFound(GetLastError()));
}

// An empty (or missing) folder goes; one that holds anything is left over, and so is an empty one
// the system refuses to remove now (another program has it open).
static void removeFolder(const char* path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (!removedIfEmpty(path)) listAppend(&state.leftoverPaths, path);
}

// Shows a registry failure other than not-found: key text, then the system's message last.
static void reportRegistryError(HWND page, DWORD error, const char* caption, const char* format, const char* first,
                                HKEY root) {
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) return;
    char* key = concatTexts(rootKeyName(root), "\\", field(1));
    const char* message = systemErrorText(error);
    // Without a first text the format takes the key and the message; the third text goes unused.
    showMessage(page, caption, format, first ? first : key, first ? key : message, message, MB_OK | MB_ICONERROR);
    heapFree(key);
}

static void removeValue(HWND page) {
    HKEY root = rootKeyFromNumber(toNumber(field(0)));
    reportRegistryError(page, deleteRegistryValue(root, field(1), field(2), false), "Deleting Registry Value",
                        "Error deleting registry value '%s' in the key '%s'.\n%s", field(2), root);
}

static void removeKey(HWND page) {
    HKEY root = rootKeyFromNumber(toNumber(field(0)));
    reportRegistryError(page, deleteRegistryKey(root, field(1), toNumber(field(2)) != 0), "Deleting Registry Key",
                        "Error deleting registry key '%s'.\n%s", nullptr, root);
}

static int askSharedFile(HWND page, const char* path) {
    char* folder = parentPath(path);
    char* question = concatTexts(
        "The system indicates that the following shared file is no longer used by any programs. If any programs "
        "are still using this file and it is removed, those programs may not function. Are you sure you want to "
        "remove the shared file? \n\nFile name: ",
        fileNamePart(path), "\nLocated in: ", folder,
        "\n\nLeaving this file will not harm your system. If you are not sure what to do, it is suggested that you "
        "choose to not to remove this shared component.");
    int answer = question ? askQuestion(page, "Shared File Detected", question) : answerNo;
    heapFree(question);
    heapFree(folder);
    return answer;
}

static bool confirmRemoveAllShared(HWND page) {
    return showMessage(page, "Confirm Operation",
                       "You have chosen to remove all shared components which the system indicates \nare no longer "
                       "being used. This may cause some programs not to function if they \nstill require any of "
                       "this files. Are you sure you want to proceed?",
                       nullptr, nullptr, nullptr, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Lowers the shared count; at zero the user decides. False when the count stays above zero.
static bool releaseSharedFile(HWND page, const char* path) {
    if (adjustSharedCount(path, true)) return false;
    int answer = silentRemoval ? answerNo : removeAllShared ? answerYes : askSharedFile(page, path);
    if (answer != answerYes && answer != answerYesToAll) return true;
    if (answer == answerYesToAll && confirmRemoveAllShared(page)) removeAllShared = true;
    deleteOrRemember(path);
    return true;
}

// A numeric field, or its default when the field is empty.
static int numberOr(int index, int fallback) { return *field(index) ? toNumber(field(index)) : fallback; }

// Undoes the entry just split; false when the step text stays (a skipped kind, a shared file
// still in use).
static bool undoEntry(HWND page, char kind) {
    const char* path = field(0);
    switch (kind) {
    case 'a': removeFolder(path); return true;
    case 'b':
    case 'h': removeFile(page, path); return true;
    case 'c': removeValue(page); return true;
    case 'd': launchProgram({path, field(1), field(2), numberOr(3, 1) != 0, 0}); return true;
    case 'e': removeKey(page); return true;
    case 'f': callDllFunction({path, field(1), field(2), field(3)}); return true;
    case 'g': return releaseSharedFile(page, path);
    default: return false;
    }
}

// The path, shortened in the middle to the label's width, in the page's path label.
static void showPath(HWND page, const char* path) {
    HWND label = GetDlgItem(page, pathLabel);
    char* shown = duplicateText(path, 4);  // the ellipsis may lengthen the text by up to four
    if (!shown) return;
    RECT area;
    GetClientRect(label, &area);
    HDC dc = GetDC(label);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    DrawTextA(dc, shown, -1, &area, DT_CALCRECT | DT_PATH_ELLIPSIS | DT_MODIFYSTRING | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(label, dc);
    setPageText(page, pathLabel, shown);
    heapFree(shown);
}

// A file that another program holds open, even only to read it (a virus scanner, the shell's
// look at a link's target), goes when that program lets it go, not when it is deleted: its
// folder still lists it when the folder's turn comes; a folder another program has open cannot
// be removed until it lets go either. The folders left over are looked at again
// until they are all gone or the deletion patience has run out; the one that holds this program
// itself (a silent removal) is left to the script that deletes the program.
static void removeLateEmptiedFolders() {
    DWORD start = GetTickCount();
    for (;;) {
        bool waiting = false;
        for (int i = 0; i < listCount(&state.leftoverPaths);) {
            const char* path = listAt(&state.leftoverPaths, i);
            if (removedIfEmpty(path)) {
                listRemoveAt(&state.leftoverPaths, i);
                continue;
            }
            waiting |= !folderHolds(path, state.programFilePath);
            ++i;
        }
        if (!waiting || GetTickCount() - start > deletionPatience) return;
        Sleep(50);
    }
}

// Waits while the page asks whether to stop, obeys a stop, moves the bar and paces short logs.
static bool pacedCheckPoint(HWND page, int line, int lines) {
    if (!workerCheckPoint()) return false;
    setProgress(page, 100 * line / lines);
    Sleep(1000 / lines);
    return true;
}

// The worker's run; every window step is guarded by the page, so that a program that never passes
// one (only the rollback) is built without them.
static DWORD removeEntries(HWND page) {
    MSG message;
    PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // a queue for the stop request
    SetCurrentDirectoryA(state.tempFolderPath);                      // hold no product folder open
    int lines = countLogLines(logEntries, logEnd);
    if (!lines) return 1;
    char* rest = logEnd;
    for (int line = 1; line <= lines; ++line) {
        if (page && !pacedCheckPoint(page, line, lines)) return 0;
        char kind = splitLogEntry(takeLastLine(logEntries, &rest));
        if (!entryIsSound(kind)) kind = 0;  // a damaged line counts for the progress only
        bool stepShown = undoEntry(page, kind);
        if (!page) continue;
        if (stepShown) setPageText(page, stepLabel, removalStepText(kind));
        showPath(page, kind == 'a' || kind == 'b' || kind == 'g' || kind == 'h' ? field(0) : "");
    }
    removeLateEmptiedFolders();
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    if (!workerCheckPoint()) return 0;
    SetEvent(state.uninstallDoneEvent);
    if (!page) return 0;
    if (!listCount(&state.leftoverPaths)) EndDialog(page, 0);
    else showLeftoverView(page);
    return 0;
}

DWORD WINAPI removalWorker(void* page) { return removeEntries(static_cast<HWND>(page)); }

DWORD WINAPI removalWorkerWithoutWindow(void*) { return removeEntries(nullptr); }
