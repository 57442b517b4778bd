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
    EXPECT_FALSE(toCodePage("x", 1253, &out, &what));
    EXPECT_EQ(what, "code page 1253 is not supported");
    EXPECT_FALSE(codePageSupported(1253));
}

// The bytes Windows writes for a text in a code page; "<error>" with the message when it cannot.
std::string encoded(const std::string& utf8, int codePage) {
    std::string out, what;
    return toCodePage(utf8, codePage, &out, &what) ? out : "<error> " + what;
}

TEST(CodePage, CentralEuropean1250) {
    // Polish "Zakończ, Przeglądaj, żółć, Ś", Czech "Zpět, ř, ů, Č", Slovak "ľ", and the typographic
    // characters of the upper half.
    EXPECT_EQ(encoded("Zako\xC5\x84" "cz", 1250), "Zako\xF1" "cz");
    EXPECT_EQ(encoded("Przegl\xC4\x85" "daj", 1250), "Przegl\xB9" "daj");
    EXPECT_EQ(encoded("\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xC5\x9A", 1250), "\xBF\xF3\xB3\xE6 \x8C");
    EXPECT_EQ(encoded("Zp\xC4\x9Bt \xC5\x99 \xC5\xAF \xC4\x8C \xC4\xBE", 1250), "Zp\xECt \xF8 \xF9 \xC8 \xBE");
    EXPECT_EQ(encoded("\xE2\x80\x93 \xE2\x80\x9E\xE2\x80\x9D \xE2\x82\xAC", 1250), "\x96 \x84\x94 \x80");
    EXPECT_EQ(encoded("\xC3\xA0", 1250), "<error> character U+00E0 '\xC3\xA0' is not in code page 1250");
    EXPECT_EQ(encoded("\xC2\x81", 1250), "<error> character U+0081 '\xC2\x81' is not in code page 1250");
}

TEST(CodePage, Cyrillic1251) {
    EXPECT_EQ(encoded("\xD0\x94\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xB5 >", 1251), "\xC4\xE0\xEB\xE5\xE5 >");  // "Далее >"
    EXPECT_EQ(encoded("\xD0\x81\xD1\x91 \xE2\x84\x96 \xC2\xAB\xC2\xBB \xE2\x80\x94", 1251), "\xA8\xB8 \xB9 \xAB\xBB \x97");
    EXPECT_EQ(encoded("\xD0\xB0\xD1\x8F\xD0\x90\xD0\xAF", 1251), "\xE0\xFF\xC0\xDF");  // а я А Я
    EXPECT_EQ(encoded("\xD2\x90 \xD1\x97", 1251), "\xA5 \xBF");                          // Ґ ї
    EXPECT_EQ(encoded("\xC3\xA4", 1251), "<error> character U+00E4 '\xC3\xA4' is not in code page 1251");
}

TEST(CodePage, Turkish1254) {
    EXPECT_EQ(encoded("\xC4\xB0leri \xC4\xB1 \xC5\x9E\xC5\x9F \xC4\x9E\xC4\x9F", 1254), "\xDDleri \xFD \xDE\xFE \xD0\xF0");
    EXPECT_EQ(encoded("\xC3\x87\xC4\xB1k\xC4\xB1\xC5\x9F \xC3\xB6\xC3\xBC", 1254), "\xC7\xFDk\xFD\xFE \xF6\xFC");
    EXPECT_EQ(encoded("\xE2\x82\xAC", 1254), "\x80");
    EXPECT_EQ(encoded("\xC3\x90", 1254), "<error> character U+00D0 '\xC3\x90' is not in code page 1254");
}

TEST(CodePage, JapaneseShiftJis932) {
    // Kana, kanji and half-width katakana; ASCII stays one byte.
    EXPECT_EQ(encoded("< \xE6\x88\xBB\xE3\x82\x8B(&B)", 932), "< \x96\xDF\x82\xE9(&B)");  // "< 戻る(&B)"
    EXPECT_EQ(encoded("\xE6\x97\xA5\xE6\x9C\xAC", 932), "\x93\xFA\x96\x7B");              // 日本
    EXPECT_EQ(encoded("\xEF\xBD\xB1\xEF\xBE\x9F", 932), "\xB1\xDF");                      // ｱﾟ
    // Second bytes that equal the ASCII backslash, 0x5C: 表, ソ, 能力.
    EXPECT_EQ(encoded("\xE8\xA1\xA8", 932), "\x95\x5C");
    EXPECT_EQ(encoded("\xE3\x82\xBD", 932), "\x83\x5C");
    EXPECT_EQ(encoded("\xE8\x83\xBD\xE5\x8A\x9B", 932), "\x94\x5C\x97\xCD");
    // Where several byte pairs stand for one character, Windows writes JIS X 0208 first, then
    // NEC row 13, then the IBM extensions: ≒ 0x81E0 (not 0x8790), ￢ 0x81CA, Ⅰ 0x8754, ⅰ 0xFA40
    // (not 0xEEEF), 纊 0xFA5C (not 0xED40).
    EXPECT_EQ(encoded("\xE2\x89\x92", 932), "\x81\xE0");
    EXPECT_EQ(encoded("\xEF\xBF\xA2", 932), "\x81\xCA");
    EXPECT_EQ(encoded("\xE2\x85\xA0", 932), "\x87\x54");
    EXPECT_EQ(encoded("\xE2\x85\xB0", 932), "\xFA\x40");
    EXPECT_EQ(encoded("\xE7\xBA\x8A", 932), "\xFA\x5C");
    EXPECT_EQ(encoded("\xEF\xBD\x9E", 932), "\x81\x60");  // FULLWIDTH TILDE
    // Characters 932 does not hold: the yen sign (0x5C is the backslash), the wave dash that only a
    // best-fit mapping would turn into 0x8160, a Turkish letter, a private-use character.
    EXPECT_EQ(encoded("\xC2\xA5", 932), "<error> character U+00A5 '\xC2\xA5' is not in code page 932");
    EXPECT_EQ(encoded("\xE3\x80\x9C", 932), "<error> character U+301C '\xE3\x80\x9C' is not in code page 932");
    EXPECT_EQ(encoded("\xC4\xB1", 932), "<error> character U+0131 '\xC4\xB1' is not in code page 932");
    EXPECT_EQ(encoded("\xEE\x80\x80", 932), "<error> character U+E000 '\xEE\x80\x80' is not in code page 932");
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
              "/tmp/t.toml:5: languages.offered: unknown language 'Klingon' (known: Czech, Danish, German, English, "
              "Spanish, Finnish, French, Italian, Japanese, Dutch, Norwegian, Polish, Portuguese, Russian, Swedish, "
              "Turkish)");
    EXPECT_EQ(errorOf(names + "[languages]\noffered = []\n"), "/tmp/t.toml:5: languages.offered: expected at least one language");
    EXPECT_EQ(errorOf(names + "[languages]\nauto_select = 1\n"), "/tmp/t.toml:5: languages.auto_select: expected true or false");
    EXPECT_EQ(errorOf(names + "[languages]\npacks = \"no-such-folder\"\n"),
              "/tmp/t.toml:5: languages.packs: folder 'no-such-folder' does not exist");
}

TEST(ProjectTexts, ALanguageWithoutAPackNeedsEveryText) {
    EXPECT_EQ(errorOf(names + "[languages]\noffered = [\"English\", \"Swedish\"]\n"),
              "/tmp/t.toml:5: languages.offered: Swedish has no text pages.language.0");
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

TEST_F(ProjectPacks, APackForALanguageWithoutAShippedOneIsCheckedAgainstEnglish) {
    std::string project = names + "[languages]\noffered = [\"Swedish\"]\npacks = \"packs\"\n";
    std::ofstream(root + "/packs/Swedish.toml") << "# Swedish\n[buttons]\n0 = \"< &Tillbaka\"\n1 = \"\xE2\x86\x90\"\n";
    Project p;
    std::string err;
    EXPECT_FALSE(loadProjectText(project, root + "/p.toml", &p, &err));
    std::string file = root + "/packs/Swedish.toml";
    EXPECT_EQ(err.substr(0, err.find('\n')), file + ":1: messages.0: missing (English has it)");
    EXPECT_NE(err.find("\n" + file + ":2: buttons.2: missing (English has it)\n"), std::string::npos) << err;
    EXPECT_NE(err.find("\n" + file + ":4: buttons.1: character U+2190 '\xE2\x86\x90' is not in code page 1252"),
              std::string::npos) << err;
    EXPECT_EQ(err.find(":3:"), std::string::npos) << "buttons.0 is right: " << err;
}

}  // namespace
