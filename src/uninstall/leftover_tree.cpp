// leftover_tree.cpp -- the leftover tree's items and what the user does with them.
#include "uninstall/leftover_tree.h"

#include <shellapi.h>

#include "script/setup_state.h"
#include "install/worker_control.h"
#include "support/heap.h"
#include "system/file_system.h"
#include "system/paths.h"
#include "ui/messages.h"
#include "uninstall/removal_entries.h"

constexpr int treeControl = 1026;
constexpr DWORD itemTextSize = 32767;

static LRESULT send(HWND tree, UINT message, WPARAM wParam, const void* lParam) {
    return SendMessageA(tree, message, wParam, reinterpret_cast<LPARAM>(lParam));
}

static HTREEITEM nextItem(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(send(tree, TVM_GETNEXTITEM, relation, item));
}

static HTREEITEM firstChild(HWND tree, HTREEITEM item) {
    return item == TVI_ROOT ? nextItem(tree, nullptr, TVGN_ROOT) : nextItem(tree, item, TVGN_CHILD);
}

// Index of the path's small icon (or small open icon) in the system image list; no handle is made.
static int pathIcon(const char* path, UINT open) {
    SHFILEINFOA info;
    info.iIcon = 0;
    SHGetFileInfoA(path, 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON | open);
    return info.iIcon;
}

static HTREEITEM insertTreeItem(HWND tree, const char* text, int icon, int openIcon, HTREEITEM parent) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.iImage = icon;
    insert.item.iSelectedImage = openIcon;
    return reinterpret_cast<HTREEITEM>(send(tree, TVM_INSERTITEMA, 0, &insert));
}

HTREEITEM insertPathItem(HWND tree, const char* path, HTREEITEM parent) {
    const char* text = parent == TVI_ROOT ? path : fileNamePart(path);
    return insertTreeItem(tree, text, pathIcon(path, 0), pathIcon(path, SHGFI_OPENICON), parent);
}

static void setItem(HWND tree, TVITEMA* item) { send(tree, TVM_SETITEMA, 0, item); }

void setItemKind(HWND tree, HTREEITEM item, int kind) {
    TVITEMA change = {};
    change.mask = TVIF_PARAM;
    change.hItem = item;
    change.lParam = kind;
    setItem(tree, &change);
}

int getItemKind(HWND tree, HTREEITEM item) {
    TVITEMA query = {};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    return send(tree, TVM_GETITEMA, 0, &query) ? static_cast<int>(query.lParam) : 0;
}

void setItemTicked(HWND tree, HTREEITEM item, bool ticked) {
    TVITEMA change = {};
    change.mask = TVIF_STATE;
    change.hItem = item;
    change.stateMask = TVIS_STATEIMAGEMASK;
    change.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    setItem(tree, &change);
}

bool isItemTicked(HWND tree, HTREEITEM item) {
    UINT itemState = static_cast<UINT>(send(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                            reinterpret_cast<void*>(TVIS_STATEIMAGEMASK)));
    return (itemState >> 12) == 2;
}

void getItemText(HWND tree, HTREEITEM item, char* buffer, int size) {
    TVITEMA query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = buffer;
    query.cchTextMax = size;
    buffer[0] = 0;
    if (!send(tree, TVM_GETITEMA, 0, &query)) buffer[0] = 0;
}

char* itemPath(HWND tree, HTREEITEM item) {
    char* buffer = static_cast<char*>(heapAlloc(itemTextSize + 1));
    char* path = nullptr;
    for (; buffer && item; item = nextItem(tree, item, TVGN_PARENT)) {
        getItemText(tree, item, buffer, itemTextSize);
        char* longer = path ? joinPath(buffer, path) : duplicateText(buffer);
        heapFree(path);
        path = longer;
    }
    heapFree(buffer);
    return path;
}

static void addPlaceholder(HWND tree, HTREEITEM item) { insertTreeItem(tree, "", 0, 0, item); }

// The folder's subfolders and files (not those waiting for deletion at restart), as full paths.
static void listFolder(const char* folder, StringList* folders, StringList* files) {
    char* pattern = joinPath(folder, "*");
    WIN32_FIND_DATAA found;
    HANDLE search = pattern ? FindFirstFileA(pattern, &found) : INVALID_HANDLE_VALUE;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        const char* name = found.cFileName;
        bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (isFolder && name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]))) continue;
        char* path = joinPath(folder, name);
        if (path && (isFolder || listFind(&state.rebootDeletePaths, path, 0, 0) < 0))
            listAppend(isFolder ? folders : files, path);
        heapFree(path);
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    heapFree(pattern);
}

// Adds the sorted paths under item with the tick state and kind; folders with content expandable.
static void addChildren(HWND tree, HTREEITEM item, StringList* paths, bool ticked, int kind, bool showFiles) {
    listSort(paths, sortByText);
    for (int i = 0; i < listCount(paths); ++i) {
        HTREEITEM child = insertPathItem(tree, listAt(paths, i), item);
        setItemTicked(tree, child, ticked);
        setItemKind(tree, child, kind);
        if (kind == itemFolder && !folderIsEmpty(listAt(paths, i), showFiles)) addPlaceholder(tree, child);
    }
}

void fillFolderItem(HWND tree, HTREEITEM item, bool showFiles) {
    bool ticked = isItemTicked(tree, item);
    for (HTREEITEM child = firstChild(tree, item); child; child = firstChild(tree, item))
        send(tree, TVM_DELETEITEM, 0, child);
    char* folder = itemPath(tree, item);
    StringList folders = {}, files = {};
    listCreate(&folders, 8);
    listCreate(&files, 8);
    if (folder) listFolder(folder, &folders, &files);
    addChildren(tree, item, &folders, ticked, itemFolder, showFiles);
    if (showFiles) addChildren(tree, item, &files, ticked, itemFile, showFiles);
    listDestroy(&folders);
    listDestroy(&files);
    heapFree(folder);
}

void tickDescendants(HWND tree, HTREEITEM item, bool tickItself) {
    for (HTREEITEM child = firstChild(tree, item); child; child = nextItem(tree, child, TVGN_NEXT))
        tickDescendants(tree, child, true);
    if (tickItself) setItemTicked(tree, item, true);
}

bool anyTickedExcept(HWND tree, HTREEITEM start, HTREEITEM ignored) {
    for (HTREEITEM child = firstChild(tree, start); child; child = nextItem(tree, child, TVGN_NEXT))
        if ((child != ignored && isItemTicked(tree, child)) || anyTickedExcept(tree, child, ignored)) return true;
    return false;
}

// Asks before a read-only file (or one whose attributes cannot be read) goes; true to delete.
static bool mayDeleteFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    return showMessage(nullptr, "Deleting File", "The file %s \nis a read-only file. Delete anyway?", path, nullptr,
                       nullptr, MB_YESNO | MB_ICONEXCLAMATION) != IDNO;
}

void deleteTicked(HWND tree, HTREEITEM parent) {
    HTREEITEM next = nullptr;
    for (HTREEITEM child = firstChild(tree, parent); child; child = next) {
        next = nextItem(tree, child, TVGN_NEXT);
        bool ticked = isItemTicked(tree, child);
        bool isFile = getItemKind(tree, child) == itemFile;
        if (!ticked) {
            if (!isFile) deleteTicked(tree, child);
            continue;
        }
        char* path = itemPath(tree, child);
        if (path && (!isFile || mayDeleteFile(path))) {
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            if (isFile) DeleteFileA(path);
            else deleteTree(path);
        }
        heapFree(path);
        send(tree, TVM_DELETEITEM, 0, child);
    }
}

static const char leftoverExplanation[] =
    "Some folders contain files which was not created by this installation and can not be deleted "
    "automatically. Select a check box near a file or a folder you want to delete and then click 'Delete' button.";

// The finish caption, the explanation and the tree instead of the progress controls.
static void showClosingControls(HWND page) {
    setPageText(page, 1012, "Finish");
    setPageText(page, 1001, "Uninstall Completed");
    bool fullSize = state.dialogIdBase == 0;
    if (fullSize) {
        char* done = concatTexts(state.productTitle, " have been succesfully removed from your computer.");
        setPageText(page, 1002, done ? done : "");
        heapFree(done);
    }
    setPageText(page, fullSize ? 1003 : 1007, leftoverExplanation);
    static const WORD hidden[] = {1004, 1023, 1002, 1003};
    static const WORD shown[] = {1010, 1011, treeControl};
    for (int i = 0; i < (fullSize ? 2 : 4); ++i) ShowWindow(GetDlgItem(page, hidden[i]), SW_HIDE);
    for (WORD id : shown) ShowWindow(GetDlgItem(page, id), SW_SHOW);
    // Every item starts ticked: Delete has something to do at once.
    EnableWindow(GetDlgItem(page, 1011), TRUE);
}

void showLeftoverView(HWND page) {
    showClosingControls(page);
    HWND tree = GetDlgItem(page, treeControl);
    PostMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree), TRUE);
    SHFILEINFOA info;
    HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    send(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, icons);
    prepareLeftoverPaths(&state.leftoverPaths);
    send(tree, WM_SETREDRAW, FALSE, nullptr);
    for (int i = 0; i < listCount(&state.leftoverPaths); ++i) {
        const char* folder = listAt(&state.leftoverPaths, i);
        HTREEITEM item = insertPathItem(tree, folder, TVI_ROOT);
        setItemTicked(tree, item, true);
        setItemKind(tree, item, itemFolder);
        if (!folderIsEmpty(folder, true)) addPlaceholder(tree, item);
    }
    send(tree, WM_SETREDRAW, TRUE, nullptr);
    InvalidateRect(tree, nullptr, TRUE);
}
