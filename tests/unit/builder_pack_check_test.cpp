// The text packs: every pack is compared with English (items, placeholders, code page) and each
// problem is reported as "file:line: table.item: what"; the shipped packs all pass.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "format/package_format.h"
#include "project.h"
#include "text_catalog.h"
#include "text_pack_check.h"
#include "text_packs.h"

namespace {

// A small English reference, so that each expected message can be written out in full.
const char* const miniEnglish = R"([messages]
0 = "Copy '%s' to '%s'?"
1 = "Restart before using %s."

[pages.welcome]
0 = "{title} Setup"
1 = "Install %s into {title}"
6 = "Free space on %DISK%:"
)";

TextPack english() {
    TextPack pack;
    std::string err;
    EXPECT_TRUE(parseTextPack("English.toml", miniEnglish, &pack, &err)) << err;
    return pack;
}

// Every problem of a pack against the mini English, one per line; "" when it passes.
std::string problemsOf(const std::string& pack, int codePage = 1252) {
    std::string err;
    return checkTextPackText("p.toml", pack, english(), codePage, &err) ? "" : err;
}

const std::string goodPack = R"([messages]
0 = "'%s' nach '%s' kopieren?"
1 = "Vor %s neu starten."

[pages.welcome]
0 = "Setup – {title}"
1 = "%s in {title} installieren"
6 = "Frei auf %DISK%:"
)";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(PackCheck, APackWithTheSameItemsAndPlaceholdersPasses) {
    EXPECT_EQ(problemsOf(goodPack), "");
    // Literal percent signs are no placeholders.
    EXPECT_EQ(problemsOf(replaced(goodPack, "Vor %s neu", "100%% vor %s neu")), "");
}

TEST(PackCheck, AMissingItemIsReportedAtItsTable) {
    EXPECT_EQ(problemsOf(replaced(goodPack, "1 = \"Vor %s neu starten.\"\n", "")),
              "p.toml:1: messages.1: missing (English has it)");
    EXPECT_EQ(problemsOf(goodPack.substr(0, goodPack.find("[pages.welcome]"))),
              "p.toml:1: pages.welcome.0: missing (English has it)\n"
              "p.toml:1: pages.welcome.1: missing (English has it)\n"
              "p.toml:1: pages.welcome.6: missing (English has it)");
    EXPECT_EQ(problemsOf(replaced(goodPack, "6 = \"Frei auf %DISK%:\"\n", "")),
              "p.toml:5: pages.welcome.6: missing (English has it)");
}

TEST(PackCheck, AnItemOrTableEnglishLacksIsReported) {
    EXPECT_EQ(problemsOf(goodPack + "7 = \"Willkommen\"\n"), "p.toml:9: pages.welcome.7: English has no such text");
    EXPECT_EQ(problemsOf(goodPack + "[buttons]\n0 = \"< &Zurück\"\n"), "p.toml:10: buttons.0: English has no such text");
    EXPECT_EQ(problemsOf(goodPack + "[pages.ready]\n1 = \"Bereit\"\n"), "p.toml:10: pages.ready.1: English has no such text");
}

TEST(PackCheck, PlaceholdersMustMatchInNumberAndOrder) {
    EXPECT_EQ(problemsOf(replaced(goodPack, "'%s' nach '%s'", "'%s' nach")),
              "p.toml:2: messages.0: placeholders %s where English has %s %s");
    EXPECT_EQ(problemsOf(replaced(goodPack, "%s in {title}", "{title}: %s")),
              "p.toml:7: pages.welcome.1: placeholders {title} %s where English has %s {title}");
    EXPECT_EQ(problemsOf(replaced(goodPack, "Setup – {title}", "Setup – {name}")),
              "p.toml:6: pages.welcome.0: placeholders {name} where English has {title}");
    EXPECT_EQ(problemsOf(replaced(goodPack, "Frei auf %DISK%:", "Frei auf %DISC%:")),
              "p.toml:8: pages.welcome.6: placeholders %DISC% where English has %DISK%");
    EXPECT_EQ(problemsOf(replaced(goodPack, "Vor %s neu", "Vor %d neu")),
              "p.toml:3: messages.1: placeholders %d where English has %s");
    EXPECT_EQ(problemsOf(replaced(goodPack, "Vor %s neu", "Vor %s %s neu")),
              "p.toml:3: messages.1: placeholders %s %s where English has %s");
}

TEST(PackCheck, ACharacterTheCodePageCannotHoldIsReported) {
    EXPECT_EQ(problemsOf(replaced(goodPack, "Frei auf", "Wolne miejsce na dysku \xC5\x82"), 1252),
              "p.toml:8: pages.welcome.6: character U+0142 '\xC5\x82' is not in code page 1252");
    EXPECT_EQ(problemsOf(replaced(goodPack, "Frei auf", "Wolne miejsce na dysku \xC5\x82"), 1250), "");
    EXPECT_EQ(problemsOf(replaced(goodPack, "Frei auf", "\xE7\xA9\xBA\xE3\x81\x8D"), 1251),
              "p.toml:8: pages.welcome.6: character U+7A7A '\xE7\xA9\xBA' is not in code page 1251");
}

TEST(PackCheck, EveryProblemIsReportedInLineOrder) {
    std::string pack = replaced(goodPack, "Vor %s neu", "Vor neu");
    pack = replaced(pack, "6 = \"Frei auf %DISK%:\"\n", "6 = 6\n9 = \"\xE2\x86\x90\"\n");
    EXPECT_EQ(problemsOf(pack),
              "p.toml:3: messages.1: placeholders none where English has %s\n"
              "p.toml:8: pages.welcome.6: expected a text\n"
              "p.toml:9: pages.welcome.9: English has no such text");
    EXPECT_EQ(problemsOf("[messages\n"), "p.toml:1: syntax: " + [] {
        TextPack p;
        std::string err;
        parseTextPack("x", "[messages\n", &p, &err);
        return err.substr(err.find("syntax: ") + 8);
    }());
    EXPECT_EQ(problemsOf("messages = 5\n"), "p.toml:1: messages: expected a table of texts");
}

TEST(PackCheck, PlaceholdersAreReadInOrder) {
    using List = std::vector<std::string>;
    EXPECT_EQ(placeholdersOf("Error '%s'.  \n%sContinue?"), (List{"%s", "%s"}));
    EXPECT_EQ(placeholdersOf("{name} on %DISK%: %s, 50%% {title}"), (List{"{name}", "%DISK%", "%s", "{title}"}));
    EXPECT_EQ(placeholdersOf("%s%s"), (List{"%s", "%s"}));
    EXPECT_EQ(placeholdersOf("%08lx and a lone % at the end"), (List{"%08lx", "%"}));
    EXPECT_EQ(placeholdersOf("{titles} {Title}"), List{});
}

// The languages shipped with the builder, each with its number and code page.
struct Shipped {
    const char* name;
    uint16_t number;
    int codePage;
};
const Shipped shipped[] = {{"Czech", 5, 1250},    {"Dutch", 19, 1252},   {"English", 9, 1252},
                           {"French", 12, 1252},  {"German", 7, 1252},   {"Italian", 16, 1252},
                           {"Japanese", 17, 932}, {"Polish", 21, 1250},  {"Portuguese", 22, 1252},
                           {"Russian", 25, 1251}, {"Spanish", 10, 1252}, {"Turkish", 31, 1254}};

TEST(ShippedPacks, TwelveLanguagesEachWithItsNumberAndCodePage) {
    std::vector<std::string> names = shippedTextPackLanguages();
    ASSERT_EQ(names.size(), 12u);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i], shipped[i].name);
        const LanguageInfo* info = findLanguage(shipped[i].name);
        ASSERT_NE(info, nullptr) << shipped[i].name;
        EXPECT_EQ(info->number, shipped[i].number) << shipped[i].name;
        EXPECT_EQ(info->codePage, shipped[i].codePage) << shipped[i].name;
        EXPECT_EQ(languageByNumber(shipped[i].number), info);
    }
}

TEST(ShippedPacks, EveryPackMatchesEnglishAndItsCodePage) {
    std::string name, text, err;
    ASSERT_TRUE(shippedTextPack("English", &name, &text));
    TextPack reference;
    ASSERT_TRUE(parseTextPack(name, text, &reference, &err)) << err;
    size_t items = 0;
    for (const TextTableInfo& table : textTables()) items += table.itemCount;
    EXPECT_EQ(reference.texts.size(), items);  // English is the whole catalogue
    for (const Shipped& language : shipped) {
        ASSERT_TRUE(shippedTextPack(language.name, &name, &text)) << language.name;
        EXPECT_EQ(name, std::string("texts/") + language.name + ".toml");
        EXPECT_TRUE(checkTextPackText(name, text, reference, language.codePage, &err)) << err;
        TextPack pack;
        ASSERT_TRUE(parseTextPack(name, text, &pack, &err)) << err;
        EXPECT_EQ(pack.texts.size(), items) << language.name;
    }
}

// Texts a translation must not keep in English: every button and every page title differs from
// English in each shipped language, except where the language's own word is the same: "OK", and
// "&No" in Italian and Spanish.
TEST(ShippedPacks, ButtonsAndTitlesAreTranslated) {
    std::string name, text, err;
    ASSERT_TRUE(shippedTextPack("English", &name, &text));
    TextPack reference;
    ASSERT_TRUE(parseTextPack(name, text, &reference, &err));
    for (const Shipped& language : shipped) {
        if (std::string(language.name) == "English") continue;
        TextPack pack;
        ASSERT_TRUE(shippedTextPack(language.name, &name, &text));
        ASSERT_TRUE(parseTextPack(name, text, &pack, &err));
        for (const PackText& item : pack.texts) {
            bool sameWord = item.item == "6" && (std::string(language.name) == "Italian" || std::string(language.name) == "Spanish");
            bool button = item.table == "buttons" && item.item != "10" && !sameWord;
            bool title = item.table.compare(0, 6, "pages.") == 0 && (item.item == "0" || item.item == "1");
            if (!button && !title) continue;
            for (const PackText& english : reference.texts) {
                if (english.table == item.table && english.item == item.item) {
                    EXPECT_NE(item.utf8, english.utf8) << name << ":" << item.line;
                }
            }
        }
    }
}

class PublisherPacks : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkorin-pack-check-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        mkdir((root + "/packs").c_str(), 0755);
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }
    // The shipped pack of a language with one replacement made.
    static std::string shippedWith(const std::string& language, const std::string& from, const std::string& to) {
        std::string name, text;
        EXPECT_TRUE(shippedTextPack(language, &name, &text));
        return replaced(text, from, to);
    }
    std::string root;
};

const std::string project = "[product]\nname = \"N\"\ntitle = \"T\"\n[languages]\noffered = [\"English\", \"Polish\"]\n"
                            "packs = \"packs\"\n";

TEST_F(PublisherPacks, TheBuildRefusesAPackWithMistakesAndNamesEachOne) {
    std::string pack = shippedWith("Polish", "4 = \"Za&mknij\"\n", "");
    pack = replaced(pack, "Plik '%s'  \\njest obecnie", "Plik  \\njest obecnie");
    pack = replaced(pack, "10 = \"OK\"\n", "10 = \"OK\"\n11 = \"Pomoc\"\n");
    pack = replaced(pack, "Wybór języka", "Wybór języka \xE2\x86\x92");
    std::ofstream(root + "/packs/Polish.toml") << pack;
    Project p;
    std::string err;
    EXPECT_FALSE(loadProjectText(project, root + "/p.toml", &p, &err));
    std::string file = root + "/packs/Polish.toml";
    EXPECT_EQ(err, file + ":15: messages.7: placeholders none where English has %s\n" +
                   file + ":65: buttons.4: missing (English has it)\n" +
                   file + ":76: buttons.11: English has no such text\n" +
                   file + ":80: pages.language.1: character U+2192 '\xE2\x86\x92' is not in code page 1250");
}

TEST_F(PublisherPacks, APackInTheProjectFolderReplacesTheShippedOne) {
    std::ofstream(root + "/packs/Polish.toml") << shippedWith("Polish", "< &Wstecz", "< &Cofnij");
    Project p;
    std::string err;
    ASSERT_TRUE(loadProjectText(project, root + "/p.toml", &p, &err)) << err;
    ASSERT_EQ(p.languages.size(), 2u);
    std::string back;
    for (const TextEntry& e : p.languages[1].texts)
        if (e.table == tableButtons && e.item == 0) back = e.text;
    EXPECT_EQ(back, "< &Cofnij");
}

}  // namespace
