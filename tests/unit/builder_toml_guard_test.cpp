// The check in front of toml++: characters other than ASCII outside quoted texts and comments (and
// behind a line-ending backslash) are refused with their line and column before the parser sees
// them; everywhere TOML allows them they pass, and every shipped pack and example still reads.
#include <gtest/gtest.h>

#include <string>

#include "project.h"
#include "text_pack_check.h"
#include "text_packs.h"
#include "toml_guard.h"

namespace {

const char refusal[] = "characters other than ASCII are allowed only inside quoted texts and comments";

TEST(TomlGuard, FindsTheCharactersTheParserMustNotTestForWhitespace) {
    struct Case {
        std::string text;
        size_t at;
    } cases[] = {
        {"a = 1\xC2\xA1\n", 5},                       // right behind a value
        {"a\xC3\xA9 = 1\n", 1},                       // inside a bare key
        {"[t]\xD0\x96\n", 3},                         // behind a table header
        {"a = \"\"\"x\\\xC3\xA9\"\"\"\n", 9},         // behind a backslash in a multi-line text
        {"a = \"\"\"x\\ \n\n  \xC3\xA9\"\"\"\n", 14},  // first character behind a line-ending backslash
        {"a = 'x' \xC2\xA0# nbsp as a blank\n", 8},    // TOML's blanks are space and tab only
        {"a = 2x\"\xC2\xA1\n", 7},                    // a quote inside a bare word opens no text
        {"a = 1.\"\xC3\xA9\"\n", 7},                 // nor one behind a number's dot
        {"a = [\n 1.'\xC3\xA9'\n]\n", 10},             // nor inside an array on a later line
        {std::string("M=6\0[\"\"\"-\"\xEF\xBB\xB0", 13), 3},  // a zero byte: the parser ends the line there
        {"a = 'x\ry'\n", 6},                          // a carriage return of its own
        {"a = \"\x01\"\n# \x7F\n", 5},                  // control characters, even quoted
    };
    for (const Case& c : cases) EXPECT_EQ(unsafeTomlCharacterAt(c.text), c.at) << c.text;
}

TEST(TomlGuard, PassesWhatTomlAllows) {
    const std::string allowed[] = {
        "a = \"\xC3\xA9\" # \xC3\xA9 \xE2\x82\xAC\n",
        "\xEF\xBB\xBF" "a = 'Gr\xC3\xBC\xC3\x9F' # byte-order mark first\n",
        "\"k\xC3\xA9y\" = 1\n'l\xC3\xA9' = 2\n",
        "a = \"\"\"\n\xC3\xA9\"\"\"\n",
        "a = \"\"\"x\\\\\xC3\xA9\\\"\xC3\xA9\"\"\"\n",        // escaped backslash and quote: plain text behind
        "a = \"\"\"x\\\n   y\xC3\xA9\"\"\"\n",              // an ASCII character first behind the backslash
        "a = '''\\\xC3\xA9'''\n",                           // a literal text has no escapes
        "a = \"\"\"q\"\"\"\"\" # \xC3\xA9\nb = \"\xC3\xA9\"\n",  // up to two quotes beside the closing ones
        "a = \"x\\\"\xC3\xA9\"\n",
        "a = 'x'\r\nb = \"\t\xC3\xA9\"\r\n",                  // CRLF line ends and a tab
        "[t.\"\xC3\xA9\".'\xC3\xBC']\nk.\"\xC3\xA9\" = [\"\xC3\xA9\",\n  '\xC3\xBC', {x = \"\xC3\xA9\"}]\n",  // dotted keys, arrays, tables
    };
    for (const std::string& text : allowed) {
        EXPECT_EQ(unsafeTomlCharacterAt(text), text.size()) << text;
        toml::parse_result parsed = parseTomlText(text, "t.toml");
        EXPECT_TRUE(parsed) << text << ": " << (parsed ? "" : parsed.error().description());
    }
}

TEST(TomlGuard, RefusalIsASyntaxErrorAtTheCharacter) {
    Project project;
    std::string err;
    EXPECT_FALSE(loadProjectText("[product]\nname = \"N\"\ntitle = \"T\"\xC2\xA1\n", "/tmp/p.toml", &project, &err));
    EXPECT_EQ(err, std::string("/tmp/p.toml:3: syntax: ") + refusal);
    TextPack pack;
    EXPECT_FALSE(parseTextPack("texts/X.toml", "[messages]\n0 = \"\"\"a\\\n  \xC3\xA9\"\"\"\n", &pack, &err));
    EXPECT_EQ(err, std::string("texts/X.toml:3: syntax: ") + refusal);
    toml::parse_result parsed = parseTomlText("x = 1\n\xC3\xA9\xC3\xA9 = 2\n# \xC3\xA9\n", "c.toml");
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.error().source().begin.line, 2u);
    EXPECT_EQ(parsed.error().source().begin.column, 1u);
}

TEST(TomlGuard, EveryShippedPackPassesUnchanged) {
    for (const std::string& language : shippedTextPackLanguages()) {
        std::string name, text;
        ASSERT_TRUE(shippedTextPack(language, &name, &text)) << language;
        EXPECT_EQ(unsafeTomlCharacterAt(text), text.size()) << name;
    }
}

}  // namespace
