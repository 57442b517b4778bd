// text_pack_check.cpp -- the comparison of a text pack with the English pack.
#define TOML_EXCEPTIONS 0
#include "text_pack_check.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "code_page.h"
#include "toml_guard.h"

namespace {

unsigned lineOf(const toml::source_region& where) { return where.begin.line ? where.begin.line : 1; }

std::string located(const std::string& file, unsigned line, const std::string& what) {
    return file + ":" + std::to_string(line) + ": " + what;
}

// Adds the items of one table of texts.
bool addTable(const std::string& tableName, const toml::table& table, TextPack* pack) {
    pack->tableLines.push_back({tableName, lineOf(table.source())});
    for (auto&& [key, node] : table) {
        const toml::value<std::string>* value = node.as_string();
        pack->texts.push_back({tableName, std::string(key.str()), value ? value->get() : std::string(), value != nullptr,
                               lineOf(key.source())});
    }
    return true;
}

bool isNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The length of a %NAME% variable at text[at] (a name of two or more characters), or 0.
size_t variableLength(const std::string& text, size_t at) {
    size_t end = at + 1;
    while (end < text.size() && isNameCharacter(text[end])) ++end;
    if (end - at - 1 < 2 || end >= text.size() || text[end] != '%') return 0;
    return end - at + 1;
}

// The length of a printf-style conversion at text[at] ("%s", "%08lx"), or 1 for a lone '%'.
size_t conversionLength(const std::string& text, size_t at) {
    size_t end = text.find_first_of("cCdiusSxXp", at + 1);
    if (end == std::string::npos) return 1;
    for (size_t i = at + 1; i < end; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])) && !std::strchr("-+# .lhI", text[i])) return 1;
    return end - at + 1;
}

std::string listed(const std::vector<std::string>& placeholders) {
    if (placeholders.empty()) return "none";
    std::string list;
    for (const std::string& p : placeholders) list += (list.empty() ? "" : " ") + p;
    return list;
}

const PackText* findText(const TextPack& pack, const std::string& table, const std::string& item) {
    for (const PackText& text : pack.texts)
        if (text.table == table && text.item == item) return &text;
    return nullptr;
}

// The line to report a missing item at: its table's header, or the first line.
unsigned tableLine(const TextPack& pack, const std::string& table) {
    for (const auto& [name, line] : pack.tableLines)
        if (name == table) return line;
    return 1;
}

struct Problem {
    unsigned line;
    std::string text;
};

// The problems of one text that English also has.
void checkOne(const TextPack& pack, const PackText& text, const PackText& english, int codePage,
              std::vector<Problem>* problems) {
    std::string field = text.table + "." + text.item;
    auto add = [&](const std::string& what) {
        problems->push_back({text.line, located(pack.name, text.line, field + ": " + what)});
    };
    if (!text.isText) return add("expected a text");
    std::vector<std::string> own = placeholdersOf(text.utf8), wanted = placeholdersOf(english.utf8);
    if (own != wanted) add("placeholders " + listed(own) + " where English has " + listed(wanted));
    std::string converted, what;
    if (text.utf8.find('\0') != std::string::npos) add("a text must not hold a zero byte");
    else if (!toCodePage(text.utf8, codePage, &converted, &what)) add(what);
}

}  // namespace

bool parseTextPack(const std::string& name, const std::string& text, TextPack* pack, std::string* err) {
    pack->name = name;
    pack->texts.clear();
    pack->tableLines.clear();
    toml::parse_result parsed = parseTomlText(text, name);
    if (!parsed) return *err = located(name, lineOf(parsed.error().source()), "syntax: " + std::string(parsed.error().description())), false;
    for (auto&& [key, node] : parsed.table()) {
        std::string table(key.str());
        if (!node.is_table()) return *err = located(name, lineOf(node.source()), table + ": expected a table of texts"), false;
        if (table != "pages") {
            addTable(table, *node.as_table(), pack);
            continue;
        }
        for (auto&& [page, pageNode] : *node.as_table()) {
            std::string pageTable = "pages." + std::string(page.str());
            if (!pageNode.is_table())
                return *err = located(name, lineOf(pageNode.source()), pageTable + ": expected a table of texts"), false;
            addTable(pageTable, *pageNode.as_table(), pack);
        }
    }
    // The parser keeps keys sorted by name; file order reads better in messages.
    std::stable_sort(pack->texts.begin(), pack->texts.end(), [](const PackText& a, const PackText& b) { return a.line < b.line; });
    return true;
}

std::vector<std::string> placeholdersOf(const std::string& text) {
    std::vector<std::string> found;
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, 7, "{title}") == 0 || text.compare(at, 6, "{name}") == 0) {
            size_t length = text[at + 1] == 't' ? 7 : 6;
            found.push_back(text.substr(at, length));
            at += length;
        } else if (text[at] != '%') {
            ++at;
        } else if (at + 1 < text.size() && text[at + 1] == '%') {
            at += 2;
        } else {
            size_t length = variableLength(text, at);
            if (!length) length = conversionLength(text, at);
            found.push_back(text.substr(at, length));
            at += length;
        }
    }
    return found;
}

bool checkTextPack(const TextPack& pack, const TextPack& english, int codePage, std::vector<std::string>* out) {
    std::vector<Problem> problems;
    for (const PackText& text : pack.texts) {
        const PackText* reference = findText(english, text.table, text.item);
        if (!reference) {
            problems.push_back({text.line, located(pack.name, text.line, text.table + "." + text.item + ": English has no such text")});
            continue;
        }
        checkOne(pack, text, *reference, codePage, &problems);
    }
    for (const PackText& reference : english.texts) {
        if (findText(pack, reference.table, reference.item)) continue;
        unsigned line = tableLine(pack, reference.table);
        problems.push_back({line, located(pack.name, line, reference.table + "." + reference.item + ": missing (English has it)")});
    }
    std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) { return a.line < b.line; });
    for (const Problem& problem : problems) out->push_back(problem.text);
    return problems.empty();
}

bool checkTextPackText(const std::string& name, const std::string& toml, const TextPack& english, int codePage,
                       std::string* err) {
    TextPack pack;
    if (!parseTextPack(name, toml, &pack, err)) return false;
    std::vector<std::string> problems;
    if (checkTextPack(pack, english, codePage, &problems)) return true;
    err->clear();
    for (const std::string& problem : problems) *err += (err->empty() ? "" : "\n") + problem;
    return false;
}
