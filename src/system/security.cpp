// security.cpp -- access checks through functions looked up at run time, and the restart.
#include "system/security.h"

#include "support/heap.h"
#include "support/system_library.h"
#include "system/windows_version.h"

typedef void(WINAPI* MapGenericMaskFunction)(PDWORD mask, PGENERIC_MAPPING mapping);
typedef BOOL(WINAPI* AccessCheckFunction)(PSECURITY_DESCRIPTOR, HANDLE, DWORD, PGENERIC_MAPPING, PPRIVILEGE_SET,
                                          LPDWORD, LPDWORD, LPBOOL);
typedef DWORD(WINAPI* GetNamedSecurityInfoFunction)(LPCSTR, DWORD, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
                                                    PSECURITY_DESCRIPTOR*);

typedef BOOL(WINAPI* ImpersonateSelfFunction)(SECURITY_IMPERSONATION_LEVEL);
typedef BOOL(WINAPI* OpenThreadTokenFunction)(HANDLE, DWORD, BOOL, PHANDLE);
typedef BOOL(WINAPI* OpenProcessTokenFunction)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* LookupPrivilegeValueFunction)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI* AdjustTokenPrivilegesFunction)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);

// The three access-check functions are required; the token functions are NT-only and used
// only when present, so the program imports nothing that Windows 95 lacks.
static struct {
    HMODULE module;
    MapGenericMaskFunction mapGenericMask;
    AccessCheckFunction accessCheck;
    GetNamedSecurityInfoFunction getNamedSecurityInfo;
    ImpersonateSelfFunction impersonateSelf;
    OpenThreadTokenFunction openThreadToken;
    OpenProcessTokenFunction openProcessToken;
    LookupPrivilegeValueFunction lookupPrivilegeValue;
    AdjustTokenPrivilegesFunction adjustTokenPrivileges;
} security;

static GENERIC_MAPPING fileMapping = {0x120089, 0x120116, 0x1200A0, 0x1F01FF};
static GENERIC_MAPPING keyMapping = {0x20019, 0x20006, 0x20019, 0xF003F};

bool loadSecurityFunctions() {
    if (security.module || isWindows95()) return true;
    security.module = loadSystemLibrary("ADVAPI32.DLL");
    if (security.module && findFunction(security.module, "MapGenericMask", &security.mapGenericMask) &&
        findFunction(security.module, "AccessCheck", &security.accessCheck) &&
        findFunction(security.module, "GetNamedSecurityInfoA", &security.getNamedSecurityInfo)) {
        findFunction(security.module, "ImpersonateSelf", &security.impersonateSelf);
        findFunction(security.module, "OpenThreadToken", &security.openThreadToken);
        findFunction(security.module, "OpenProcessToken", &security.openProcessToken);
        findFunction(security.module, "LookupPrivilegeValueA", &security.lookupPrivilegeValue);
        findFunction(security.module, "AdjustTokenPrivileges", &security.adjustTokenPrivileges);
        return true;
    }
    unloadSecurityFunctions();
    return false;
}

void unloadSecurityFunctions() {
    if (security.module) FreeLibrary(security.module);
    security = {};
}

HANDLE openAccessToken() {
    HANDLE token = nullptr;
    if (!security.impersonateSelf || !security.openThreadToken) return nullptr;
    if (!security.impersonateSelf(SecurityImpersonation)) return nullptr;
    if (!security.openThreadToken(GetCurrentThread(), TOKEN_ALL_ACCESS, TRUE, &token)) token = nullptr;
    return token;
}

// AccessCheck with an empty privilege set first; the system then says how large it must be.
static DWORD runAccessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD access, GENERIC_MAPPING* mapping,
                            bool* granted) {
    DWORD grantedAccess = 0, setSize = 0;
    BOOL status = FALSE;
    PRIVILEGE_SET emptySet;
    if (security.accessCheck(descriptor, token, access, mapping, &emptySet, &setSize, &grantedAccess, &status)) {
        *granted = status != FALSE;
        return 0;
    }
    DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) return error;
    PPRIVILEGE_SET privileges = static_cast<PPRIVILEGE_SET>(heapAlloc(setSize));
    error = ERROR_NOT_ENOUGH_MEMORY;
    if (privileges) {
        error = 0;
        if (security.accessCheck(descriptor, token, access, mapping, privileges, &setSize, &grantedAccess, &status))
            *granted = status != FALSE;
        else
            error = GetLastError();
        heapFree(privileges);
    }
    return error;
}

DWORD checkAccess(HANDLE token, const char* objectName, DWORD objectType, DWORD desiredAccess, bool* granted) {
    *granted = true;
    if (isWindows95()) return 0;
    if (!security.module) return 1;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner, group;
    PACL dacl;
    DWORD error = security.getNamedSecurityInfo(
        objectName, objectType, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &owner, &group, &dacl, nullptr, &descriptor);
    if (error) return error;
    GENERIC_MAPPING* mapping = objectType == objectRegistryKey ? &keyMapping : &fileMapping;
    DWORD access = desiredAccess;
    security.mapGenericMask(&access, mapping);
    error = runAccessCheck(descriptor, token, access, mapping, granted);
    LocalFree(descriptor);
    return error;
}

// On NT the process must hold and enable the shutdown privilege first.
static bool enableShutdownPrivilege() {
    HANDLE token;
    if (!loadSecurityFunctions() || !security.openProcessToken || !security.lookupPrivilegeValue ||
        !security.adjustTokenPrivileges)
        return false;
    if (!security.openProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(0);
    bool enabled = security.lookupPrivilegeValue(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
                   security.adjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                   GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return enabled;
}

bool restartSystem(bool force) {
    if (isWindowsNT() && !enableShutdownPrivilege()) return false;
    UINT flags = EWX_REBOOT | (force ? EWX_FORCE : 0);
    // Reason: application (major 0x0004), installation (minor 0x0002).
    if (ExitWindowsEx(flags, 0x00040000 | 0x00000002)) return true;
    return startShutdownProgram();
}

bool shutdownProgramPath(char* path) {
    // By its full path in the system folder: a bare name would be searched in the folder the
    // setup program was started from first.
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (!length || length >= MAX_PATH) return false;
    lstrcpyA(path + length, "\\shutdown.exe");
    return true;
}

bool startShutdownProgram() {
    char path[MAX_PATH + 16];
    if (!shutdownProgramPath(path)) return false;
    HINSTANCE shell = ShellExecuteA(nullptr, nullptr, path, "-r -t 00", nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(shell) > 32;
}
