// wizard_languages_test.cpp -- packages in Russian, Polish and Japanese shown under Wine with the
// matching ANSI code page (1251, 1250, 932, taken from the locale): the language and welcome
// pages, the frame's buttons and the cancel question show the language's texts, read back from
// the controls as the code page's bytes, and each page is photographed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "code_page.h"
#include "e2e_config.h"
#include "locale_scope.h"
#include "text_pack_check.h"
#include "text_packs.h"
#include "wizard_driving.h"

namespace e2e {
namespace {

using namespace wizard;

const char product[] = "Velkorin Wizard 1.0";

// The texts of a shipped pack (UTF-8) with the product title filled in, by "table.item"
// ("pages.welcome.2").
std::map<std::string, std::string> packTexts(const std::string& language) {
    std::map<std::string, std::string> texts;
    std::string name, toml, err;
    if (!shippedTextPack(language, &name, &toml)) return ADD_FAILURE() << "no pack " << language, texts;
    TextPack pack;
    if (!parseTextPack(name, toml, &pack, &err)) return ADD_FAILURE() << err, texts;
    for (const PackText& text : pack.texts) {
        std::string filled = text.utf8;
        for (size_t at = filled.find("{title}"); at != std::string::npos; at = filled.find("{title}"))
            filled.replace(at, 7, product);
        texts[text.table + "." + text.item] = filled;
    }
    return texts;
}

// Code-page bytes of a UTF-8 text: what the controls hold. (The driver takes its arguments in
// UTF-8, the locale's charset, and prints control texts in the ANSI code page.)
std::string inCodePage(const std::string& utf8, int codePage) {
    std::string bytes, what;
    EXPECT_TRUE(toCodePage(utf8, codePage, &bytes, &what)) << what;
    return bytes;
}

std::string textOf(const std::optional<DialogDump>& dump, int id) {
    return dump ? dump->text(id).value_or("<no control>") : "<no page>";
}

struct Shown {
    const char* language;  // as the project names it and the language page lists it
    const char* locale;
    int codePage;
    const char* shot;      // screenshot name part
    const char* title;     // the language page's title, written out (UTF-8)
    const char* next;      // the Next button, written out (UTF-8)
};

class WizardLanguages : public ::testing::TestWithParam<Shown> {
protected:
    WineSession& wine = WineSession::current();

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
};

TEST_P(WizardLanguages, LanguageAndWelcomePagesShowThePacksTexts) {
    const Shown& shown = GetParam();
    LocaleScope locale(shown.locale);
    std::map<std::string, std::string> texts = packTexts(shown.language);
    ASSERT_EQ(texts.size(), 127u);
    EXPECT_EQ(texts["pages.language.1"], shown.title);
    EXPECT_EQ(texts["buttons.1"], shown.next);
    auto shows = [&](const std::string& key) { return inCodePage(texts[key], shown.codePage); };

    WizardPackage package;
    package.name = "Velkorin Wizard";
    package.pages = "language = true\nwelcome = true\n";
    package.languages = std::string("\"") + shown.language + "\", \"English\"";
    std::string setup = buildWizardPackage(wine, package, std::string("languages-") + shown.shot);
    ASSERT_FALSE(setup.empty());
    WizardRun wizard(wine, texts["pages.language.0"]);
    wizard.keepAnsiTexts();
    ASSERT_TRUE(wizard.start(setup));

    std::optional<DialogDump> language = wizard.page(texts["pages.language.1"]);
    ASSERT_TRUE(language);
    EXPECT_EQ(textOf(language, 1001), shows("pages.language.1"));
    EXPECT_EQ(textOf(language, 1002), shows("pages.language.2"));
    EXPECT_EQ(textOf(language, 1003), shows("pages.language.3"));
    std::vector<std::string> offered = wizard.items(languageList);  // the list is sorted
    std::sort(offered.begin(), offered.end());
    std::vector<std::string> expected = {shown.language, "English"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(offered, expected);
    DialogDump frame = wizard.frame();
    EXPECT_EQ(frame.caption, shows("pages.language.0"));
    EXPECT_EQ(frame.text(next).value_or(""), shows("buttons.1"));
    EXPECT_EQ(frame.text(cancel).value_or(""), shows("buttons.2"));
    wizard.screenshot(std::string("wizard-") + shown.shot + "-language");

    wizard.click(next);
    std::optional<DialogDump> welcome = wizard.page(texts["pages.welcome.1"]);
    ASSERT_TRUE(welcome);
    for (int item = 1; item <= 6; ++item)
        EXPECT_EQ(textOf(welcome, 1000 + item), shows("pages.welcome." + std::to_string(item))) << item;
    frame = wizard.frame();
    EXPECT_EQ(frame.caption, shows("pages.welcome.0"));
    EXPECT_EQ(frame.text(back).value_or(""), shows("buttons.0"));
    EXPECT_EQ(frame.text(next).value_or(""), shows("buttons.1"));
    wizard.screenshot(std::string("wizard-") + shown.shot + "-welcome");

    // The cancel question comes in the language too, under the setup caption.
    wizard.click(cancel);
    WizardRun boxes(wine, std::string(product) + " Setup");
    boxes.keepAnsiTexts();
    std::optional<DialogDump> question = boxes.box();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text(messageTextId).value_or(""), shows("messages.0"));
    boxes.answer(*question, boxYes);
    WindowsRun ended = wizard.finish();
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, 1u) << "cancelled by the user";
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, WizardLanguages,
    ::testing::Values(
        Shown{"Russian", "ru_RU.UTF-8", 1251, "russian", "\xD0\x92\xD1\x8B\xD0\xB1\xD0\xBE\xD1\x80 \xD1\x8F\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0",
              "&\xD0\x94\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xB5 >"},
        Shown{"Polish", "pl_PL.UTF-8", 1250, "polish", "Wyb\xC3\xB3r j\xC4\x99zyka", "&Dalej >"},
        Shown{"Japanese", "ja_JP.UTF-8", 932, "japanese", "\xE8\xA8\x80\xE8\xAA\x9E\xE3\x81\xAE\xE9\x81\xB8\xE6\x8A\x9E",
              "\xE6\xAC\xA1\xE3\x81\xB8(&N) >"}),
    [](const ::testing::TestParamInfo<Shown>& info) { return std::string(info.param.language); });

}  // namespace
}  // namespace e2e
