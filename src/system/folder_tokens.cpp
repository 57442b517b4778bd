// folder_tokens.cpp -- special folders through the shell functions looked up at run time.
#include "system/folder_tokens.h"

#include "support/system_library.h"

typedef HRESULT(WINAPI* GetFolderLocation)(HWND, int, HANDLE, DWORD, LPITEMIDLIST*);
typedef BOOL(WINAPI* GetSpecialFolderPathA)(HWND, LPSTR, int, BOOL);
typedef HRESULT(WINAPI* GetSpecialFolderLocation)(HWND, int, LPITEMIDLIST*);
typedef BOOL(WINAPI* GetPathFromIDList)(LPCITEMIDLIST, LPSTR);
typedef void(WINAPI* ItemListFree)(LPITEMIDLIST);
typedef UINT(WINAPI* ItemListGetSize)(LPCITEMIDLIST);

static struct {
    HMODULE module;
    GetFolderLocation folderLocation;          // optional (Windows 2000 and later)
    GetSpecialFolderPathA specialFolderPath;   // optional (shell 4.71 and later)
    GetSpecialFolderLocation specialFolderLocation;
    GetPathFromIDList pathFromIdList;
    ItemListFree itemListFree;                 // ordinal 155
    ItemListGetSize itemListGetSize;           // ordinal 152; required, its result is not used
} shell;

bool loadShellFunctions() {
    if (shell.module) return true;
    shell.module = loadSystemLibrary("SHELL32.DLL");
    if (!shell.module) return false;
    findFunction(shell.module, "SHGetFolderLocation", &shell.folderLocation);
    findFunction(shell.module, "SHGetSpecialFolderPathA", &shell.specialFolderPath);
    findFunction(shell.module, "SHGetSpecialFolderLocation", &shell.specialFolderLocation);
    findFunction(shell.module, "SHGetPathFromIDList", &shell.pathFromIdList);
    findFunction(shell.module, MAKEINTRESOURCEA(155), &shell.itemListFree);
    findFunction(shell.module, MAKEINTRESOURCEA(152), &shell.itemListGetSize);
    if (shell.specialFolderLocation && shell.pathFromIdList && shell.itemListFree && shell.itemListGetSize) return true;
    unloadShellFunctions();
    return false;
}

void unloadShellFunctions() {
    if (shell.module) FreeLibrary(shell.module);
    shell = {};
}

bool getSpecialFolderPath(char* buffer, int code) {
    buffer[0] = 0;
    if (shell.specialFolderPath) return shell.specialFolderPath(nullptr, buffer, code, TRUE) == 1;
    LPITEMIDLIST items = nullptr;
    if (!shell.specialFolderLocation || shell.specialFolderLocation(nullptr, code, &items) != S_OK) return false;
    bool found = shell.pathFromIdList(items, buffer) == 1;
    shell.itemListFree(items);
    return found;
}

LPITEMIDLIST getSpecialFolderLocation(int code) {
    LPITEMIDLIST items = nullptr;
    HRESULT result = E_FAIL;
    if (shell.folderLocation)
        result = shell.folderLocation(nullptr, code, nullptr, 0, &items);
    else if (shell.specialFolderLocation)
        result = shell.specialFolderLocation(nullptr, code, &items);
    return result == S_OK ? items : nullptr;
}
