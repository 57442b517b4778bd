// project_fields.cpp -- the table walk and the value readers of the project reader.
#include <cstdio>

#include "code_page.h"
#include "format/package_format.h"
#include "project_reader.h"

bool Reader::fail(const toml::source_region& where, const std::string& field, const std::string& what) {
    unsigned line = where.begin.line ? where.begin.line : 1;
    *err = file + ":" + std::to_string(line) + ": " + field + ": " + what;
    return false;
}

std::string joinKey(const std::string& prefix, const std::string& key) {
    return prefix.empty() ? key : prefix + "." + key;
}

bool readTable(Reader& reader, const toml::table& table, const std::string& prefix, const std::vector<FieldRule>& rules) {
    for (auto&& [key, node] : table) {
        const FieldRule* rule = nullptr;
        for (const FieldRule& s : rules)
            if (key.str() == s.key) rule = &s;
        std::string field = joinKey(prefix, std::string(key.str()));
        if (!rule) return reader.fail(key.source(), field, "unknown field");
        std::string what;
        if (!rule->read(node, &what)) return what.empty() ? false : reader.fail(node.source(), field, what);
    }
    for (const FieldRule& s : rules)
        if (s.required && !table.contains(s.key))
            return reader.fail(table.source(), joinKey(prefix, s.key), "required field is missing");
    return true;
}

bool readArray(Reader& reader, const toml::node& node, const std::string& name,
               const std::function<bool(const toml::table&, const std::string&)>& readOne) {
    const toml::array* array = node.as_array();
    if (!array || !array->is_array_of_tables())
        return reader.fail(node.source(), name, "expected [[" + name + "]] tables");
    size_t index = 0;
    for (const toml::node& item : *array)
        if (!readOne(*item.as_table(), name + "[" + std::to_string(index++) + "]")) return false;
    return true;
}

bool readSection(Reader& reader, const toml::table& root, const char* name, const std::vector<FieldRule>& rules) {
    const toml::node* node = root.get(name);
    if (!node) return true;
    if (!node->is_table()) return reader.fail(node->source(), name, "expected a table [" + std::string(name) + "]");
    return readTable(reader, *node->as_table(), name, rules);
}

bool convertText(const std::string& utf8, int codePage, std::string* out, std::string* what) {
    if (utf8.find('\0') != std::string::npos) return *what = "a text must not hold a zero byte", false;
    return toCodePage(utf8, codePage, out, what);
}

FieldReader text(Reader& reader, std::string* target, const char* forbidden) {
    return [&reader, target, forbidden](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        const std::string& value = **node.as_string();
        for (const char* c = forbidden; *c; ++c)
            if (value.find(*c) != std::string::npos) return *what = std::string("must not contain '") + *c + "'", false;
        return convertText(value, reader.codePage, target, what);
    };
}

FieldReader hostText(std::string* target) {
    return [target](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        *target = **node.as_string();
        return true;
    };
}

FieldReader flag(bool* target) {
    return [target](const toml::node& node, std::string* what) {
        if (!node.is_boolean()) return *what = "expected true or false", false;
        *target = **node.as_boolean();
        return true;
    };
}

FieldReader integer(int64_t* target, int64_t low, int64_t high) {
    return [target, low, high](const toml::node& node, std::string* what) {
        if (!node.is_integer() || **node.as_integer() < low || **node.as_integer() > high)
            return *what = "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high), false;
        *target = **node.as_integer();
        return true;
    };
}

bool parseRgb(const std::string& text, uint32_t* rgb) {
    if (text.size() != 7 || text[0] != '#') return false;
    uint32_t value = 0;
    for (size_t i = 1; i < 7; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    *rgb = value;
    return true;
}

FieldReader rgb(uint32_t* target) {
    return [target](const toml::node& node, std::string* what) {
        if (!node.is_string() || !parseRgb(**node.as_string(), target))
            return *what = "expected a colour \"#RRGGBB\"", false;
        return true;
    };
}

FieldReader brush(uint32_t* target) {
    return [target](const toml::node& node, std::string* what) {
        uint32_t value;
        std::string text = node.is_string() ? **node.as_string() : "";
        if (text == "window") *target = colorSystemWindow;
        else if (text == "button-face") *target = colorSystemButtonFace;
        else if (parseRgb(text, &value))
            *target = (value >> 16 & 0xFF) | (value & 0xFF00) | (value & 0xFF) << 16;
        else return *what = "expected a colour \"#RRGGBB\", \"window\" or \"button-face\"", false;
        return true;
    };
}

FieldReader choice(uint32_t* target, std::vector<std::string> names) {
    return [target, names](const toml::node& node, std::string* what) {
        for (size_t i = 0; i < names.size() && node.is_string(); ++i)
            if (**node.as_string() == names[i]) return *target = static_cast<uint32_t>(i), true;
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + (n.empty() ? "\"\"" : n);
        *what = "expected one of " + list;
        return false;
    };
}

FieldReader textList(std::vector<std::string>* target) {
    return [target](const toml::node& node, std::string* what) {
        const toml::array* array = node.as_array();
        if (!array) return *what = "expected a list of texts", false;
        target->clear();
        for (const toml::node& item : *array) {
            if (!item.is_string()) return *what = "expected a list of texts", false;
            target->push_back(**item.as_string());
        }
        return true;
    };
}
