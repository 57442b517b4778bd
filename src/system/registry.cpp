// registry.cpp -- the registry through the system's ANSI functions.
#include "system/registry.h"

#include "support/heap.h"
#include "system/registry_data.h"
#include "system/registry_log.h"

static char noClass[] = "";

HKEY rootKeyFromNumber(int root) {
    if (root < 0 || root >= registryRootCount) return nullptr;
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(predefinedKeyBase + root));
}

HKEY rootKeyFromName(const char* name) { return rootKeyFromNumber(rootNumberFromName(name)); }

// The root number of a predefined key, or -1.
static int rootNumber(HKEY root) {
    DWORD n = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(root)) - predefinedKeyBase;
    return n < static_cast<DWORD>(registryRootCount) ? static_cast<int>(n) : -1;
}

const char* rootKeyName(HKEY root) {
    const char* name = rootNumberName(rootNumber(root));
    return name ? name : "";
}

static const char* skipBackslash(const char* key) { return *key == '\\' ? key + 1 : key; }

DWORD writeRegistryValue(HKEY root, const char* key, const char* valueName, DWORD type, const void* data,
                         DWORD size) {
    HKEY opened;
    DWORD disposition;
    DWORD error = RegCreateKeyExA(root, skipBackslash(key), 0, noClass, 0, KEY_SET_VALUE, nullptr, &opened,
                                  &disposition);
    if (error != ERROR_SUCCESS) return error;
    error = RegSetValueExA(opened, valueName, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
    return error;
}

BYTE* readRegistryValue(HKEY root, const char* key, const char* valueName, DWORD* type, DWORD* size) {
    HKEY opened;
    if (RegOpenKeyExA(root, skipBackslash(key), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return nullptr;
    BYTE* data = nullptr;
    DWORD length = 0;
    if (RegQueryValueExA(opened, valueName, nullptr, type, nullptr, &length) == ERROR_SUCCESS && length) {
        data = static_cast<BYTE*>(heapAlloc(length + 1));  // zero-filled: terminated even if the data is not
        if (data && RegQueryValueExA(opened, valueName, nullptr, type, data, &length) != ERROR_SUCCESS) {
            heapFree(data);
            data = nullptr;
        }
    }
    RegCloseKey(opened);
    if (size) *size = data ? length : 0;
    return data;
}

char* readRegistryString(const char* rootName, const char* key, const char* valueName) {
    HKEY root = rootKeyFromName(rootName);
    if (!root || !key) return nullptr;
    DWORD type = 0;
    BYTE* data = readRegistryValue(root, key, valueName, &type);
    if (data && type != REG_SZ && type != REG_EXPAND_SZ) {
        heapFree(data);
        data = nullptr;
    }
    return reinterpret_cast<char*>(data);
}

// Whether an open key has neither subkeys nor values.
static bool keyIsEmpty(HKEY key) {
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    return !subkeys && !values;
}

DWORD deleteRegistryValue(HKEY root, const char* key, const char* valueName, bool deleteEmptyKey) {
    key = skipBackslash(key);
    HKEY opened;
    DWORD error = RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | DELETE, &opened);
    if (error != ERROR_SUCCESS) return error;
    error = RegDeleteValueA(opened, valueName);
    bool empty = deleteEmptyKey && *key && keyIsEmpty(opened);
    RegCloseKey(opened);
    if (empty) RegDeleteKeyA(root, key);
    return error;
}

// Deletes every subkey of an open key, deepest first.
static void deleteSubkeys(HKEY opened, DWORD subkeys, DWORD longestName) {
    char* name = static_cast<char*>(heapAlloc(longestName + 1));
    if (!name) return;
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD length = longestName + 1;
        if (RegEnumKeyExA(opened, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            deleteRegistryKey(opened, name, true);
    }
    heapFree(name);
}

DWORD deleteRegistryKey(HKEY root, const char* key, bool recursive) {
    if (!isUsableKeyPath(key)) return ERROR_INVALID_PARAMETER;
    while (*key == '\\') ++key;
    HKEY opened;
    DWORD error = RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | DELETE, &opened);
    if (error != ERROR_SUCCESS) return error;
    DWORD subkeys = 0, longestName = 0, values = 0;
    error = RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subkeys, &longestName, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr);
    bool remove = error == ERROR_SUCCESS && (recursive || (!subkeys && !values));
    if (remove) deleteSubkeys(opened, subkeys, longestName);
    RegCloseKey(opened);
    return remove ? RegDeleteKeyA(root, key) : error;
}

DWORD createRegistryKeyChain(HKEY root, const char* key, REGSAM access, HKEY* opened) {
    *opened = nullptr;
    int number = rootNumber(root);
    if (number < 0) return ERROR_INVALID_HANDLE;
    char* path = registryKeyPath(key);
    if (!path) return ERROR_NOT_ENOUGH_MEMORY;
    HKEY level;
    DWORD disposition;
    for (char* c = path; *c; c = CharNextA(c)) {  // by characters: a second byte may be 0x5C
        if (*c != '\\') continue;
        *c = 0;
        if (RegCreateKeyExA(root, path, 0, noClass, 0, KEY_QUERY_VALUE, nullptr, &level, &disposition) ==
            ERROR_SUCCESS) {
            RegCloseKey(level);
            if (disposition == REG_CREATED_NEW_KEY) recordRegistryKey(number, path, false, true);
        }
        *c = '\\';
    }
    disposition = 0;
    DWORD error = RegCreateKeyExA(root, path, 0, noClass, 0, access, nullptr, opened, &disposition);
    if (error != ERROR_SUCCESS) *opened = nullptr;
    else if (*path) recordRegistryKey(number, path, false, disposition == REG_CREATED_NEW_KEY);
    heapFree(path);
    return error;
}
