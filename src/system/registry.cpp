// registry.cpp -- the registry through the system's ANSI functions.
#include "system/registry.h"

#include "support/heap.h"

char* readRegistryString(const char* rootName, const char* key, const char* valueName) {
    int root = rootNumberFromName(rootName);
    if (root < 0 || !key) return nullptr;
    if (*key == '\\') ++key;
    HKEY opened;
    HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(predefinedKeyBase + root));
    if (RegOpenKeyExA(rootKey, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return nullptr;
    char* value = nullptr;
    DWORD type, size = 0;
    if (RegQueryValueExA(opened, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        value = static_cast<char*>(heapAlloc(size + 1));  // zero-filled: terminated even if the data is not
        if (value && RegQueryValueExA(opened, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS) {
            heapFree(value);
            value = nullptr;
        }
    }
    RegCloseKey(opened);
    return value;
}
