// windows_version_code.cpp -- the version code from the numbers the system reports.
#include "system/windows_version.h"

constexpr DWORD platform9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr DWORD platformNt = 2;  // VER_PLATFORM_WIN32_NT

int windowsVersionCode(DWORD platform, DWORD major, DWORD minor, const char* serviceText) {
    char service = serviceText && serviceText[0] ? serviceText[1] : 0;
    if (platform == platform9x && major == 4) {
        if (minor == 0) return service == 'C' ? windows95Osr2 : windows95;
        if (minor == 10) return service == 'A' ? windows98Se : windows98;
        if (minor == 90) return windowsMe;
        return windowsUnknown;
    }
    if (platform != platformNt) return windowsUnknown;
    if ((major == 3 && minor == 51) || major == 4) return windowsNt4;
    if (major == 5) {
        if (minor == 0) return windows2000;
        if (minor == 1) return windowsXp;
        if (minor == 2) return windowsServer2003;
        return windowsUnknown;
    }
    // Later NT systems meet every requirement that Server 2003 meets and use all-users folders.
    return major > 5 ? windowsNewer : windowsUnknown;
}
