// driver_registry.cpp -- registry saving, queries and changes done inside the driver's process.
#include "driver_registry.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "driver_windows.h"

namespace {

enum { done = 0, notFound = 2, usage = 1 };

struct Root {
    const char* shortName;
    const char* longName;
    HKEY key;
};

const Root roots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

std::wstring wide(const char* utf8) {
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &out[0], size);
    out.resize(wcslen(out.c_str()));
    return out;
}

std::string utf8(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], size, nullptr, nullptr);
    return out;
}

// Splits "HKLM\\Software\\X" into the root and "Software\\X"; false for an unknown root.
bool splitKey(const char* key, const Root** root, std::wstring* path) {
    const char* slash = strchr(key, '\\');
    size_t rootLength = slash ? static_cast<size_t>(slash - key) : strlen(key);
    for (const Root& candidate : roots) {
        bool shortMatch = strlen(candidate.shortName) == rootLength && _strnicmp(key, candidate.shortName, rootLength) == 0;
        bool longMatch = strlen(candidate.longName) == rootLength && _strnicmp(key, candidate.longName, rootLength) == 0;
        if (!shortMatch && !longMatch) continue;
        *root = &candidate;
        *path = slash ? wide(slash + 1) : std::wstring();
        return true;
    }
    fprintf(stderr, "velkorin-driver: unknown registry root: %s\n", key);
    return false;
}

// The characters of a string value without its terminating null(s).
size_t textLength(const BYTE* data, DWORD size) {
    size_t count = size / sizeof(wchar_t);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
    while (count > 0 && text[count - 1] == L'\0') --count;
    return count;
}

// Opens the key below its root; null (after a message) when it does not exist.
HKEY openKey(const char* key, REGSAM access, const Root** root, std::wstring* path) {
    if (!splitKey(key, root, path)) return nullptr;
    HKEY opened;
    if (RegOpenKeyExW((*root)->key, path->c_str(), 0, access, &opened) != ERROR_SUCCESS) {
        fprintf(stderr, "velkorin-driver: no such registry key: %s\n", key);
        return nullptr;
    }
    return opened;
}

HKEY createKey(const char* key) {
    const Root* root;
    std::wstring path;
    if (!splitKey(key, &root, &path)) return nullptr;
    HKEY created;
    if (RegCreateKeyExW(root->key, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr) !=
        ERROR_SUCCESS) {
        fprintf(stderr, "velkorin-driver: cannot create the registry key: %s\n", key);
        return nullptr;
    }
    return created;
}

// The text as `reg query` prints it: REG_SZ as it stands, REG_DWORD as 0x..., REG_MULTI_SZ with
// \0 between the items, other types as hex digits.
std::string queryText(DWORD type, const BYTE* data, DWORD size) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
    char number[16];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return utf8(text, textLength(data, size));
    case REG_MULTI_SZ: {
        std::string out;
        size_t length = textLength(data, size);
        for (size_t at = 0; at < length; ++at) out += text[at] ? utf8(text + at, 1) : std::string("\\0");
        return out;
    }
    case REG_DWORD:
        if (size == sizeof(DWORD)) {
            snprintf(number, sizeof number, "0x%lx", *reinterpret_cast<const DWORD*>(data));
            return number;
        }
        break;
    }
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        snprintf(number, sizeof number, "%02X", data[i]);
        out += number;
    }
    return out;
}

const char* typeName(DWORD type) {
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_BINARY: return "REG_BINARY";
    case REG_NONE: return "REG_NONE";
    default: return "REG_UNKNOWN";
    }
}

}  // namespace

// Saving a key needs the backup privilege, which an administrator's token holds but not enabled.
static bool enableBackupPrivilege() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool found = LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &privileges.Privileges[0].Luid);
    bool enabled = found && AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                   GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return enabled;
}

int saveRegistry(const char* key, const char* file) {
    static bool privileged = enableBackupPrivilege();
    const Root* root;
    std::wstring path;
    HKEY opened = openKey(key, KEY_READ, &root, &path);
    if (!opened) return notFound;
    std::wstring target = wide(file);
    DeleteFileW(target.c_str());
    LONG status = RegSaveKeyW(opened, target.c_str(), nullptr);
    RegCloseKey(opened);
    if (status == ERROR_SUCCESS) return done;
    fprintf(stderr, "velkorin-driver: cannot save %s to %s (error %ld%s)\n", key, file, status,
            privileged ? "" : "; no backup privilege");
    return usage;
}

int setRegistryValue(const char* key, const char* name, const char* type, const char* data) {
    HKEY created = createKey(key);
    if (!created) return usage;
    std::wstring valueName = wide(name);
    LONG status;
    if (strcmp(type, "dword") == 0) {
        DWORD number = strtoul(data, nullptr, 0);
        status = RegSetValueExW(created, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                sizeof number);
    } else if (strcmp(type, "sz") == 0) {
        std::wstring text = wide(data);
        status = RegSetValueExW(created, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    } else {
        RegCloseKey(created);
        fprintf(stderr, "velkorin-driver: unknown value type: %s\n", type);
        return usage;
    }
    RegCloseKey(created);
    if (status == ERROR_SUCCESS) return done;
    fprintf(stderr, "velkorin-driver: cannot set the value %s of %s (error %ld)\n", name, key, status);
    return usage;
}

int createRegistryKey(const char* key) {
    HKEY created = createKey(key);
    if (!created) return usage;
    RegCloseKey(created);
    return done;
}

// RegDeleteTreeW is not in every system the driver runs on: a key's children go first, by hand.
static LONG deleteTree(HKEY parent, const std::wstring& path) {
    HKEY key;
    LONG status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS) return status;
    std::vector<std::wstring> children;
    wchar_t child[512];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof(child) / sizeof(child[0]);
        LONG found = RegEnumKeyExW(key, index, child, &size, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_MORE_DATA) continue;
        if (found != ERROR_SUCCESS) break;
        children.push_back(child);
    }
    for (const std::wstring& name : children) deleteTree(key, name);
    RegCloseKey(key);
    return RegDeleteKeyW(parent, path.c_str());
}

int deleteRegistryKey(const char* key) {
    const Root* root;
    std::wstring path;
    if (!splitKey(key, &root, &path)) return usage;
    if (path.empty()) {
        fprintf(stderr, "velkorin-driver: a root is not deleted: %s\n", key);
        return usage;
    }
    LONG status = deleteTree(root->key, path);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return done;
    fprintf(stderr, "velkorin-driver: cannot delete the registry key %s (error %ld)\n", key, status);
    return usage;
}

int deleteRegistryValue(const char* key, const char* name) {
    const Root* root;
    std::wstring path;
    if (!splitKey(key, &root, &path)) return usage;
    HKEY opened;
    LONG status = RegOpenKeyExW(root->key, path.c_str(), 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND) return done;
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(opened, wide(name).c_str());
        RegCloseKey(opened);
    }
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return done;
    fprintf(stderr, "velkorin-driver: cannot delete the value %s of %s (error %ld)\n", name, key, status);
    return usage;
}

int queryRegistryValue(const char* key, const char* name) {
    const Root* root;
    std::wstring path;
    HKEY opened = openKey(key, KEY_QUERY_VALUE, &root, &path);
    if (!opened) return notFound;
    std::wstring valueName = wide(name);
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExW(opened, valueName.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size + 2);
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExW(opened, valueName.c_str(), nullptr, &type, data.data(), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) {
        fprintf(stderr, "velkorin-driver: no such registry value: %s of %s\n", name, key);
        return notFound;
    }
    printf("value\t%s\t", typeName(type));
    printEscaped(queryText(type, data.data(), size).c_str());
    fputc('\n', stdout);
    return done;
}
