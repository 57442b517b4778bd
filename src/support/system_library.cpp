// system_library.cpp -- loading system libraries by full path.
#include "support/system_library.h"

constexpr DWORD searchSystemFolder = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

void searchLibrariesInSystemFolderOnly() {
    BOOL(WINAPI * setDefaultDirectories)(DWORD);
    if (findFunction(GetModuleHandleA("KERNEL32.DLL"), "SetDefaultDllDirectories", &setDefaultDirectories))
        setDefaultDirectories(searchSystemFolder);
}

HMODULE loadSystemLibrary(const char* name) {
    char path[MAX_PATH + 32];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (!length || length >= MAX_PATH) return nullptr;
    wsprintfA(path + length, "\\%s", name);
    return LoadLibraryA(path);
}

// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32, known to Windows 8 and later
// (and Windows 7 with its loader update); older systems refuse the flags as invalid.
constexpr DWORD searchLibraryAndSystemFolders = 0x00000100 | searchSystemFolder;

HMODULE loadNamedLibrary(const char* path) {
    bool bare = true;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/' || *c == ':') bare = false;
    if (bare) return loadSystemLibrary(path);
    HMODULE library = LoadLibraryExA(path, nullptr, searchLibraryAndSystemFolders);
    if (!library && GetLastError() == ERROR_INVALID_PARAMETER)
        library = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return library;
}
