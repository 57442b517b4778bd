// folder_tokens.cpp -- special folders through the shell functions looked up at run time, and
// the resolution of the folder tokens with their fall-backs.
#include "system/folder_tokens.h"

#include "install/directory_chain.h"
#include "script/folder_token_table.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/system_library.h"
#include "system/file_system.h"
#include "system/paths.h"
#include "system/registry.h"
#include "system/windows_version.h"

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

static char* result;  // the shared resolution buffer, from the private heap on first use

void unloadShellFunctions() {
    if (shell.module) FreeLibrary(shell.module);
    shell = {};
    heapFree(result);
    result = nullptr;
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

// ---- resolution ----
// Every rule leaves its path in the shared buffer, or leaves it empty for the temporary folder.

constexpr DWORD resultSize = 32767;

// Tokens that other rules build on (their indexes in the token table).
enum TokenIndex {
    appDataToken = 0,
    userProfileToken = 26,
    allUsersToken = 27,
    commonDocumentsToken = 28,
    firstMediaToken = 29,
};

static const char shellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
static const char currentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
static const char profileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

static bool isAllUsersSystem() {
    int version = state.windowsVersion;
    return version == windowsNt4 || version >= windowsMe;
}

// Copies text into the buffer; false (buffer untouched) for a null or empty text.
static bool keepText(const char* text) {
    if (!text || !*text) return false;
    lstrcpynA(result, text, resultSize);
    return true;
}

static bool keepAndFree(char* text) {
    bool kept = keepText(text);
    heapFree(text);
    return kept;
}

static bool fromCode(int code) {
    if (getSpecialFolderPath(result, code)) return true;
    result[0] = 0;
    return false;
}

// A non-empty string value into the buffer; false (buffer untouched) when there is none.
static bool fromRegistry(const char* rootName, const char* key, const char* valueName) {
    return keepAndFree(readRegistryString(rootName, key, valueName));
}

// Creates the folder and each missing level above it, from the first level after the root;
// failures are not checked. Steps by characters: a second byte may be a backslash.
static void createFolderLevels(char* path) {
    for (char* c = path + pathLevelsStart(path); *c; c = CharNextA(c)) {
        if (*c != '\\') continue;
        *c = 0;
        CreateDirectoryA(path, nullptr);
        *c = '\\';
    }
    CreateDirectoryA(path, nullptr);
}

// join(base, name) created as a folder and kept; written to root's Shell Folders value unless
// valueName is null.
static void buildFolder(const char* base, const char* name, HKEY root, const char* valueName) {
    char* path = joinPath(base, name);
    if (!path) return;
    createFolderLevels(path);
    if (valueName) writeRegistryValue(root, shellFolders, valueName, REG_SZ, path, textLength(path) + 1);
    keepAndFree(path);
}

static void resolveAppData() {
    if (fromCode(CSIDL_APPDATA) || fromRegistry("HKCU", shellFolders, "AppData")) return;
    buildFolder(resolveFolderToken(userProfileToken), "Application Data", HKEY_CURRENT_USER, "AppData");
}

// Windows 98 and 98 SE always build the folder; the value is written only where it was missing.
static void resolveCommonAppData() {
    char* value = readRegistryString("HKLM", shellFolders, "Common AppData");
    int version = state.windowsVersion;
    bool build = version == windows98 || version == windows98Se;
    if (!build && value) keepText(value);
    else if (!build && version >= windowsMe) fromCode(CSIDL_COMMON_APPDATA);
    else buildFolder(resolveFolderToken(allUsersToken), "Application Data", HKEY_LOCAL_MACHINE,
                     value ? nullptr : "Common AppData");
    heapFree(value);
}

// The profile named by the first subkey (a security identifier) of the protected storage.
static bool profileFromStorageProvider() {
    HKEY provider;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Protected Storage System Provider", 0,
                      KEY_ENUMERATE_SUB_KEYS, &provider) != ERROR_SUCCESS)
        return false;
    char name[256] = {};
    DWORD length = sizeof(name);
    DWORD error = RegEnumKeyExA(provider, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(provider);
    name[sizeof(name) - 1] = 0;
    if (error != ERROR_SUCCESS && error != ERROR_MORE_DATA) return false;
    char* key = concatTexts(profileList, "\\", name);
    char* image = key ? readRegistryString("HKLM", key, "ProfileImagePath") : nullptr;
    heapFree(key);
    bool found = image && *image && ExpandEnvironmentStringsA(image, result, resultSize);
    heapFree(image);
    return found;
}

static void resolveUserProfile() {
    if (fromCode(CSIDL_PROFILE)) return;
    GetWindowsDirectoryA(result, resultSize);
    if (!fromRegistry("HKCU", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProfileReconciliation",
                      "ProfileDirectory"))
        profileFromStorageProvider();
}

static void resolveAllUsers() {
    GetWindowsDirectoryA(result, resultSize);
    HKEY list;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, profileList, 0, KEY_QUERY_VALUE, &list) != ERROR_SUCCESS) return;
    RegCloseKey(list);
    char* profiles = readRegistryString("HKLM", profileList, "ProfilesDirectory");
    char* allUsers = readRegistryString("HKLM", profileList, "AllUsersProfile");
    char* joined = profiles && allUsers ? joinPath(profiles, allUsers) : joinPath(result, "Profiles\\All Users");
    if (joined && profiles && allUsers) ExpandEnvironmentStringsA(joined, result, resultSize);
    else keepText(joined);
    heapFree(joined);
    heapFree(profiles);
    heapFree(allUsers);
}

static void resolveQuickLaunch() {
    char* path = concatTexts(resolveFolderToken(appDataToken), "\\Microsoft\\Internet Explorer\\Quick Launch");
    result[0] = 0;
    if (path && pathExists(path)) keepText(path);
    heapFree(path);
}

static void resolveBrowser() {
    if (!fromRegistry("HKLM", "Software\\Microsoft\\IE Setup\\Setup", "Path")) return;
    if (!keepAndFree(joinPath(result, "iexplore.exe"))) result[0] = 0;
}

// Tokens 29..34: the Shell Folders value when it is set, else a folder built on the documents.
static void resolveMediaFolder(int index) {
    static const char* const valueNames[] = {"CommonPictures", "CommonMusic", "CommonVideo",
                                             "My Pictures",    "My Music",    "My Video"};
    int media = index - firstMediaToken;
    bool common = media < 3;
    if (fromRegistry(common ? "HKLM" : "HKCU", shellFolders, valueNames[media])) return;
    if (common) resolveFolderToken(commonDocumentsToken);
    else if (!fromCode(CSIDL_PERSONAL)) return;
    buildFolder(result, valueNames[3 + media % 3], common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                valueNames[media]);
}

// The per-user code of the all-users tokens 2 to 7 (0 for token 4, which has its own rule).
static const BYTE perUserCodes[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES, 0,
                                    CSIDL_PROGRAMS,         CSIDL_STARTMENU, CSIDL_STARTUP};

static void applyRule(int index) {
    int code = folderTokens[index].defaultCode;
    switch (index) {
    case 0: resolveAppData(); break;
    case 1: resolveCommonAppData(); break;
    case 2: case 3: case 5: case 6: case 7: fromCode(isAllUsersSystem() ? code : perUserCodes[index - 2]); break;
    case 4: fromRegistry("HKLM", currentVersion, "CommonFilesDir"); break;
    case 8: if (!fromCode(code)) fromCode(CSIDL_TEMPLATES); break;
    case 10: resolveBrowser(); break;
    case 13: fromRegistry("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSACCESS.EXE", ""); break;
    case 16: fromRegistry("HKLM", currentVersion, "ProgramFilesDir"); break;
    case 18: resolveQuickLaunch(); break;
    case 22: GetSystemDirectoryA(result, resultSize); break;
    case 23: break;
    case 25: GetWindowsDirectoryA(result, resultSize); break;
    case 26: resolveUserProfile(); break;
    case 27: resolveAllUsers(); break;
    case 28: fromCode(state.windowsVersion >= windowsMe ? code : CSIDL_PERSONAL); break;
    case 29: case 30: case 31: case 32: case 33: case 34: resolveMediaFolder(index); break;
    default: fromCode(code);
    }
}

const char* resolveFolderToken(int index) {
    if (!result) result = static_cast<char*>(heapAlloc(resultSize));
    if (!result) return "";
    result[0] = 0;
    if (static_cast<unsigned>(index) < static_cast<unsigned>(folderTokenCount)) applyRule(index);
    if (!result[0]) {
        DWORD length = GetTempPathA(resultSize - 1, result);
        if (!length || length >= resultSize - 1) result[0] = 0;
        stripTrailingSlash(result);
    }
    return result;
}

bool resolveAllFolderTokens() {
    listClear(&state.folderPaths);
    for (int i = 0; folderTokens[i].text; ++i)
        if (listAppend(&state.folderPaths, resolveFolderToken(i)) < 0) return false;
    return true;
}
