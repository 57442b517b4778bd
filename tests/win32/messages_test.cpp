// Message boxes, system error texts and the three-way question, answered by a watcher thread.
#include <gtest/gtest.h>

#include "dialog_watch.h"
#include "resources/ids.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "ui/messages.h"

namespace {
TEST(Messages, FormatsUpToThreeTextsAndKeepsBarePercentSigns) {
    DialogWatch watch;
    startWatch(&watch, IDOK, 0xFFFF);
    showMessage(nullptr, "Caption", "copy '%s' to '%s' (%s)", "a.txt", "C:\\b", "now", MB_OK);
    ASSERT_TRUE(finishWatch(&watch));
    EXPECT_EQ(watch.caption, "Caption");
    EXPECT_EQ(watch.text, "copy 'a.txt' to 'C:\\b' (now)");

    startWatch(&watch, IDOK, 0xFFFF);
    showMessage(nullptr, "Caption", "100% done, %s stays");
    ASSERT_TRUE(finishWatch(&watch));
    EXPECT_EQ(watch.text, "100% done, %s stays") << "no arguments: the format is shown as it stands";
}

// Formats come from the package's translations: one that asks the formatter for a number, a
// character, a wide text or more texts than the message is given is shown as it stands.
TEST(Messages, OnlyTheTextConversionsAMessageIsGivenAreFilled) {
    struct Case {
        const char* format;
        const char* args[3];
        const char* shown;
    } cases[] = {
        {"file '%s' at %d", {"a.txt"}, "file '%s' at %d"},
        {"%x%x%x%x", {"a", "b", "c"}, "%x%x%x%x"},
        {"%s %s %s %s", {"a", "b", "c"}, "%s %s %s %s"},
        {"%s and %s", {"a"}, "%s and %s"},
        {"wide %S", {"a"}, "wide %S"},
        {"char %c", {"a"}, "char %c"},
        {"%-4s|%.2s|100%% %s", {"a", "bcd", "e"}, "a   |bc|100% e"},
        {"'%s' in use", {"x.dll", "extra"}, "'x.dll' in use"},
    };
    for (const Case& c : cases) {
        DialogWatch watch;
        startWatch(&watch, IDOK, 0xFFFF);
        showMessage(nullptr, "Caption", c.format, c.args[0], c.args[1], c.args[2], MB_OK);
        ASSERT_TRUE(finishWatch(&watch)) << c.format;
        EXPECT_EQ(watch.text, c.shown) << c.format;
    }
}

TEST(Messages, TheAnswerIsReturned) {
    DialogWatch watch;
    startWatch(&watch, IDNO, 0xFFFF);
    EXPECT_EQ(showMessage(nullptr, "Q", "Continue?", nullptr, nullptr, nullptr, MB_YESNO | MB_ICONQUESTION), IDNO);
    ASSERT_TRUE(finishWatch(&watch));
}

TEST(Messages, SystemErrorTextEndsWithALineBreak) {
    std::string denied = systemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_GE(denied.size(), 2u);
    EXPECT_EQ(denied.substr(denied.size() - 2), "\r\n");
    EXPECT_STREQ(systemErrorText(0x2BADF00D), "") << "an unknown code has no text";
}

class Question : public ::testing::Test {
protected:
    void SetUp() override { state.instance = GetModuleHandleA(nullptr); }
};

TEST_F(Question, EachButtonGivesItsAnswer) {
    struct Case {
        int button;
        int answer;
    } cases[] = {{IDOK, answerYes}, {IDC_YES_TO_ALL, answerYesToAll}, {IDCANCEL, answerNo}};
    for (const Case& c : cases) {
        DialogWatch watch;
        startWatch(&watch, c.button, IDC_QUESTION_TEXT);
        EXPECT_EQ(askQuestion(nullptr, "Shared file", "Delete C:\\x.dll?"), c.answer) << c.button;
        ASSERT_TRUE(finishWatch(&watch));
        EXPECT_EQ(watch.caption, "Shared file");
        EXPECT_EQ(watch.text, "Delete C:\\x.dll?");
    }
}
}  // namespace
