// windows_version.h -- which Windows this is, as the small ordinal code that requirements and
// the choice of all-users folders compare.
#pragma once
#include "support/platform.h"

enum WindowsVersion {
    windowsUnknown = 0,
    windows95 = 1,
    windows95Osr2 = 2,
    windowsNt4 = 3,       // NT 3.51 or NT 4.0
    windows98 = 4,
    windows98Se = 5,
    windowsMe = 6,
    windows2000 = 7,
    windowsXp = 8,
    windowsServer2003 = 9,
    windowsNewer = 10,    // anything on the NT platform after Server 2003
};

// The code for a platform id, major.minor and service text (portable, no system call).
int windowsVersionCode(DWORD platform, DWORD major, DWORD minor, const char* serviceText);
// Asks the system for its version and returns the code; 0 when the query fails.
int detectWindowsVersion();
// Whether the platform is Windows NT; the last answer is kept when the query fails.
bool isWindowsNT();
// Whether this is Windows 95 (first release or OSR2).
bool isWindows95();
