// windows_version.cpp -- asking the system which Windows it is.
#include "system/windows_version.h"

static bool lastAnswerNt;

// The extended record first (156 bytes); systems that refuse it get the basic one (148 bytes).
static bool queryVersion(OSVERSIONINFOEXA* info) {
    BYTE* bytes = reinterpret_cast<BYTE*>(info);
    for (DWORD i = 0; i < sizeof(*info); ++i) bytes[i] = 0;
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info))) return true;
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)) != 0;
}

int detectWindowsVersion() {
    OSVERSIONINFOEXA info;
    if (!queryVersion(&info)) return windowsUnknown;
    return windowsVersionCode(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.szCSDVersion);
}

bool isWindowsNT() {
    OSVERSIONINFOEXA info;
    if (queryVersion(&info)) lastAnswerNt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return lastAnswerNt;
}

bool isWindows95() {
    OSVERSIONINFOEXA info;
    return queryVersion(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMajorVersion == 4 &&
           info.dwMinorVersion == 0;
}
