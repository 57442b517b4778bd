// Searching with length limits and case rules, extraction between delimiters, and the tokeniser.
#include "script/text_tools.h"
#include "script_test_support.h"

namespace {

using TextToolsTest = ScriptStateTest;

TEST_F(TextToolsTest, FindTextHonoursLimitAndCase) {
    const char* text = "Program Files\\PROGRAM";
    EXPECT_EQ(findText(text, "program", wholeText, false), text);
    EXPECT_EQ(findText(text, "PROGRAM", wholeText, true), text + 14);
    EXPECT_EQ(findText(text, "Files", 13, true), text + 8) << "ends exactly at the limit";
    EXPECT_EQ(findText(text, "Files", 12, true), nullptr) << "must lie wholly inside the limit";
    EXPECT_EQ(findText(text, "", wholeText, true), nullptr);
    EXPECT_EQ(findText(text, nullptr, wholeText, true), nullptr);
    EXPECT_EQ(findText(nullptr, "a", wholeText, true), nullptr);
    EXPECT_EQ(findText("ab", "abc", wholeText, true), nullptr);
    EXPECT_EQ(findText(text, "P", 0, false), nullptr);
}

TEST_F(TextToolsTest, FindCharFirstAndLast) {
    const char* path = "C:\\a\\B\\b";
    EXPECT_EQ(findChar(path, '\\', wholeText, true), path + 2);
    EXPECT_EQ(findLastChar(path, '\\', wholeText, true), path + 6);
    EXPECT_EQ(findLastChar(path, '\\', 6, true), path + 4) << "backwards from the end of the limit";
    EXPECT_EQ(findChar(path, 'b', wholeText, false), path + 5);
    EXPECT_EQ(findChar(path, 'b', wholeText, true), path + 7);
    EXPECT_EQ(findLastChar(path, 'B', wholeText, false), path + 7);
    EXPECT_EQ(findChar(path, 'z', wholeText, false), nullptr);
    EXPECT_EQ(findLastChar(path, 0, wholeText, false), nullptr);
    EXPECT_EQ(findLastChar(path, 'C', 0, false), nullptr);
}

TEST_F(TextToolsTest, ExtractBetweenTwoDelimiters) {
    const char* text = "x \"quoted, text\" y \"more\"";
    char* between = nullptr;
    EXPECT_EQ(extractBetween(text, "\"", wholeText, true, &between), text + 2);
    EXPECT_STREQ(between, "\"quoted, text\"");
    heapFree(between);
    EXPECT_EQ(extractBetween(text, "\"", 10, true, &between), nullptr) << "second delimiter beyond the limit";
    EXPECT_EQ(between, nullptr);
    const char* doubled = "<<a>>b<<";
    EXPECT_EQ(extractBetween(doubled, "<<", wholeText, true, &between), doubled);
    EXPECT_STREQ(between, "<<a>>b<<");
    heapFree(between);
    EXPECT_EQ(extractBetween("only \" one", "\"", wholeText, true, &between), nullptr);
    EXPECT_EQ(between, nullptr);
}

TEST_F(TextToolsTest, ContainsAnyIsCaseSensitive) {
    StringList list{};
    ASSERT_TRUE(listCreate(&list, 4));
    EXPECT_FALSE(containsAny("anything", &list));
    listAppend(&list, "SYSTEM");
    listAppend(&list, nullptr);
    listAppend(&list, "Fonts");
    EXPECT_TRUE(containsAny("C:\\Windows\\Fonts\\x.ttf", &list));
    EXPECT_FALSE(containsAny("C:\\Windows\\system\\x.dll", &list));
    EXPECT_TRUE(containsAny("C:\\Windows\\SYSTEM\\x.dll", &list));
    listDestroy(&list);
}

TEST_F(TextToolsTest, NextTokenRemembersItsPosition) {
    char text[] = "a||b||||c";
    std::vector<std::string> pieces;
    for (char* piece = nextToken(text, "||"); piece; piece = nextToken(nullptr, "||")) pieces.push_back(piece);
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(nextToken(nullptr, "||"), nullptr);
    char second[] = "x,y";
    EXPECT_STREQ(nextToken(second, ","), "x");
    char empty[] = "";
    EXPECT_STREQ(nextToken(empty, ","), "y") << "an empty text continues the scan";
    EXPECT_EQ(nextToken(empty, ","), nullptr);
}

}  // namespace
