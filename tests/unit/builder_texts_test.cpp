// Languages and texts of the builder: the code-page conversion, the text packs, overrides, and
// every mistake reported as "file:line: field: what is wrong".
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "code_page.h"
#include "project.h"

namespace {

TEST(CodePage, ConvertsWindows1252AndNamesWhatItCannotHold) {
    std::string out, what;
    ASSERT_TRUE(toCodePage("A\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F \xE2\x82\xAC \xE2\x80\x9E\xE2\x80\x9C \xC5\xB8\xC3\xBF\n", 1252, &out, &what));
    EXPECT_EQ(out, "A\xE4\xF6\xFC\xDF \x80 \x84\x93 \x9F\xFF\n");
    EXPECT_FALSE(toCodePage("x\xC5\x82y", 1252, &out, &what));
    EXPECT_EQ(what, "character U+0142 '\xC5\x82' is not in code page 1252");
    EXPECT_FALSE(toCodePage("\xC2\x81", 1252, &out, &what));  // a gap of 1252
    EXPECT_EQ(what, "character U+0081 '\xC2\x81' is not in code page 1252");
    EXPECT_FALSE(toCodePage("\xF0\x9F\x98\x80", 1252, &out, &what));
    EXPECT_EQ(what, "character U+1F600 '\xF0\x9F\x98\x80' is not in code page 1252");
    for (const char* broken : {"\xC3", "\xE4x", "\xC0\x80", "\xED\xA0\x80"}) {
        EXPECT_FALSE(toCodePage(broken, 1252, &out, &what)) << broken;
        EXPECT_EQ(what, "the text is not valid UTF-8");
    }
    EXPECT_FALSE(toCodePage("x", 1250, &out, &what));
    EXPECT_EQ(what, "code page 1250 is not supported");
    EXPECT_FALSE(codePageSupported(1250));
}

const std::string file = "/tmp/t.toml";
const std::string names = "[product]\nname = \"N\"\ntitle = \"T\"\n";

std::string errorOf(const std::string& text) {
    Project project;
    std::string err;
    EXPECT_FALSE(loadProjectText(text, file, &project, &err));
    return err;
}

TEST(ProjectTexts, LanguagesAreCheckedByName) {
    EXPECT_EQ(errorOf(names + "[languages]\noffered = [\"English\", \"German\", \"German\"]\n"),
              "/tmp/t.toml:5: languages.offered: German is listed twice");
    EXPECT_EQ(errorOf(names + "[languages]\noffered = [\"Klingon\"]\n"),
              "/tmp/t.toml:5: languages.offered: unknown language 'Klingon' (known: Danish, German, English, Spanish, "
              "Finnish, French, Italian, Dutch, Norwegian, Portuguese, Swedish)");
    EXPECT_EQ(errorOf(names + "[languages]\noffered = []\n"), "/tmp/t.toml:5: languages.offered: expected at least one language");
    EXPECT_EQ(errorOf(names + "[languages]\nauto_select = 1\n"), "/tmp/t.toml:5: languages.auto_select: expected true or false");
    EXPECT_EQ(errorOf(names + "[languages]\npacks = \"no-such-folder\"\n"),
              "/tmp/t.toml:5: languages.packs: folder 'no-such-folder' does not exist");
}

TEST(ProjectTexts, ALanguageWithoutAPackNeedsEveryText) {
    EXPECT_EQ(errorOf(names + "[languages]\noffered = [\"English\", \"French\"]\n"),
              "/tmp/t.toml:5: languages.offered: French has no text pages.language.0");
    // Texts for a language that is not offered, or a table or item the package has no place for.
    EXPECT_EQ(errorOf(names + "[texts.German.messages]\n9 = \"x\"\n"), "/tmp/t.toml:4: texts.German: not an offered language");
    EXPECT_EQ(errorOf(names + "[texts.English.captions]\n1 = \"x\"\n"), "/tmp/t.toml:4: texts.English.captions: unknown field");
    EXPECT_EQ(errorOf(names + "[texts.English.messages]\n14 = \"x\"\n"), "/tmp/t.toml:5: texts.English.messages.14: unknown field");
    EXPECT_EQ(errorOf(names + "[texts.English.pages.slot4]\n1 = \"x\"\n"), "/tmp/t.toml:4: texts.English.pages.slot4: unknown field");
    EXPECT_EQ(errorOf(names + "[texts.English.pages.finish]\n11 = \"x\"\n"),
              "/tmp/t.toml:5: texts.English.pages.finish.11: unknown field");
    EXPECT_EQ(errorOf(names + "[texts.English.buttons]\n1 = 5\n"), "/tmp/t.toml:5: texts.English.buttons.1: expected a text");
}

TEST(ProjectTexts, OverridesAreConvertedAndTheirPlaceholdersChecked) {
    std::string german = names + "[languages]\noffered = [\"German\"]\n[texts.German.messages]\n";
    EXPECT_EQ(errorOf(german + "9 = \"Fehler \xC5\x82\"\n"),
              "/tmp/t.toml:7: texts.German.messages.9: character U+0142 '\xC5\x82' is not in code page 1252");
    EXPECT_EQ(errorOf(german + "10 = \"Neustart\"\n"),
              "/tmp/t.toml:7: texts.German.messages.10: has 0 placeholders %s where the English text has 1");
    EXPECT_EQ(errorOf(german + "10 = \"Neustart %d\"\n"),
              "/tmp/t.toml:7: texts.German.messages.10: has the conversion %d; message texts are given only %s "
              "placeholders");
    EXPECT_EQ(errorOf(german + "10 = \"%s: %08lx\"\n"),
              "/tmp/t.toml:7: texts.German.messages.10: has the conversion %08lx; message texts are given only %s "
              "placeholders");
    EXPECT_EQ(errorOf(german + "10 = \"%s %s %s %s\"\n"),
              "/tmp/t.toml:7: texts.German.messages.10: has 4 placeholders %s where the English text has 1");
    Project accepted;
    std::string acceptedErr;
    EXPECT_TRUE(loadProjectText(german + "10 = \"Neustart %s zu 100%%\"\n", file, &accepted, &acceptedErr))
        << "a literal % is no conversion: " << acceptedErr;
    EXPECT_EQ(errorOf("[product]\nname = \"N \xE2\x86\x92\"\ntitle = \"T\"\n"),
              "/tmp/t.toml:2: product.name: character U+2192 '\xE2\x86\x92' is not in code page 1252");

    Project p;
    std::string err;
    ASSERT_TRUE(loadProjectText("[product]\nname = \"Gr\xC3\xBC\xC3\x9F" "e\"\ntitle = \"Gr\xC3\xBC\xC3\x9F" "e 1\"\n"
                                "[languages]\noffered = [\"German\", \"English\"]\n"
                                "[texts.German.pages.finish]\n4 = \"{name} \xC3\xB6" "ffnen\"\n",
                                file, &p, &err)) << err;
    EXPECT_EQ(p.productName, "Gr\xFC\xDF" "e");
    ASSERT_EQ(p.languages.size(), 2u);
    auto find = [](const LanguageTexts& language, uint8_t table, uint8_t item) {
        for (const TextEntry& e : language.texts)
            if (e.table == table && e.item == item) return e.text;
        return std::string("<missing>");
    };
    EXPECT_EQ(find(p.languages[0], 11, 4), "Gr\xFC\xDF" "e \xF6" "ffnen");
    EXPECT_EQ(find(p.languages[0], 11, 0), "Setup \x96 Gr\xFC\xDF" "e 1");
    EXPECT_EQ(find(p.languages[1], 11, 0), "Gr\xFC\xDF" "e 1 Setup");
    EXPECT_EQ(find(p.languages[1], 11, 4), "Start Gr\xFC\xDF" "e 1 now");
    EXPECT_EQ(p.languages[0].texts.size(), 127u);
    EXPECT_EQ(p.languages[1].texts.size(), 127u);
}

class ProjectPacks : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkorin-packs-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        mkdir((root + "/packs").c_str(), 0755);
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }
    std::string root;
};

TEST_F(ProjectPacks, AProjectPackReplacesTheShippedOneAndItsMistakesNameThePack) {
    std::string project = names + "[languages]\noffered = [\"French\"]\npacks = \"packs\"\n";
    std::ofstream(root + "/packs/French.toml") << "# French\n[buttons]\n0 = \"< &Pr\xC3\xA9" "c\xC3\xA9" "dent\"\n1 = \"\xE2\x86\x90\"\n";
    Project p;
    std::string err;
    EXPECT_FALSE(loadProjectText(project, root + "/p.toml", &p, &err));
    EXPECT_EQ(err, root + "/packs/French.toml:4: buttons.1: character U+2190 '\xE2\x86\x90' is not in code page 1252");
    std::ofstream(root + "/packs/French.toml") << "[buttons]\n0 = \"< &Pr\xC3\xA9" "c\xC3\xA9" "dent\"\n";
    EXPECT_FALSE(loadProjectText(project, root + "/p.toml", &p, &err));
    EXPECT_EQ(err, root + "/p.toml:5: languages.offered: French has no text pages.language.0");
}

}  // namespace
