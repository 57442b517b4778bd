// The overwrite rules: every mode against every comparison, with and without a version on the
// existing file.
#include <gtest/gtest.h>

#include "format/package_format.h"
#include "install/overwrite.h"

namespace {
const FileVersion v1930{0x00010009, 0x00030000};
const FileVersion v1931{0x00010009, 0x00030001};

bool decide(DWORD mode, DWORD compareBy, int timeOrder, FileVersion packaged, bool hasVersion, FileVersion existing) {
    return decideOverwrite({mode, compareBy, timeOrder, packaged, hasVersion, existing});
}

TEST(Overwrite, AlwaysAndNever) {
    for (DWORD by : {0u, 1u, 2u, 7u})
        for (int time : {-1, 0, 1}) {
            EXPECT_TRUE(decide(overwriteAlways, by, time, v1930, true, v1931));
            EXPECT_FALSE(decide(overwriteNever, by, time, v1931, true, v1930));
            EXPECT_FALSE(decide(9, by, time, v1931, false, {})) << "unknown modes keep the file";
        }
}

TEST(Overwrite, ByTime) {
    // rows: mode; columns: packaged older, equal, newer
    const bool expected[3][3] = {{false, false, true}, {false, true, true}, {true, false, false}};
    const DWORD modes[3] = {overwriteIfNewer, overwriteIfNewerOrEqual, overwriteIfOlder};
    for (int m = 0; m < 3; ++m)
        for (int time = -1; time <= 1; ++time) {
            EXPECT_EQ(decide(modes[m], compareByTime, time, v1930, true, v1931), expected[m][time + 1])
                << "mode " << modes[m] << " time " << time;
        }
}

TEST(Overwrite, ByVersion) {
    // An existing file of 1.9.3.0 is replaced by 1.9.3.1 in modes 1 and 2, kept in mode 3.
    EXPECT_TRUE(decide(overwriteIfNewer, compareByVersion, -1, v1931, true, v1930));
    EXPECT_TRUE(decide(overwriteIfNewerOrEqual, compareByVersion, -1, v1931, true, v1930));
    EXPECT_FALSE(decide(overwriteIfOlder, compareByVersion, 1, v1931, true, v1930));
    // Equal versions: only "newer or equal" replaces.
    EXPECT_FALSE(decide(overwriteIfNewer, compareByVersion, 1, v1930, true, v1930));
    EXPECT_TRUE(decide(overwriteIfNewerOrEqual, compareByVersion, -1, v1930, true, v1930));
    EXPECT_TRUE(decide(overwriteIfOlder, compareByVersion, 1, v1930, true, v1931));
    // Without a version on the existing file the packaged one always goes in, whatever the times.
    for (DWORD mode : {overwriteIfNewer, overwriteIfNewerOrEqual, overwriteIfOlder})
        for (int time = -1; time <= 1; ++time) EXPECT_TRUE(decide(mode, compareByVersion, time, v1930, false, {}));
}

TEST(Overwrite, ByVersionAndTime) {
    EXPECT_TRUE(decide(overwriteIfNewer, compareByVersionAndTime, 1, v1931, true, v1930));
    EXPECT_FALSE(decide(overwriteIfNewer, compareByVersionAndTime, 0, v1931, true, v1930)) << "time not newer";
    EXPECT_FALSE(decide(overwriteIfNewer, compareByVersionAndTime, 1, v1930, true, v1930)) << "version not newer";
    // No version on the existing file: the time alone decides.
    EXPECT_TRUE(decide(overwriteIfNewer, compareByVersionAndTime, 1, v1930, false, {}));
    EXPECT_FALSE(decide(overwriteIfNewer, compareByVersionAndTime, -1, v1931, false, {}));
    EXPECT_TRUE(decide(overwriteIfOlder, compareByVersionAndTime, -1, v1930, true, v1931));
}

TEST(Overwrite, UnknownComparisonOverwrites) {
    EXPECT_TRUE(decide(overwriteIfNewer, 3, -1, v1930, true, v1931));
    EXPECT_TRUE(decide(overwriteIfOlder, 0xFFFFFFFF, 1, v1931, true, v1930));
}
}  // namespace
