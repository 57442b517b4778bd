// Reading the install log back: the stage's log path, the header, the entry lines last to first,
// and the leftover folders as the tree lists them.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <string>
#include <vector>

#include "script/fields.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system_doubles.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_entries.h"

namespace {
class LogReader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
    }
    void TearDown() override {
        heapFree(buffer);
        destroyStateLists();
        freeStateTexts();
        EXPECT_EQ(standinHeapBlockCount(), 0u) << "texts or lists leaked";
        unloadPointerArrayFunctions();
        heapDestroy();
    }
    // The log as loaded: exactly its bytes in a block one byte longer, zero-filled.
    char* load(const std::string& log) {
        heapFree(buffer);
        buffer = static_cast<char*>(heapAlloc(static_cast<DWORD>(log.size()) + 1));
        copyBytes(buffer, log.data(), static_cast<DWORD>(log.size()));
        size = static_cast<DWORD>(log.size());
        return buffer;
    }
    char* readHeader(const std::string& log) {
        char* text = load(log);
        return readLogHeader(text, size);
    }
    // The stage and log path chosen for a command line of the program C:\App\Remove.exe.
    std::pair<bool, std::string> choose(const char* commandLine) {
        char* path = nullptr;
        bool second = chooseLogPath(commandLine, "C:\\App Folder\\Remove.exe", &path);
        std::string chosen = path ? path : "<null>";
        heapFree(path);
        return {second, chosen};
    }
    // The lines the worker takes, last to first.
    std::vector<std::string> linesBackwards(const std::string& entries) {
        char* begin = load(entries);
        char* end = begin + size;
        std::vector<std::string> lines;
        while (char* line = takeLastLine(begin, &end)) lines.push_back(line);
        return lines;
    }
    std::vector<std::string> items(const StringList& list) {
        std::vector<std::string> all;
        for (int i = 0; i < listCount(&list); ++i) all.push_back(listAt(&list, i));
        return all;
    }
    char* buffer = nullptr;
    DWORD size = 0;
};

const std::string look = "1,0xC88C00,0xFFFFFF,0x1000000,0x12,Tahoma,0x345,Verdana Pro Condensed Light Wide X,077\n";
const std::string header = "=== Velkorin log file ===\nDemo 1.0\nDemo\n" + look;

TEST_F(LogReader, FirstStageReadsTheLogNamedAfterItsOwnFile) {
    const std::pair<bool, std::string> besideTheProgram(false, "C:\\App Folder\\Remove.log");
    EXPECT_EQ(choose("\"C:\\App Folder\\Remove.exe\""), besideTheProgram);
    EXPECT_EQ(choose("\"C:\\App Folder\\Remove.exe\"   "), besideTheProgram);
    EXPECT_EQ(choose("C:\\App\\Remove.exe"), besideTheProgram)
        << "without quotes the whole line is the argument, and it does not end in .log";
    EXPECT_EQ(choose("\"C:\\App Folder\\Remove.exe\" .log").first, false) << "4 characters are not enough";
    EXPECT_EQ(choose("\"C:\\App Folder\\Remove.exe\" notes.txt").first, false);
    EXPECT_EQ(choose("\"C:\\App Folder\\Remove.exe").first, false) << "a single quote leaves no argument";
}

TEST_F(LogReader, SecondStageTakesTheArgumentAsLogPath) {
    EXPECT_EQ(choose("\"C:\\Temp\\VKR1.tmp\" a.log"), std::make_pair(true, std::string("a.log")));
    EXPECT_EQ(choose(" C:\\Program Files\\Demo\\Remove.LOG  "),
              std::make_pair(true, std::string("C:\\Program Files\\Demo\\Remove.LOG")))
        << "the hand-over: no quotes, a path with blanks, any case";
    EXPECT_EQ(choose("\"x\"C:\\a b\\c.Log"), std::make_pair(true, std::string("C:\\a b\\c.Log")));
}

TEST_F(LogReader, HeaderSetsNamesAndLook) {
    char* entries = readHeader(header + "a,C:\\App\nb,C:\\App\\x.txt\n");
    ASSERT_NE(entries, nullptr);
    EXPECT_STREQ(entries, "a,C:\\App\nb,C:\\App\\x.txt\n");
    EXPECT_STREQ(state.productTitle, "Demo 1.0");
    EXPECT_STREQ(state.productName, "Demo");
    EXPECT_EQ(state.dialogIdBase, 20);
    EXPECT_EQ(state.accentColor, 0xC88C00u);
    EXPECT_EQ(state.headerColor, 0xFFFFFFu);
    EXPECT_EQ(state.pageColor, 0x1000000u);
    EXPECT_EQ(state.frameColor, 0x12u);
    EXPECT_STREQ(state.titleFontFace, "Tahoma");
    EXPECT_EQ(state.titleColor, 0x345u);
    EXPECT_STREQ(state.textFontFace, "Verdana Pro Condensed Light Wid") << "cut to the face buffer";
    EXPECT_EQ(state.textColor, 077u);

    ASSERT_NE(readHeader("=== Velkorin log file ===\nT\nN\n0,1,2,3,4,F,5,G,6\n"), nullptr);
    EXPECT_EQ(state.dialogIdBase, 0) << "only a field starting with 0 selects the full-size set";
    ASSERT_NE(readHeader("=== Velkorin log file ===\n\n\n\n"), nullptr) << "empty lines are lines";
    EXPECT_STREQ(state.productTitle, "");
    EXPECT_EQ(state.dialogIdBase, 20);
}

TEST_F(LogReader, DamagedHeadersChangeNothing) {
    state.productTitle = duplicateText("before");
    const std::string damaged[] = {
        "",
        "=== Velkorin log file ===",
        "=== velkorin log file ===\nT\nN\n" + look,
        "=== Velkorin log file ===\r\nT\nN\n" + look,
        "=== Velkorin log file === \nT\nN\n" + look,
        std::string("=== Velkorin log file ===\0\nT\nN\n", 32) + look,
        "=== Velkorin log file ===\nT\nN",
        "=== Velkorin log file ===\nT\nN\n" + look.substr(0, look.size() - 1),
    };
    for (const std::string& log : damaged) {
        EXPECT_EQ(readHeader(log), nullptr) << log;
        EXPECT_STREQ(state.productTitle, "before") << log;
    }
}

TEST_F(LogReader, TheHeaderIsReadOnlyFromTheBytesGiven) {
    std::string log = header;
    char* text = load(log + "a,C:\\x\n");
    EXPECT_EQ(readLogHeader(text, static_cast<DWORD>(log.size()) - 1), nullptr) << "line 4's feed lies outside";
}

TEST_F(LogReader, EntriesAreTakenLastToFirstAndTextAfterTheLastFeedIsIgnored) {
    const std::string entries = "a,C:\\App\nb,C:\\App\\x\n\nh,C:\\l.lnk\ntrailing";
    char* text = load(entries);
    EXPECT_EQ(countLogLines(text, text + size), 4);
    EXPECT_EQ(countLogLines(text, text + size - 9), 3) << "only the bytes given are counted";
    EXPECT_EQ(linesBackwards(entries), (std::vector<std::string>{"h,C:\\l.lnk", "", "b,C:\\App\\x", "a,C:\\App"}));
    text = load("no line feed");
    EXPECT_EQ(countLogLines(text, text + size), 0);
    EXPECT_TRUE(linesBackwards("no line feed").empty());
    EXPECT_TRUE(linesBackwards("").empty());
    EXPECT_EQ(linesBackwards("\n"), std::vector<std::string>{""});
}

TEST_F(LogReader, EntryLinesGiveKindAndFields) {
    EXPECT_EQ(splitLogEntry("c,2,Software\\Demo,Path"), 'c');
    EXPECT_STREQ(field(0), "2");
    EXPECT_STREQ(field(1), "Software\\Demo");
    EXPECT_STREQ(field(2), "Path");
    EXPECT_EQ(splitLogEntry("a,C:\\Dir, with comma"), 'a');
    EXPECT_STREQ(field(0), "C:\\Dir") << "no quoting: a comma ends the path";
    EXPECT_EQ(splitLogEntry("e"), 'e');
    EXPECT_STREQ(field(0), "") << "nothing behind the kind";
    EXPECT_EQ(splitLogEntry(""), 0);
    EXPECT_EQ(splitLogEntry("bXC:\\f.txt"), 'b') << "character 2 is skipped whatever it is";
    EXPECT_STREQ(field(0), "C:\\f.txt");
}

// Whether each line, split, is undone; a damaged line is skipped instead of being widened.
bool sound(const char* line) { return entryIsSound(splitLogEntry(line)); }

TEST_F(LogReader, DamagedOrHandEditedEntriesAreSkippedNeverWidened) {
    for (const char* line : {"a,C:\\Program Files\\Demo", "b,C:\\Demo\\a.txt", "g,\\\\server\\share\\x.dll",
                             "h,D:\\Menu\\Demo.lnk", "c,2,Software\\Demo,", "c,1,Software\\Demo,Path",
                             "e,0,.demo,1", "e,6,Software\\Demo", "d,open,C:\\x.txt,,0", "f,C:\\x.dll,Fn,,", "z,whatever"})
        EXPECT_TRUE(sound(line)) << line;
    for (const char* line : {"a,Demo", "b,\\Demo\\a.txt", "b,a.txt", "a,C:", "a,C:\\", "b,C:Demo\\a.txt", "h,",
                             "g,", "a", "b,C:\\Demo\\*.txt"})
        EXPECT_FALSE(sound(line)) << "a path without a drive or naming a whole drive: " << line;
    for (const char* line : {"e,2,,1", "e,2,\\,1", "e,2,Software\\,1", "e,2", "c,2,,Path", "c,1,Software\\Demo\\,Path",
                             "e,7,Software\\Demo,1", "e,22,Software\\Demo", "e,-1,Software", "e,,Software",
                             "e,0x2,Software", "c,x,Software\\Demo,Path"})
        EXPECT_FALSE(sound(line)) << "an empty or backslashed key, an unknown root: " << line;
}

TEST_F(LogReader, StepTextsPerKind) {
    EXPECT_STREQ(removalStepText('a'), "Deleting files...");
    EXPECT_STREQ(removalStepText('b'), "Deleting files...");
    EXPECT_STREQ(removalStepText('c'), "Deleting registry entries...");
    EXPECT_STREQ(removalStepText('d'), "Launching programs...");
    EXPECT_STREQ(removalStepText('e'), "Deleting registry keys...");
    EXPECT_STREQ(removalStepText('f'), "Calling dll functions...");
    EXPECT_STREQ(removalStepText('g'), "Deleting shared files...");
    EXPECT_STREQ(removalStepText('h'), "Deleting Start menu shortcuts...");
    EXPECT_EQ(removalStepText('i'), nullptr);
    EXPECT_EQ(removalStepText('A'), nullptr);
    EXPECT_EQ(removalStepText(0), nullptr);
}

TEST_F(LogReader, LeftoversKeepOnlyOutermostFoldersSortedByText) {
    for (const char* path : {"C:\\A\\B", "D:\\Data", "C:\\a", "C:\\AB", "c:\\a\\B\\C", "C:\\Z", "d:\\data\\x"})
        listAppend(&state.leftoverPaths, path);
    prepareLeftoverPaths(&state.leftoverPaths);
    EXPECT_EQ(items(state.leftoverPaths), (std::vector<std::string>{"C:\\a", "C:\\AB", "C:\\Z", "D:\\Data"}))
        << "C:\\AB is a sibling of C:\\a, not inside it";
    listClear(&state.leftoverPaths);
    prepareLeftoverPaths(&state.leftoverPaths);
    EXPECT_EQ(listCount(&state.leftoverPaths), 0);
}
}  // namespace
