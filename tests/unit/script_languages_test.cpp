// Offered languages, the start language and the language-indexed text tables.
#include "script/languages.h"
#include "script_test_support.h"

namespace {

class LanguagesTest : public ScriptStateTest {
protected:
    void SetUp() override {
        ScriptStateTest::SetUp();
        resolveTokens();
    }
    void textRecord(uint16_t language, uint8_t table, uint8_t item, const std::string& value) {
        apply(recordText, u16Piece(language) + u8Piece(table) + u8Piece(item) + textPiece(value));
    }
    void languagesRecord(uint8_t autoSelect, std::initializer_list<uint16_t> languages) {
        std::string payload = u8Piece(autoSelect);
        for (uint16_t language : languages) payload += u16Piece(language);
        apply(recordLanguages, payload);
    }
    std::vector<int> offered() {
        std::vector<int> numbers;
        for (int i = 0; i < state.languageCount; ++i) numbers.push_back(offeredLanguage(i));
        return numbers;
    }
};

TEST_F(LanguagesTest, PageTextsAreExpandedOtherTablesStoredAsWritten) {
    textRecord(9, 6, 2, "Setup installs into <ProgramFiles>.");
    textRecord(9, tableMessages, 3, "Path <ProgramFiles> is not valid");
    textRecord(9, tableErrors, 16, "Error reading a file '%s'.");
    textRecord(9, tableButtons, 0, "< &Back");
    textRecord(9, 12, 0, "Uninstall <Desktop>");
    EXPECT_STREQ(text(6, 2), "Setup installs into C:\\Program Files.");
    EXPECT_STREQ(text(tableMessages, 3), "Path <ProgramFiles> is not valid");
    EXPECT_STREQ(text(tableErrors, 16), "Error reading a file '%s'.");
    EXPECT_STREQ(text(tableButtons, 0), "< &Back");
    EXPECT_STREQ(text(12, 0), "Uninstall C:\\Users\\me\\Desktop");
}

TEST_F(LanguagesTest, MissingTextIsNullEvenWhenEnglishHasIt) {
    textRecord(9, tableButtons, 1, "&Next >");
    state.languageId = 7;
    EXPECT_EQ(text(tableButtons, 1), nullptr);
    state.languageId = 9;
    EXPECT_STREQ(text(tableButtons, 1), "&Next >");
    EXPECT_EQ(text(tableButtons, 2), nullptr);
}

TEST_F(LanguagesTest, ItemsInAnyOrderLeaveGapsAndTheLaterRecordWins) {
    textRecord(10, tableMessages, 10, "diez");
    EXPECT_EQ(listCount(&state.messageTexts[10]), 11);
    EXPECT_EQ(listAt(&state.messageTexts[10], 9), nullptr);
    textRecord(10, tableMessages, 9, "nueve");
    textRecord(10, tableMessages, 10, "DIEZ");
    EXPECT_EQ(at(state.messageTexts[10], 9), "nueve");
    EXPECT_EQ(at(state.messageTexts[10], 10), "DIEZ");
}

TEST_F(LanguagesTest, TablesAndLanguagesOutsideTheTablesAreIgnored) {
    for (uint8_t table : {13, 95, 97, 113, 127, 129, 255}) textRecord(9, table, 0, "stray");
    textRecord(98, tableButtons, 0, "stray");
    textRecord(0xFFFF, 0, 0, "stray");
    for (int language = 0; language < static_cast<int>(languageSlots); ++language) {
        EXPECT_EQ(listCount(&state.messageTexts[language]), 0);
        EXPECT_EQ(listCount(&state.errorTexts[language]), 0);
        EXPECT_EQ(listCount(&state.buttonTexts[language]), 0);
        for (const PageRecord& page : state.pages) EXPECT_EQ(listCount(&page.texts[language]), 0);
    }
    textRecord(97, 0, 0, "last slot");
    textRecord(0, 0, 0, "first slot");
    EXPECT_EQ(at(state.pages[0].texts[97], 0), "last slot");
    EXPECT_EQ(at(state.pages[0].texts[0], 0), "first slot");
}

TEST_F(LanguagesTest, ShortOrUnterminatedTextRecordsAreIgnored) {
    apply(recordText, u16Piece(9) + u8Piece(tableButtons));
    apply(recordText, u16Piece(9) + u8Piece(tableButtons) + u8Piece(0));
    apply(recordText, u16Piece(9) + u8Piece(tableButtons) + u8Piece(0) + "no end");
    EXPECT_EQ(listCount(&state.buttonTexts[9]), 0);
    apply(recordText, u16Piece(9) + u8Piece(tableButtons) + u8Piece(0) + textPiece("OK") + "trailing");
    EXPECT_STREQ(text(tableButtons, 0), "OK");
}

TEST_F(LanguagesTest, AutoSelectionPicksTheUsersLanguageWhenOffered) {
    doubleSetUserLanguage(0x0407);  // German (Germany): the low byte is the language number
    languagesRecord(1, {9, 10, 7, 16});
    EXPECT_EQ(state.languageId, 7);
    EXPECT_EQ(state.languageCount, 4);
    EXPECT_EQ(offered(), (std::vector<int>{9, 10, 7, 16}));
}

TEST_F(LanguagesTest, WithoutAutoSelectionTheFirstListedLanguageIsTaken) {
    doubleSetUserLanguage(0x0407);
    languagesRecord(0, {25, 7, 9});
    EXPECT_EQ(state.languageId, 25);
}

TEST_F(LanguagesTest, UserLanguageNotOfferedGivesTheFirst) {
    doubleSetUserLanguage(0x0419);
    languagesRecord(1, {10, 9});
    EXPECT_EQ(state.languageId, 10);
}

TEST_F(LanguagesTest, RecordWithoutLanguagesKeepsTheCurrentLanguage) {
    state.languageId = 16;
    apply(recordLanguages, u8Piece(1));
    EXPECT_EQ(state.languageId, 16);
    EXPECT_EQ(state.languageCount, 0);
    apply(recordLanguages, u8Piece(1) + u8Piece(7));  // half a number
    EXPECT_EQ(state.languageId, 16);
    apply(recordLanguages, "");
    EXPECT_EQ(state.languageId, 16);
}

TEST_F(LanguagesTest, NumbersOutsideTheTablesAreNeitherOfferedNorChosen) {
    doubleSetUserLanguage(0x0462);  // low byte 98
    languagesRecord(1, {98, 200, 19, 0xFFFF});
    EXPECT_EQ(state.languageId, 19);
    EXPECT_EQ(offered(), (std::vector<int>{19}));
    state.languageId = 9;
    languagesRecord(1, {98, 300});
    EXPECT_EQ(state.languageId, 9);
    EXPECT_EQ(state.languageCount, 0);
}

TEST_F(LanguagesTest, RepeatedRecordReplacesTheOfferedList) {
    languagesRecord(0, {9, 7});
    languagesRecord(0, {24, 27, 31});
    EXPECT_EQ(offered(), (std::vector<int>{24, 27, 31}));
    EXPECT_EQ(state.languageId, 24);
}

TEST_F(LanguagesTest, TextTableSelection) {
    EXPECT_EQ(textTable(0, 9), &state.pages[0].texts[9]);
    EXPECT_EQ(textTable(12, 97), &state.pages[12].texts[97]);
    EXPECT_EQ(textTable(tableMessages, 3), &state.messageTexts[3]);
    EXPECT_EQ(textTable(tableErrors, 3), &state.errorTexts[3]);
    EXPECT_EQ(textTable(tableButtons, 3), &state.buttonTexts[3]);
    EXPECT_EQ(textTable(13, 3), nullptr);
    EXPECT_EQ(textTable(0, 98), nullptr);
    state.languageId = 200;  // never set by the interpreter; lookups stay inside the tables
    EXPECT_EQ(text(tableButtons, 0), nullptr);
}

}  // namespace
