// project_reader.h -- the table-driven TOML reading shared by the parts of the project reader:
// each table is described by a list of fields, and every key is checked against that list, so
// unknown fields, wrong types and missing required fields are reported as
// "file:line: field: what is wrong".
#pragma once
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Turns a node into a setting; on failure *what says what is wrong with the value. A reader that
// has reported its own error (a nested table) fails with an empty *what.
using FieldReader = std::function<bool(const toml::node&, std::string* what)>;

struct FieldRule {
    const char* key;
    bool required;
    FieldReader read;
};

struct Reader {
    std::string file;
    std::string* err;
    int codePage = 1252;  // texts of the project are converted into this code page

    // Sets the error "file:line: field: what" and returns false.
    bool fail(const toml::source_region& where, const std::string& field, const std::string& what);
};

// "prefix.key", or key alone.
std::string joinKey(const std::string& prefix, const std::string& key);
// Checks the table's keys against rules and hands each value to its reader.
bool readTable(Reader& reader, const toml::table& table, const std::string& prefix, const std::vector<FieldRule>& rules);
// An array of tables, each handed to readOne with its indexed name, e.g. "files[1]".
bool readArray(Reader& reader, const toml::node& node, const std::string& name,
               const std::function<bool(const toml::table&, const std::string&)>& readOne);
// A section that must be a table; an absent section is no error.
bool readSection(Reader& reader, const toml::table& root, const char* name, const std::vector<FieldRule>& rules);

// A text converted into the reader's code page; none of the forbidden characters allowed.
FieldReader text(Reader& reader, std::string* target, const char* forbidden = "");
// A text kept as UTF-8 (paths on the build machine).
FieldReader hostText(std::string* target);
FieldReader flag(bool* target);
// An integer in [low, high].
FieldReader integer(int64_t* target, int64_t low, int64_t high);
// "#RRGGBB" -> 0xRRGGBB.
bool parseRgb(const std::string& text, uint32_t* rgb);
// A colour "#RRGGBB", kept as 0xRRGGBB.
FieldReader rgb(uint32_t* target);
// A brush colour "#RRGGBB" (kept as a COLORREF: red in the low byte), "window" or "button-face".
FieldReader brush(uint32_t* target);
// One of a fixed list of names, stored as its index.
FieldReader choice(uint32_t* target, std::vector<std::string> names);
// A list of texts (kept as UTF-8).
FieldReader textList(std::vector<std::string>* target);
// Converts a UTF-8 text into a code page; on failure *what names the character.
bool convertText(const std::string& utf8, int codePage, std::string* out, std::string* what);
