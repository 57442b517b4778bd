// Which replacement targets keep their long names only through RunOnce: the 8.3 rule.
#include <gtest/gtest.h>

#include "install/reboot.h"

namespace {
TEST(RebootNames, EightDotThreeNamesAreShort) {
    for (const char* path : {"C:\\Windows\\Readme.txt", "Readme.txt", "C:\\ABCDEFGH.TXT", "C:\\x\\ABCDEFGH", "a.b",
                             "C:\\Long Folder Name\\file.dll", "C:\\dir\\.txt", "C:\\dir\\noext."})
        EXPECT_FALSE(isLongFileName(path)) << path;
}

TEST(RebootNames, LongNamesAreLong) {
    for (const char* path : {"C:\\Windows\\LongFileName.txt", "C:\\a.html", "ABCDEFGHI", "C:\\x\\ABCDEFGHI.T",
                             "C:\\x\\a.b.html", "C:\\x\\ninechars.ab.c"})
        EXPECT_TRUE(isLongFileName(path)) << path;
}
}  // namespace
