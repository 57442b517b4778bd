// Start-up stages that read the system: the English language names.
#include <gtest/gtest.h>

#include <string>

#include "fresh_state.h"
#include "startup/startup_stages.h"
#include "support/string_list.h"

namespace {
// The first word of the system's English name of a primary language; empty when it has none.
std::string systemLanguageName(int language) {
    char name[128];
    LCID locale = MAKELCID(MAKELANGID(language, SUBLANG_DEFAULT), SORT_DEFAULT);
    if (!GetLocaleInfoA(locale, LOCALE_SENGLANGUAGE, name, sizeof(name))) return "";
    std::string text = name;
    return text.substr(0, text.find(' '));
}

TEST(StartupStages, LanguageNamesCoverTheLanguageNumbers1To97) {
    ASSERT_NO_FATAL_FAILURE(openFreshState());
    ASSERT_TRUE(runStartupStage(2));
    for (int language = 1; language <= 97; ++language) {
        const char* stored = listAt(&state.languageNames, language);
        EXPECT_EQ(std::string(stored ? stored : ""), systemLanguageName(language)) << language;
    }
    EXPECT_STREQ(listAt(&state.languageNames, 97), "Nepali") << "the last language number is named too";
    EXPECT_STREQ(listAt(&state.languageNames, 7), "German");
    EXPECT_EQ(listAt(&state.languageNames, 0), nullptr) << "language 0 has no name";
    closeFreshState();
}
}  // namespace
