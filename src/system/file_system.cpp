// file_system.cpp -- folder and file operations over the Win32 file API.
#include "system/file_system.h"

#include <shlobj.h>

#include "support/heap.h"
#include "system/folder_tokens.h"
#include "system/paths.h"

constexpr DWORD longPathSize = 32767;

bool pathExists(const char* path) {
    char* probe = duplicateText(path, 2);
    if (!probe) return false;
    stripTrailingSlash(probe);
    DWORD length = textLength(probe);
    if (isBareDrive(probe) || (length == 4 && probe[1] == ':' && probe[2] == '\\' && probe[3] == '.')) {
        copyBytes(probe + textLength(probe), "\\*", 3);
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(probe, &found);
    heapFree(probe);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

static bool isDotEntry(const WIN32_FIND_DATAA& entry) {
    const char* n = entry.cFileName;
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

// Starts listing folder\*; INVALID_HANDLE_VALUE when it cannot be listed.
static HANDLE listFolder(const char* folder, WIN32_FIND_DATAA* entry) {
    char* base = duplicateText(folder);
    if (!base) return INVALID_HANDLE_VALUE;
    stripTrailingSlash(base);
    char* pattern = concatTexts(base, "\\*");
    heapFree(base);
    HANDLE search = pattern ? FindFirstFileA(pattern, entry) : INVALID_HANDLE_VALUE;
    heapFree(pattern);
    return search;
}

bool folderIsEmpty(const char* folder, bool countFiles) {
    WIN32_FIND_DATAA entry;
    HANDLE search = listFolder(folder, &entry);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        if (isDotEntry(entry)) continue;
        if (countFiles || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) empty = false;
    } while (empty && FindNextFileA(search, &entry));
    FindClose(search);
    return empty;
}

DWORD existingAncestor(const char* path, char** ancestor) {
    *ancestor = nullptr;
    char* candidate = duplicateText(path, 1);
    if (!candidate) return ERROR_NOT_ENOUGH_MEMORY;
    while (!pathExists(candidate)) {
        DWORD error = GetLastError();
        char* separator = lastBackslash(candidate);
        if (!separator) {
            heapFree(candidate);
            return error;
        }
        *separator = 0;
    }
    DWORD length = textLength(candidate);
    if (length && candidate[length - 1] == ':') copyBytes(candidate + length, "\\", 2);
    *ancestor = candidate;
    return 0;
}

// Whether the system opens this folder link as the link itself: Windows does, and its
// RemoveDirectoryA then removes the link. Wine lists a symbolic link as a reparse point but opens
// (and removes, and moves) the folder it points to.
static bool opensAsLink(const char* link) {
    HANDLE handle = CreateFileA(link, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    bool isLink = GetFileInformationByHandle(handle, &information) &&
                  (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    CloseHandle(handle);
    return isLink;
}

// A junction or symbolic link is removed as the link it is; what it points to belongs to someone
// else and is never listed or deleted. A link to a file goes with DeleteFileA; a link to a folder
// that the system would only reach through to its target stays where it is (false).
static bool removeLink(const char* link, DWORD attributes) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileA(link) != 0;
    return opensAsLink(link) && RemoveDirectoryA(link);
}

bool deleteTree(const char* folder) {
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return removeLink(folder, attributes);
    WIN32_FIND_DATAA entry;
    HANDLE search = listFolder(folder, &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (isDotEntry(entry)) continue;
            char* item = joinPath(folder, entry.cFileName);
            if (!item) continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                removeLink(item, entry.dwFileAttributes);
            } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                deleteTree(item);
            } else {
                SetFileAttributesA(item, FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(item);
            }
            heapFree(item);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    SetFileAttributesA(folder, FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryA(folder) != 0;
}

char* moduleFileName(HMODULE module) {
    char* buffer = static_cast<char*>(heapAlloc(longPathSize));
    if (!buffer) return nullptr;
    DWORD length = GetModuleFileNameA(module, buffer, longPathSize);
    char* name = length && length < longPathSize ? duplicateText(buffer) : nullptr;
    heapFree(buffer);
    return name;
}

char* moduleFolder(HMODULE module) {
    char* name = moduleFileName(module);
    char* folder = name ? parentPath(name) : nullptr;
    heapFree(name);
    return folder;
}

char* tempFolder() {
    DWORD size = GetTempPathA(0, nullptr);
    char* folder = size ? static_cast<char*>(heapAlloc(size + 1)) : nullptr;
    if (!folder) return nullptr;
    DWORD length = GetTempPathA(size + 1, folder);
    if (!length || length > size) {
        heapFree(folder);
        return nullptr;
    }
    stripTrailingSlash(folder);
    return folder;
}

static int CALLBACK browserEvent(HWND browser, UINT message, LPARAM, LPARAM initialPath) {
    if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, initialPath);
    return 0;
}

bool browseForFolder(HWND owner, const char* title, const char* initialPath, char* chosen) {
    LPITEMIDLIST root = getSpecialFolderLocation(CSIDL_DRIVES);
    bool picked = false;
    if (OleInitialize(nullptr) == S_OK) {
        BROWSEINFOA browse = {};
        browse.hwndOwner = owner;
        browse.pidlRoot = root;
        browse.lpszTitle = title;
        browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
        browse.lpfn = browserEvent;
        browse.lParam = reinterpret_cast<LPARAM>(initialPath);
        LPITEMIDLIST item = SHBrowseForFolderA(&browse);
        if (item && SHGetPathFromIDListA(item, chosen)) picked = true;
        if (item) CoTaskMemFree(item);
        OleUninitialize();
    }
    if (root) CoTaskMemFree(root);
    return picked;
}

void windowRectInParent(HWND window, RECT* rectangle) {
    GetWindowRect(window, rectangle);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(rectangle), 2);
}
