// requirements_detection.cpp -- what the system has: Internet Explorer and Microsoft Access from the
// registry, administrative rights from the process token, and the requirement check.
#include "install/file_version.h"
#include "script/fields.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/system_library.h"
#include "system/registry.h"
#include "system/requirements.h"
#include "system/windows_version.h"

// ---- Internet Explorer ----

static const char ieKey[] = "Software\\Microsoft\\Internet Explorer";
static const char ieVersion3Key[] = "Software\\Microsoft\\Windows\\Internet Explorer";

// A number value of an HKLM key, stored as a number or as decimal text; false when missing.
static bool readMachineNumber(const char* key, const char* valueName, int* number) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    char data[32] = {};
    DWORD type = 0, size = sizeof(data) - 1;
    bool found =
        RegQueryValueExA(opened, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
    RegCloseKey(opened);
    if (found && type == REG_DWORD)
        *number = *reinterpret_cast<int*>(data);
    else if (found && type == REG_SZ)
        *number = toNumber(data);
    else
        found = false;
    return found;
}

int detectIeLevel() {
    int detail = 0, number;
    char* version = readRegistryString("HKLM", ieKey, "Version");
    if (version)
        detail = ieDetailFromVersion(version);
    else if (readMachineNumber(ieVersion3Key, "Build", &number))
        detail = ieDetailFromBuild(number);
    else if (readMachineNumber(ieVersion3Key, "IVer", &number))
        detail = ieDetailFromIVer(number);
    heapFree(version);
    return ieLevelFromDetail(detail);
}

// ---- Microsoft Access ----

int detectAccessLevel() {
    char* program =
        readRegistryString("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSACCESS.EXE", "");
    if (!program) return 0;
    char version[64];
    formatFileVersion(program, version, false);
    heapFree(program);
    return accessLevelFromVersion(version);
}

// ---- administrative rights ----

typedef BOOL(WINAPI* OpenProcessTokenFunction)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI* AllocateAndInitializeSidFunction)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD,
                                                       DWORD, DWORD, DWORD, DWORD, PSID*);
typedef BOOL(WINAPI* EqualSidFunction)(PSID, PSID);
typedef PVOID(WINAPI* FreeSidFunction)(PSID);

// The token functions exist only on Windows NT; they are looked up so that Windows 95 starts.
struct TokenFunctions {
    OpenProcessTokenFunction openProcessToken;
    GetTokenInformationFunction getTokenInformation;
    AllocateAndInitializeSidFunction allocateAndInitializeSid;
    EqualSidFunction equalSid;
    FreeSidFunction freeSid;
};

static bool findTokenFunctions(HMODULE advapi, TokenFunctions* f) {
    return findFunction(advapi, "OpenProcessToken", &f->openProcessToken) &&
           findFunction(advapi, "GetTokenInformation", &f->getTokenInformation) &&
           findFunction(advapi, "AllocateAndInitializeSid", &f->allocateAndInitializeSid) &&
           findFunction(advapi, "EqualSid", &f->equalSid) && findFunction(advapi, "FreeSid", &f->freeSid);
}

// Whether one of the token's groups is the built-in Administrators alias (5-32-544), enabled.
static bool groupsHoldAdministrators(const TokenFunctions& f, const TOKEN_GROUPS* groups) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = {{0, 0, 0, 0, 0, 5}};
    PSID administrators;
    if (!f.allocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                    0, 0, &administrators))
        return false;
    bool found = false;
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i)
        found = (groups->Groups[i].Attributes & SE_GROUP_ENABLED) && f.equalSid(groups->Groups[i].Sid, administrators);
    f.freeSid(administrators);
    return found;
}

static bool tokenHoldsAdministrators(const TokenFunctions& f) {
    HANDLE token;
    if (!f.openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    f.getTokenInformation(token, TokenGroups, nullptr, 0, &size);
    TOKEN_GROUPS* groups = size ? static_cast<TOKEN_GROUPS*>(heapAlloc(size)) : nullptr;
    bool found =
        groups && f.getTokenInformation(token, TokenGroups, groups, size, &size) && groupsHoldAdministrators(f, groups);
    heapFree(groups);
    CloseHandle(token);
    return found;
}

bool detectAdminRights() {
    HMODULE advapi = loadSystemLibrary("ADVAPI32.DLL");
    if (!advapi) return false;
    TokenFunctions functions;
    bool admin = findTokenFunctions(advapi, &functions) && tokenHoldsAdministrators(functions);
    FreeLibrary(advapi);
    return admin;
}

// ---- all together ----

// DirectX is probed only for a package that asks for it (checkRequirements): the probe loads the
// system's graphics and sound libraries, which nothing else of the run needs and which would
// stay in the process's memory for the whole installation.
void detectInstalledSystem() {
    state.ieLevel = detectIeLevel();
    state.accessLevel = detectAccessLevel();
    state.userIsAdmin = detectAdminRights();
    state.windowsVersion = detectWindowsVersion();
}

int checkRequirements() {
    if (state.requiredDirectX && *state.requiredDirectX) state.directXLevel = detectDirectXLevel();
    return requirementResultFor(isWindowsNT());
}
