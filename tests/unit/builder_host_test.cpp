// The builder's view of the build machine: shell patterns, the progress line, and the file and
// folder calls that read the sources and write the setup file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "host_files.h"
#include "progress_line.h"
#include "source_tree.h"

namespace {

// The patterns mean what fnmatch without flags makes of them, which the POSIX builds used.
TEST(ShellPatterns, MatchAsFnmatchWithoutFlagsDoes) {
    const char* patterns[] = {"*",      "*.txt", "docs/*",  "a?c",    "[abc]x",   "[!abc]x", "[^a]x", "[a-c]*",
                              "[]]x",   "[!]]x", "x[",      "x[a",    "\\*.txt",  "a\\?",    "*/*/z", "**b",
                              "",       "a*b*c", "[a-]x",   "dir",    "[z-a]x",   "*[0-9]"};
    const char* texts[] = {"",         "a.txt", "docs/a/b.txt", "abc", "ax",    "dx",    "]x",     "bcd",
                           "*.txt",    "a?",    "ab",           "x[",  "x[a",   "y/q/z", "aab",    "abxbc",
                           "-x",       "dir",   "dirs",         "f9",  "docs/", "a/b/c"};
    for (const char* pattern : patterns)
        for (const char* text : texts)
            EXPECT_EQ(matchesAny(text, {pattern}), fnmatch(pattern, text, 0) == 0)
                << "pattern '" << pattern << "' on '" << text << "'";
}

TEST(ShellPatterns, AStarCrossesFoldersAndTheWholePathMustMatch) {
    EXPECT_TRUE(matchesAny("raw/deep/x.bin", {"raw/*"}));
    EXPECT_TRUE(matchesAny("a/b/c.log", {"*.log"}));
    EXPECT_FALSE(matchesAny("a.log.bak", {"*.log"}));
    EXPECT_FALSE(matchesAny("a.log", {}));
    EXPECT_TRUE(matchesAny("x.tmp", {"*.log", "*.tmp"}));
}

// A clock the test moves by hand, and the line written into a memory stream.
struct LineUnderTest {
    double now = 100;
    char* text = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    ProgressLine line{stream, [this] { return now; }};
    std::string written() {
        std::fflush(stream);
        return std::string(text, size);
    }
    ~LineUnderTest() {
        std::fclose(stream);
        std::free(text);
    }
};

TEST(ProgressLine, FormatsFilesMegabytesAndTheRate) {
    EXPECT_EQ(ProgressLine::format({3, 10, 1500000, 4000000}, 0.5), "3/10 files, 1.5/4.0 MB, 3.0 MB/s");
    EXPECT_EQ(ProgressLine::format({0, 7, 0, 123456789}, 0), "0/7 files, 0.0/123.5 MB");
}

TEST(ProgressLine, RewritesItselfAtMostFivePerSecondAndEndsWithTheLastState) {
    LineUnderTest t;
    t.line.update({1, 4, 1000000, 4000000});  // the first state shows at once
    t.now += 0.1;
    t.line.update({2, 4, 2000000, 4000000});  // too soon: not shown
    EXPECT_EQ(t.written(), "\r1/4 files, 1.0/4.0 MB");
    t.now += 0.15;
    t.line.update({3, 4, 3000000, 4000000});
    EXPECT_EQ(t.written(), "\r1/4 files, 1.0/4.0 MB\r3/4 files, 3.0/4.0 MB, 12.0 MB/s");
    t.now += 0.01;
    t.line.update({4, 4, 4000000, 4000000});
    t.now += 0.24;
    t.line.finish();
    std::string all = t.written();
    // One character shorter than the line before: a blank covers its last character.
    EXPECT_EQ(all.substr(all.rfind('\r')), "\r4/4 files, 4.0/4.0 MB, 8.0 MB/s \n");
    t.line.finish();  // once only
    EXPECT_EQ(t.written(), all);
}

TEST(ProgressLine, AShorterLineBlanksWhatTheLongerOneLeftAndNothingShowsWithoutAState) {
    LineUnderTest quiet;
    quiet.line.finish();
    EXPECT_EQ(quiet.written(), "");

    LineUnderTest t;
    t.now += 0.5;
    t.line.update({5, 10, 50000000, 100000000});
    t.now = 200;  // a long pause: the rate falls, the line gets shorter
    t.line.update({6, 10, 60000000, 100000000});
    std::string all = t.written();
    std::string first = all.substr(1, all.find('\r', 1) - 1), second = all.substr(all.find('\r', 1) + 1);
    EXPECT_EQ(first, "5/10 files, 50.0/100.0 MB, 100.0 MB/s");
    EXPECT_EQ(second, "6/10 files, 60.0/100.0 MB, 0.6 MB/s  ");
}

class HostFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkorin-host-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }
    void write(const std::string& name, const std::string& text) { std::ofstream(root + "/" + name) << text; }
    std::string root;
};

TEST_F(HostFiles, PathsAreAbsoluteFromTheRootAndTheirFolderKeepsItsSlash) {
    EXPECT_TRUE(isAbsolutePath("/srv/project"));
    EXPECT_FALSE(isAbsolutePath("files"));
    EXPECT_FALSE(isAbsolutePath(""));
    EXPECT_FALSE(isAbsolutePath("C:\\files"));  // a name like any other on POSIX
    EXPECT_EQ(folderOf("/srv/project/demo.toml"), "/srv/project/");
    EXPECT_EQ(folderOf("demo.toml"), "");
    EXPECT_EQ(folderOf("a/b"), "a/");
}

TEST_F(HostFiles, FileInfoGivesKindSizeWritePermissionAndNanosecondTime) {
    write("a.txt", "hello");
    std::string path = root + "/a.txt";
    struct timespec times[2] = {{1700000000, 0}, {1700000000, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    chmod(path.c_str(), 0444);
    HostFileInfo info;
    std::string why;
    ASSERT_TRUE(readHostFileInfo(path, &info, &why)) << why;
    EXPECT_EQ(info.kind, PathKind::file);
    EXPECT_EQ(info.size, 5u);
    EXPECT_TRUE(info.readOnly);
    EXPECT_EQ(info.lastWriteTime, unixToFileTime(1700000000, 987654321));
    EXPECT_EQ(pathKind(root), PathKind::folder);
    EXPECT_EQ(pathKind(root + "/none"), PathKind::missing);
    EXPECT_FALSE(readHostFileInfo(root + "/none", &info, &why));
    EXPECT_EQ(why, "No such file or directory");
}

TEST_F(HostFiles, AFolderListsItsNamesWithoutDotEntries) {
    write("b", "");
    write("a", "");
    mkdir((root + "/c").c_str(), 0755);
    std::vector<std::string> names;
    std::string why;
    ASSERT_TRUE(listFolderNames(root, &names, &why)) << why;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(listFolderNames(root + "/b", &names, &why));
    EXPECT_EQ(why, "Not a directory");
}

TEST_F(HostFiles, ATemporaryFileIsNewEachTimeAndReplacesTheTarget) {
    write("target.exe", "old");
    std::string target = root + "/target.exe", first, second;
    std::FILE* a = createTemporaryBeside(target, &first);
    std::FILE* b = createTemporaryBeside(target, &second);
    ASSERT_TRUE(a && b);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(target + ".tmp-", 0), 0u);
    std::fputs("new", a);
    EXPECT_TRUE(makeExecutable(a));
    std::fclose(a);
    std::fclose(b);
    ASSERT_TRUE(replaceHostFile(first, target));
    std::string text;
    ASSERT_TRUE(readHostFile(target, &text));
    EXPECT_EQ(text, "new");
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    EXPECT_EQ(pathKind(first), PathKind::missing);
    EXPECT_TRUE(removeHostFile(second));
    EXPECT_FALSE(removeHostFile(second));
}

TEST(HostProgram, KnowsItsOwnPathAndThatAPipeIsNoTerminal) {
    std::string self = ownProgramPath();
    EXPECT_EQ(self.substr(self.rfind('/') + 1), "velkorin-unit-tests");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::FILE* piped = fdopen(ends[1], "w");
    EXPECT_FALSE(isTerminal(piped));
    std::fclose(piped);
    close(ends[0]);
}

}  // namespace
