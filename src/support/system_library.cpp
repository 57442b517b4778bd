// system_library.cpp -- loading system libraries by full path.
#include "support/system_library.h"

HMODULE loadSystemLibrary(const char* name) {
    char path[MAX_PATH + 32];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (!length || length >= MAX_PATH) return nullptr;
    wsprintfA(path + length, "\\%s", name);
    return LoadLibraryA(path);
}
