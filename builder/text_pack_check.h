// text_pack_check.h -- reading a text pack and checking it against the English pack: the same
// tables and items, the same placeholders in the same order, and every text in the code page of
// its language. Problems are reported as "file:line: table.item: what is wrong".
#pragma once
#include <string>
#include <vector>

// One text of a pack: its table ("messages", "pages.welcome"), its item key as written ("3"),
// the value (UTF-8; empty when the value is not a text) and the line it stands on.
struct PackText {
    std::string table;
    std::string item;
    std::string utf8;
    bool isText;
    unsigned line;
};

struct TextPack {
    std::string name;                 // for messages, e.g. "texts/French.toml"
    std::vector<PackText> texts;      // in file order
    std::vector<std::pair<std::string, unsigned>> tableLines;  // each table and the line of its header
};

// Parses a pack: top-level tables, and [pages.<page>] under "pages". False with a
// "file:line: ..." message when the file is not TOML or not made of tables of texts.
bool parseTextPack(const std::string& name, const std::string& toml, TextPack* pack, std::string* err);
// The placeholders of a text in order: %s (and any other % conversion such as %d), %NAME%
// variables, {title} and {name}. "%%" is a literal percent sign and no placeholder.
std::vector<std::string> placeholdersOf(const std::string& text);
// Compares a pack with English and appends each problem, ordered by line: an item English has
// and the pack lacks, an item English lacks, a value that is no text, placeholders that differ
// in number or order, a character the code page cannot hold. True when there is none.
bool checkTextPack(const TextPack& pack, const TextPack& english, int codePage, std::vector<std::string>* problems);
// Parses and checks in one step; on failure *err holds every problem, one per line.
bool checkTextPackText(const std::string& name, const std::string& toml, const TextPack& english, int codePage,
                       std::string* err);
