// project_texts.cpp -- the languages a package offers and every text it carries for each. A text
// comes from the project's [texts] overrides, else from the language's text pack (the project's
// own pack folder first, then the pack shipped in the builder). Each is converted into the
// language's code page; a language that lacks a text of the catalogue is an error.
#include <map>

#include "code_page.h"
#include "host_files.h"
#include "project_sections.h"
#include "text_catalog.h"
#include "toml_guard.h"
#include "text_pack_check.h"
#include "text_packs.h"

namespace {

using TextKey = std::pair<uint8_t, uint8_t>;  // table byte, item
// Receives one text of a table tree; on failure *what says what is wrong with it.
using TextSink = std::function<bool(TextKey key, const std::string& utf8, std::string* what)>;

std::vector<FieldRule> itemRules(const TextTableInfo& table, const TextSink& sink, std::vector<std::string>* keys) {
    std::vector<FieldRule> rules;
    keys->reserve(table.itemCount);  // the rules keep pointers into the key texts
    for (uint8_t item = 0; item < table.itemCount; ++item) {
        keys->push_back(std::to_string(item));
        rules.push_back({keys->back().c_str(), false, [&sink, key = TextKey(table.table, item)](const toml::node& node, std::string* what) {
                             if (!node.is_string()) return *what = "expected a text", false;
                             return sink(key, **node.as_string(), what);
                         }});
    }
    return rules;
}

FieldReader itemTable(Reader& reader, const TextTableInfo& table, const std::string& field, const TextSink& sink) {
    return [&reader, &table, field, &sink](const toml::node& node, std::string* what) {
        if (!node.is_table()) return *what = "expected a table of texts by item number", false;
        std::vector<std::string> keys;
        return readTable(reader, *node.as_table(), field, itemRules(table, sink, &keys)) || (*what = "", false);
    };
}

// A tree of texts: [messages], [errors], [buttons] and [pages.<page>], each keyed by item number.
bool readTextTree(Reader& reader, const toml::table& tree, const std::string& prefix, const TextSink& sink) {
    std::vector<FieldRule> pageRules;
    std::vector<FieldRule> rules;
    for (const TextTableInfo& table : textTables()) {
        bool page = table.name.compare(0, 6, "pages.") == 0;
        std::string field = joinKey(prefix, table.name);
        FieldReader read = itemTable(reader, table, field, sink);
        if (page) pageRules.push_back({table.name.c_str() + 6, false, read});
        else rules.push_back({table.name.c_str(), false, read});
    }
    std::string pagesField = joinKey(prefix, "pages");
    rules.push_back({"pages", false, [&](const toml::node& node, std::string* what) {
                         if (!node.is_table()) return *what = "expected a table of pages", false;
                         return readTable(reader, *node.as_table(), pagesField, pageRules) || (*what = "", false);
                     }});
    return readTable(reader, tree, prefix, rules);
}

int placeholderCount(const std::string& text) {
    int count = 0;
    for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + 2)) ++count;
    return count;
}

// The first conversion of text other than %s (and the literal %%), or "" when there is none.
std::string otherConversion(const std::string& text) {
    for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2)) {
        if (at + 1 < text.size() && (text[at + 1] == 's' || text[at + 1] == '%')) continue;
        size_t end = text.find_first_of("cCdiusSxXp", at + 1);
        return text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
    }
    return "";
}

void replaceAll(std::string* text, const std::string& from, const std::string& to) {
    for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

struct TextContext {
    std::map<TextKey, std::string> english;  // UTF-8 reference texts for the placeholder check
    TextPack englishPack;                    // the shipped English pack, which every pack must match
    std::string name, title;                 // the product, as written (UTF-8)
};

// The sink that fills one language: {name} and {title} filled in, placeholders checked against
// English, converted into the code page. Texts already present are kept (overrides win).
TextSink languageSink(const TextContext& context, int codePage, std::map<TextKey, std::string>* texts) {
    return [&context, codePage, texts](TextKey key, const std::string& utf8, std::string* what) {
        if (texts->count(key)) return true;
        std::string filled = utf8;
        replaceAll(&filled, "{name}", context.name);
        replaceAll(&filled, "{title}", context.title);
        if (key.first == tableMessages || key.first == tableErrors) {
            auto english = context.english.find(key);
            std::string other = otherConversion(filled);
            if (!other.empty())
                return *what = "has the conversion " + other + "; message texts are given only %s placeholders",
                       false;
            int expected = english == context.english.end() ? 0 : placeholderCount(english->second);
            if (placeholderCount(filled) != expected)
                return *what = "has " + std::to_string(placeholderCount(filled)) + " placeholders %s where the English text has " +
                               std::to_string(expected), false;
        }
        return convertText(filled, codePage, &(*texts)[key], what);
    };
}

// Parses a pack and hands its texts to the sink; errors name the pack. A pack other than the
// English reference is first checked against English, and every problem it has is reported.
bool readPack(const std::string& name, const std::string& text, int codePage, const TextSink& sink, std::string* err,
              const TextPack* english = nullptr) {
    if (english && !checkTextPackText(name, text, *english, codePage, err)) return false;
    Reader packReader{name, err, codePage};
    toml::parse_result parsed = parseTomlText(text, name);
    if (!parsed) return packReader.fail(parsed.error().source(), "syntax", std::string(parsed.error().description()));
    return readTextTree(packReader, parsed.table(), "", sink);
}

// The pack of a language: the project's pack folder first, then the builder's own.
bool findPack(const Project& p, const std::string& language, std::string* name, std::string* text) {
    if (!p.textPackFolder.empty()) {
        std::string path = p.textPackFolder + "/" + language + ".toml";
        if (pathKind(path) == PathKind::file && readHostFile(path, text)) {
            *name = path;
            return true;
        }
    }
    return shippedTextPack(language, name, text);
}

bool loadEnglish(TextContext* context, std::string* err) {
    std::string name, text;
    if (!shippedTextPack("English", &name, &text)) return *err = "the builder carries no English texts", false;
    if (!parseTextPack(name, text, &context->englishPack, err)) return false;
    return readPack(name, text, 1252, [context](TextKey key, const std::string& utf8, std::string*) {
        return context->english[key] = utf8, true;
    }, err);
}

// Every catalogue item must be present; the texts go out in table and item order.
bool completeLanguage(Reader& reader, const toml::node& offered, const std::map<TextKey, std::string>& texts,
                      LanguageTexts* language) {
    for (const TextTableInfo& table : textTables())
        for (uint8_t item = 0; item < table.itemCount; ++item) {
            auto found = texts.find({table.table, item});
            if (found == texts.end())
                return reader.fail(offered.source(), "languages.offered",
                                   language->name + " has no text " + table.name + "." + std::to_string(item));
            language->texts.push_back({table.table, item, found->second});
        }
    return true;
}

bool checkOverrideLanguages(Reader& reader, const toml::node* overrides, const Project* p) {
    if (!overrides) return true;
    if (!overrides->is_table()) return reader.fail(overrides->source(), "texts", "expected a table [texts.<language>]");
    for (auto&& [key, node] : *overrides->as_table()) {
        bool offered = false;
        for (const LanguageTexts& language : p->languages) offered = offered || key.str() == language.name;
        if (!offered) return reader.fail(key.source(), "texts." + std::string(key.str()), "not an offered language");
        if (!node.is_table()) return reader.fail(node.source(), "texts." + std::string(key.str()), "expected a table");
    }
    return true;
}

}  // namespace

bool readLanguages(Reader& reader, const toml::table& root, Project* p) {
    std::vector<std::string> offered = {"English"};
    std::string packs;
    if (!readSection(reader, root, "languages",
                     {{"offered", false, textList(&offered)}, {"auto_select", false, flag(&p->autoSelectLanguage)},
                      {"packs", false, hostText(&packs)}}))
        return false;
    const toml::node* node = root.at_path("languages.offered").node();
    const toml::source_region where = node ? node->source() : root.source();
    if (offered.empty()) return reader.fail(where, "languages.offered", "expected at least one language");
    for (const std::string& name : offered) {
        const LanguageInfo* info = findLanguage(name);
        if (!info) return reader.fail(where, "languages.offered", "unknown language '" + name + "' (known: " + knownLanguageNames() + ")");
        for (const LanguageTexts& earlier : p->languages)
            if (earlier.name == name) return reader.fail(where, "languages.offered", name + " is listed twice");
        if (!codePageSupported(info->codePage))
            return reader.fail(where, "languages.offered", name + ": code page " + std::to_string(info->codePage) + " is not supported");
        p->languages.push_back({info->number, name, {}});
    }
    p->codePage = reader.codePage = findLanguage(offered[0])->codePage;
    if (!packs.empty()) {
        p->textPackFolder = isAbsolutePath(packs) ? packs : p->folder + packs;
        if (pathKind(p->textPackFolder) != PathKind::folder)
            return reader.fail(root.at_path("languages.packs").node()->source(), "languages.packs",
                               "folder '" + packs + "' does not exist");
    }
    return true;
}

bool readTexts(Reader& reader, const toml::table& root, Project* p) {
    TextContext context;
    context.name = root.at_path("product.name").value_or(std::string());
    context.title = root.at_path("product.title").value_or(std::string());
    const toml::node* overrides = root.get("texts");
    if (!loadEnglish(&context, reader.err) || !checkOverrideLanguages(reader, overrides, p)) return false;
    const toml::node* offered = root.at_path("languages.offered").node();
    for (LanguageTexts& language : p->languages) {
        int codePage = findLanguage(language.name)->codePage;
        std::map<TextKey, std::string> texts;
        TextSink sink = languageSink(context, codePage, &texts);
        const toml::node* own = overrides ? overrides->as_table()->get(language.name) : nullptr;
        if (own && !readTextTree(reader, *own->as_table(), "texts." + language.name, sink)) return false;
        std::string name, text;
        if (findPack(*p, language.name, &name, &text) &&
            !readPack(name, text, codePage, sink, reader.err, &context.englishPack))
            return false;
        if (!completeLanguage(reader, offered ? *offered : static_cast<const toml::node&>(root), texts, &language)) return false;
    }
    return true;
}
