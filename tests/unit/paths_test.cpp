// Path texts: joining, splitting, and which typed folders count as full paths.
#include <gtest/gtest.h>

#include <string>

#include "support/heap.h"
#include "system/paths.h"

namespace {
class Paths : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(heapCreate()); }
    void TearDown() override { heapDestroy(); }
    std::string take(char* text) {
        std::string copy = text ? text : "(null)";
        heapFree(text);
        return copy;
    }
};

TEST_F(Paths, JoinPath) {
    EXPECT_EQ(take(joinPath("C:\\Dir\\", "\\Sub")), "C:\\Dir\\Sub");
    EXPECT_EQ(take(joinPath("C:\\Dir", "D:\\Other")), "D:\\Other");
    EXPECT_EQ(take(joinPath("C:\\Dir", "")), "C:\\Dir");
    EXPECT_EQ(take(joinPath("C:\\Dir/", "\\")), "C:\\Dir");
    EXPECT_EQ(take(joinPath("C:", "file.txt")), "C:\\file.txt");
}

TEST_F(Paths, SplitPath) {
    EXPECT_STREQ(fileNamePart("C:\\Dir\\app.exe"), "app.exe");
    EXPECT_STREQ(fileNamePart("app.exe"), "app.exe");
    EXPECT_EQ(take(baseNameWithoutExtension("C:\\Dir\\Remove.exe")), "Remove");
    EXPECT_EQ(take(baseNameWithoutExtension("C:\\a.b\\archive.tar.gz")), "archive.tar");
    EXPECT_EQ(take(baseNameWithoutExtension("C:\\Dir\\README")), "README");
    EXPECT_EQ(take(parentPath("C:\\Dir\\Sub")), "C:\\Dir");
    EXPECT_EQ(take(parentPath("nothing")), "nothing");
    char trailing[] = "C:\\Dir\\";
    stripTrailingSlash(trailing);
    EXPECT_STREQ(trailing, "C:\\Dir");
    char empty[] = "";
    stripTrailingSlash(empty);
    EXPECT_STREQ(empty, "");
}

TEST_F(Paths, ValidTypedFolders) {
    for (const char* good : {"C:", "C:\\", "C:\\Program Files\\App", "z:\\x", "\\\\server\\share",
                             "\\\\server\\share\\dir"})
        EXPECT_TRUE(isValidPath(good)) << good;
    for (const char* bad : {"", "C:Dir", "Dir", "C:\\A\\\\B", "\\\\server", "\\\\server\\", "C:\\A:B",
                            "C:\\a?b", "C:\\a*", "C:/dir", "C:\\<x>", "C:\\a|b", "1:\\dir", "\\\\s\\\\share"})
        EXPECT_FALSE(isValidPath(bad)) << bad;
    EXPECT_FALSE(isValidPath(nullptr));
}

TEST_F(Paths, BareDrive) {
    EXPECT_TRUE(isBareDrive("C:"));
    EXPECT_FALSE(isBareDrive("C:\\"));
    EXPECT_FALSE(isBareDrive("CC"));
}
}  // namespace
