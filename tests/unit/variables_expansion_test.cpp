// Variables, folder-token expansion and replaceAll.
#include "script/text_tools.h"
#include "script/variables.h"
#include "script_test_support.h"

namespace {

class ExpansionTest : public ScriptStateTest {
protected:
    void define(const char* name, const char* value) {
        apply(recordVariable, textPiece(name) + textPiece(value));
    }
    // Expands and frees, so that a test compares plain strings.
    static std::string expanded(char* result) {
        std::string text = result ? result : "<null>";
        heapFree(result);
        return text;
    }
};

TEST_F(ExpansionTest, NamesMatchInAnyCase) {
    define("%INSTALLPATH%", "C:\\Demo");
    EXPECT_EQ(expanded(expandVariables("%installpath%\\doc")), "C:\\Demo\\doc");
    EXPECT_STREQ(lookupVariable("%InstallPath%"), "C:\\Demo");
    EXPECT_EQ(lookupVariable("%INSTALL%"), nullptr);
    EXPECT_EQ(lookupVariable("INSTALLPATH"), nullptr) << "the whole name, percent signs included";
}

TEST_F(ExpansionTest, AnEarlierVariableInALaterValueStaysUnexpanded) {
    define("%SHORTCUTSGROUP%", "Demo");
    define("%SHORTCUTSFOLDER%", "<Programs>\\%SHORTCUTSGROUP%");
    EXPECT_EQ(expanded(expandVariables("%SHORTCUTSFOLDER%")), "<Programs>\\%SHORTCUTSGROUP%");
}

TEST_F(ExpansionTest, ALaterVariableInAnEarlierValueIsExpanded) {
    define("%SHORTCUTSFOLDER%", "Menu\\%SHORTCUTSGROUP%");
    define("%SHORTCUTSGROUP%", "Demo");
    EXPECT_EQ(expanded(expandVariables("%SHORTCUTSFOLDER%")), "Menu\\Demo");
}

TEST_F(ExpansionTest, AValueContainingItsOwnNameExpandsOnce) {
    define("%P%", "x%P%y");
    EXPECT_EQ(expanded(expandVariables("[%P%|%p%]")), "[x%P%y|x%P%y]");
}

TEST_F(ExpansionTest, SetVariableReplacesKeepingSpellingOrAppends) {
    define("%INSTALLPATH%", "C:\\Old");
    ASSERT_TRUE(setVariable("%InstallPath%", "D:\\New"));
    ASSERT_EQ(listCount(&state.variableNames), 1);
    EXPECT_EQ(at(state.variableNames, 0), "%INSTALLPATH%");
    EXPECT_EQ(at(state.variableValues, 0), "D:\\New");
    ASSERT_TRUE(setVariable("%ShortcutsGroup%", "<Programs>"));
    EXPECT_EQ(at(state.variableNames, 1), "%ShortcutsGroup%");
    EXPECT_EQ(at(state.variableValues, 1), "<Programs>") << "values set later are stored as given";
}

TEST_F(ExpansionTest, TextWithoutNamesOrTokensIsAnEqualCopy) {
    define("%A%", "a");
    resolveTokens();
    const char* plain = "nothing % to <see> here";
    char* copy = expandVariables(plain);
    EXPECT_NE(copy, plain);
    EXPECT_EQ(expanded(copy), plain);
    EXPECT_EQ(expanded(expandFolderTokens(plain)), plain);
    EXPECT_EQ(expanded(expandVariables(nullptr)), "");
}

TEST_F(ExpansionTest, EveryFolderTokenExpandsToItsOwnPath) {
    resolveTokens();
    for (int i = 0; i < folderTokenCount; ++i) {
        std::string written = std::string("[") + folderTokens[i].text + "]";
        EXPECT_EQ(expanded(expandFolderTokens(written.c_str())), "[" + tokenPath(i) + "]") << folderTokens[i].text;
    }
}

TEST_F(ExpansionTest, TokensMatchInAnyCaseAndVariablesStay) {
    resolveTokens();
    EXPECT_EQ(expanded(expandFolderTokens("<programfiles>\\%INSTALLPATH%;<PROGRAMS>")),
              "C:\\Program Files\\%INSTALLPATH%;C:\\Start\\Programs");
}

TEST_F(ExpansionTest, TokenWithoutResolvedPathStays) {
    listAppend(&state.folderPaths, "C:\\AppData");
    EXPECT_EQ(expanded(expandFolderTokens("<AppData>|<Windows>")), "C:\\AppData|<Windows>");
}

TEST_F(ExpansionTest, TokenTableOrderAndEnd) {
    EXPECT_STREQ(folderTokens[0].text, "<AppData>");
    EXPECT_STREQ(folderTokens[10].text, "<IE>");
    EXPECT_STREQ(folderTokens[16].text, "<ProgramFiles>");
    EXPECT_STREQ(folderTokens[19].text, "<SentTo>");
    EXPECT_STREQ(folderTokens[23].text, "<Temp>");
    EXPECT_STREQ(folderTokens[28].text, "<CommonDocuments>");
    EXPECT_STREQ(folderTokens[34].text, "<Video>");
    EXPECT_EQ(folderTokens[folderTokenCount].text, nullptr);
    EXPECT_EQ(folderTokens[0].defaultCode, 0x1A);
    EXPECT_EQ(folderTokens[18].defaultCode, noFolderCode);
}

TEST_F(ExpansionTest, ReplaceAllEveryOccurrenceOnce) {
    EXPECT_EQ(expanded(replaceAll("a-b-c", "-", "--", true)), "a--b--c");
    EXPECT_EQ(expanded(replaceAll("xAbxaBx", "ab", "[ab]", false)), "x[ab]x[ab]x");
    EXPECT_EQ(expanded(replaceAll("xAbxaBx", "ab", "[ab]", true)), "xAbxaBx");
    EXPECT_EQ(expanded(replaceAll("aaaa", "aa", "a", true)), "aa");
    EXPECT_EQ(expanded(replaceAll("abc", "", "x", true)), "abc");
    EXPECT_EQ(expanded(replaceAll("abc", "abc", "", true)), "");
    EXPECT_EQ(expanded(replaceAll(nullptr, "a", "b", true)), "");
}

TEST_F(ExpansionTest, ExhaustedHeapGivesNullAndLeaksNothing) {
    define("%A%", "value");
    standinFailAllocations(1);
    EXPECT_EQ(expandVariables("%A%"), nullptr);
    standinFailAllocations(1);
    EXPECT_EQ(replaceAll("x", "y", "z", true), nullptr);
    char* text = duplicateText("a%A%");
    standinFailAllocations(1);
    EXPECT_FALSE(replaceAllIn(&text, "%A%", "v", false));
    EXPECT_EQ(text, nullptr);
    standinFailAllocations(0);
}

}  // namespace
