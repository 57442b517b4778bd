// Lines placed into wininit.ini's [Rename] section.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/rename_section.h"

namespace {
std::string insert(const std::string& file, const std::string& line) {
    std::vector<char> data(file.begin(), file.end());
    data.resize(file.size() + renameSlack(static_cast<DWORD>(line.size())), '#');
    DWORD size = insertRenameLine(data.data(), static_cast<DWORD>(file.size()), line.c_str());
    EXPECT_LE(size, data.size());
    return std::string(data.data(), size);
}

const std::string line = "\r\nC:\\PROGRA~1\\APP\\A.DLL=C:\\WINDOWS\\TEMP\\VKR1.TMP";

TEST(RenameSection, NewFileStartsWithTheSection) {
    EXPECT_EQ(insert("", line), "[Rename]" + line);
}

TEST(RenameSection, FileWithOtherSectionsGetsTheSectionAppended) {
    EXPECT_EQ(insert("[Other]\r\nx=1", line), "[Other]\r\nx=1\r\n[Rename]" + line);
    EXPECT_EQ(insert("no sections here", line), "no sections here[Rename]" + line);
}

TEST(RenameSection, LineLandsAtTheEndOfTheSectionBeforeBlankLines) {
    std::string file = "[rename]\r\nNUL=C:\\OLD.TMP\r\n\r\n\r\n[Next]\r\ny=2\r\n";
    EXPECT_EQ(insert(file, line), "[rename]\r\nNUL=C:\\OLD.TMP" + line + "\r\n\r\n\r\n[Next]\r\ny=2\r\n");
}

TEST(RenameSection, LastSectionGetsTheLineAtTheEnd) {
    std::string file = "[A]\r\n[Rename]\r\nNUL=C:\\X.TMP\r\n";
    EXPECT_EQ(insert(file, line), "[A]\r\n[Rename]\r\nNUL=C:\\X.TMP" + line + "\r\n");
    EXPECT_EQ(insert("[Rename]", line), "[Rename]" + line);
}

TEST(RenameSection, TwoLinesKeepTheirOrder) {
    std::string once = insert("[Rename]\r\n\r\n[B]", "\r\nNUL=C:\\ONE");
    EXPECT_EQ(insert(once, "\r\nNUL=C:\\TWO"), "[Rename]\r\nNUL=C:\\ONE\r\nNUL=C:\\TWO\r\n\r\n[B]");
}
}  // namespace
