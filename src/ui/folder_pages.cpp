// folder_pages.cpp -- the destination page and the Start-menu folder page. Both keep the user's
// entries in their controls and store them into the variables only when they close.
#include "ui/folder_pages.h"

#include "resources/ids.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "script/text_tools.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/text_compare.h"
#include "system/file_system.h"
#include "system/paths.h"

constexpr int folderTextSize = 32768;   // an edit's text: at most 32,767 characters
constexpr int commonProgramsToken = 5;  // "<CommonPrograms>" in the folder-token table
constexpr int programsToken = 17;       // "<Programs>"

typedef BOOL(WINAPI* DiskFreeSpaceEx)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

ULONGLONG freeSpaceOf(const char* root) {
    DiskFreeSpaceEx query = reinterpret_cast<DiskFreeSpaceEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KERNEL32"), "GetDiskFreeSpaceExA")));
    if (query) {
        ULARGE_INTEGER available, total, free;
        return query(root, &available, &total, &free) ? available.QuadPart : 0;
    }
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return 0;
    return static_cast<ULONGLONG>(sectorsPerCluster * bytesPerSector) * freeClusters;
}

void formatFreeSpace(ULONGLONG bytes, char* out) {
    DWORD kilobytes = static_cast<DWORD>(bytes >> 10);
    if (kilobytes <= 999999) wsprintfA(out, "%u Kb", kilobytes);
    else wsprintfA(out, "%u Mb", static_cast<DWORD>(bytes >> 20));
}

// ---- destination page ----

static char* editText(HWND page, int id) {
    char* buffer = static_cast<char*>(heapAlloc(folderTextSize));
    if (buffer) GetDlgItemTextA(page, id, buffer, folderTextSize);
    return buffer;
}

// The disk line for a drive letter: free space in 1008, text 6 with "%DISK%" as the letter in 1006.
static void showDisk(HWND page, char letter) {
    char root[3] = {letter, ':', 0}, number[16], disk[2] = {letter, 0};
    formatFreeSpace(freeSpaceOf(root), number);
    SetDlgItemTextA(page, IDC_TEXT8, number);
    const char* line = text(static_cast<DWORD>(state.pageSlot), 6);
    char* shown = line ? replaceAll(line, "%DISK%", disk, false) : nullptr;
    if (shown) SetDlgItemTextA(page, IDC_TEXT6, shown);
    heapFree(shown);
}


void setUpDestinationPage(HWND page) {
    SetFocus(GetDlgItem(page, IDC_FOLDER_EDIT));
    char* path = duplicateText(lookupVariable("%InstallPath%"));
    if (path) stripTrailingSlash(path);
    SetDlgItemTextA(page, IDC_FOLDER_EDIT, path ? path : "");
    char required[16];
    wsprintfA(required, "%u Kb", static_cast<unsigned>(state.package.requiredSpace >> 10));
    SetDlgItemTextA(page, IDC_TEXT7, required);
    if (path && path[0]) showDisk(page, static_cast<char>(upperCaseChar(path[0])));
    heapFree(path);
}

static void redrawControl(HWND page, int id) {
    RECT area;
    windowRectInParent(GetDlgItem(page, id), &area);
    InvalidateRect(page, &area, TRUE);
}

void destinationEditChanged(HWND page) {
    char* path = editText(page, IDC_FOLDER_EDIT);
    if (!path) return;
    CharUpperA(path);
    char letter = path[0];
    char root[3] = {letter, ':', 0};
    if (letter >= 'A' && letter <= 'Z' && pathExists(root)) {
        showDisk(page, letter);
        redrawControl(page, IDC_TEXT6);
        redrawControl(page, IDC_TEXT8);
    }
    heapFree(path);
}

// Whether path is longer than name and ends with it, without regard to case.
static bool endsWithFolder(const char* path, const char* name) {
    int pathLength = lstrlenA(path), nameLength = lstrlenA(name);
    return pathLength > nameLength && sameTextIgnoringCase(path + pathLength - nameLength, name);
}

void browseDestination(HWND page) {
    char* typed = editText(page, IDC_FOLDER_EDIT);
    char* initial = nullptr;
    if (typed) existingAncestor(typed, &initial);
    const char* install = lookupVariable("%InstallPath%");
    const char* folderName = fileNamePart(install ? install : "");
    char chosen[MAX_PATH + 1] = {};
    if (browseForFolder(page, text(static_cast<DWORD>(state.pageSlot), 4), initial, chosen)) {
        char* result = nullptr;
        if (endsWithFolder(chosen, folderName)) result = duplicateText(chosen);
        else {
            // The last character, not byte: a double-byte character may end in 0x5C.
            const char* last = lastCharacter(chosen);
            bool slash = last && *last == '\\';
            result = concatTexts(chosen, slash ? "" : "\\", folderName);
        }
        if (result) SetDlgItemTextA(page, IDC_FOLDER_EDIT, result);
        heapFree(result);
    }
    heapFree(initial);
    heapFree(typed);
}

void storeDestination(HWND page) {
    char* path = editText(page, IDC_FOLDER_EDIT);
    if (path && path[0]) {
        stripTrailingSlash(path);
        setVariable("%InstallPath%", path);
    }
    heapFree(path);
}

// ---- Start-menu folder page ----

static bool compactSet() { return state.dialogIdBase != 0; }
static int folderEditId() { return compactSet() ? IDC_CHOICE_LIST : IDC_FOLDER_EDIT; }
static int folderListId() { return compactSet() ? IDC_CHOICE_LIST : IDC_FOLDER_LIST; }
static UINT addMessage() { return compactSet() ? CB_ADDSTRING : LB_ADDSTRING; }
static UINT readMessage() { return compactSet() ? CB_GETLBTEXT : LB_GETTEXT; }

static void enableFolderControls(HWND page, bool enable) {
    EnableWindow(GetDlgItem(page, folderEditId()), enable);
    EnableWindow(GetDlgItem(page, folderListId()), enable);
}

// Position of the first list entry equal to name without regard to case, -1 if none.
static int findEntry(HWND list, const char* name) {
    char entry[MAX_PATH + 1];
    for (int i = 0;; ++i) {
        if (SendMessageA(list, readMessage(), static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry)) < 0) return -1;
        if (sameTextIgnoringCase(entry, name)) return i;
    }
}

// Adds the subfolders of a Programs folder; skipIfListed: leave out names already listed,
// otherwise leave out the current group's name.
static void addProgramGroups(HWND list, const char* folder, const char* group, bool skipIfListed) {
    if (!folder) return;
    char* pattern = joinPath(folder, "*");
    WIN32_FIND_DATAA found;
    HANDLE search = pattern ? FindFirstFileA(pattern, &found) : INVALID_HANDLE_VALUE;
    heapFree(pattern);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const char* name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !lstrcmpA(name, ".") || !lstrcmpA(name, ".."))
            continue;
        if (skipIfListed ? findEntry(list, name) >= 0 : sameTextIgnoringCase(name, group)) continue;
        SendMessageA(list, addMessage(), 0, reinterpret_cast<LPARAM>(name));
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

static void setUpShortcutBoxes(HWND page) {
    EnableWindow(GetDlgItem(page, IDC_TEXT3), state.groupChoice && state.hasGroupShortcuts);
    EnableWindow(GetDlgItem(page, IDC_TEXT4), state.desktopChoice && state.hasDesktopShortcuts);
    EnableWindow(GetDlgItem(page, IDC_TEXT5), state.quickLaunchChoice && state.hasQuickLaunchShortcuts);
    if (state.createGroupShortcuts) {
        CheckDlgButton(page, IDC_TEXT3, BST_CHECKED);
        enableFolderControls(page, true);
    }
    CheckDlgButton(page, IDC_TEXT4, state.createDesktopShortcuts ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_TEXT5, state.createQuickLaunchShortcuts ? BST_CHECKED : BST_UNCHECKED);
}

void setUpStartMenuPage(HWND page) {
    setUpShortcutBoxes(page);
    HWND edit = GetDlgItem(page, folderEditId()), list = GetDlgItem(page, folderListId());
    const char* value = lookupVariable("%ShortcutsGroup%");
    const char* group = value ? value : "";
    SetFocus(edit);
    SetWindowTextA(edit, group);
    SendMessageA(list, addMessage(), 0, reinterpret_cast<LPARAM>(group));
    addProgramGroups(list, listAt(&state.folderPaths, commonProgramsToken), group, false);
    addProgramGroups(list, listAt(&state.folderPaths, programsToken), group, true);
    int current = findEntry(list, group);
    if (current >= 0)
        SendMessageA(list, compactSet() ? CB_SELECTSTRING : LB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(group));
}

bool startMenuCommand(HWND page, WORD id, WORD code) {
    if (id == IDC_TEXT3 && code == BN_CLICKED) {
        state.createGroupShortcuts = IsDlgButtonChecked(page, IDC_TEXT3) == BST_CHECKED;
        enableFolderControls(page, state.createGroupShortcuts);
    } else if (id == IDC_FOLDER_LIST && code == LBN_SELCHANGE && !compactSet()) {
        HWND list = GetDlgItem(page, IDC_FOLDER_LIST);
        char entry[MAX_PATH + 1];
        LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
        if (selected >= 0 && SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(entry)) >= 0)
            SetDlgItemTextA(page, IDC_FOLDER_EDIT, entry);
    }
    return true;
}

void storeStartMenu(HWND page) {
    char* group = editText(page, folderEditId());
    if (group && group[0]) setVariable("%ShortcutsGroup%", group);
    heapFree(group);
    state.createDesktopShortcuts = IsDlgButtonChecked(page, IDC_TEXT4) == BST_CHECKED;
    state.createQuickLaunchShortcuts = IsDlgButtonChecked(page, IDC_TEXT5) == BST_CHECKED;
}
