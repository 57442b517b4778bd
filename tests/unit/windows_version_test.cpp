// The Windows version code from what the system reports.
#include <gtest/gtest.h>

#include "system/windows_version.h"

namespace {
constexpr DWORD nine = 1, nt = 2;

TEST(WindowsVersionCode, NinetyFivePlatform) {
    EXPECT_EQ(windowsVersionCode(nine, 4, 0, " B"), windows95);
    EXPECT_EQ(windowsVersionCode(nine, 4, 0, " C"), windows95Osr2);
    EXPECT_EQ(windowsVersionCode(nine, 4, 0, ""), windows95) << "an empty service text is no OSR2";
    EXPECT_EQ(windowsVersionCode(nine, 4, 10, " "), windows98);
    EXPECT_EQ(windowsVersionCode(nine, 4, 10, " A "), windows98Se);
    EXPECT_EQ(windowsVersionCode(nine, 4, 90, " "), windowsMe);
    EXPECT_EQ(windowsVersionCode(nine, 4, 20, ""), windowsUnknown);
    EXPECT_EQ(windowsVersionCode(nine, 5, 0, ""), windowsUnknown);
}

TEST(WindowsVersionCode, NtPlatform) {
    EXPECT_EQ(windowsVersionCode(nt, 3, 51, ""), windowsNt4);
    EXPECT_EQ(windowsVersionCode(nt, 3, 50, ""), windowsUnknown);
    EXPECT_EQ(windowsVersionCode(nt, 4, 0, "Service Pack 6"), windowsNt4);
    EXPECT_EQ(windowsVersionCode(nt, 5, 0, ""), windows2000);
    EXPECT_EQ(windowsVersionCode(nt, 5, 1, ""), windowsXp);
    EXPECT_EQ(windowsVersionCode(nt, 5, 2, ""), windowsServer2003);
    EXPECT_EQ(windowsVersionCode(nt, 5, 3, ""), windowsUnknown);
    // Newer systems rank above Server 2003 so that every older requirement is met there.
    EXPECT_EQ(windowsVersionCode(nt, 6, 1, "Service Pack 1"), windowsNewer);
    EXPECT_EQ(windowsVersionCode(nt, 10, 0, ""), windowsNewer);
    EXPECT_EQ(windowsVersionCode(0, 3, 10, ""), windowsUnknown) << "Win32s";
}
}  // namespace
