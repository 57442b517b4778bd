// project.cpp -- reads the project file. Each table is described by a list of fields; the reader
// checks every key against that list, so unknown fields, wrong types and missing required fields
// are reported with the file, the line and the field's dotted name.
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "project.h"

namespace {

// Turns a node into a setting; on failure *what says what is wrong with the value.
using FieldReader = std::function<bool(const toml::node&, std::string* what)>;

struct FieldRule {
    const char* key;
    bool required;
    FieldReader read;
};

struct Reader {
    std::string file;
    std::string* err;

    bool fail(const toml::source_region& where, const std::string& field, const std::string& what) {
        unsigned line = where.begin.line ? where.begin.line : 1;
        *err = file + ":" + std::to_string(line) + ": " + field + ": " + what;
        return false;
    }
};

std::string joinKey(const std::string& prefix, const std::string& key) {
    return prefix.empty() ? key : prefix + "." + key;
}

// Checks the table's keys against rules and hands each value to its reader.
bool readTable(Reader& reader, const toml::table& table, const std::string& prefix,
               const std::vector<FieldRule>& rules) {
    for (auto&& [key, node] : table) {
        const FieldRule* rule = nullptr;
        for (const FieldRule& s : rules)
            if (key.str() == s.key) rule = &s;
        std::string field = joinKey(prefix, std::string(key.str()));
        if (!rule) return reader.fail(key.source(), field, "unknown field");
        std::string what;
        // An empty complaint means a nested table has reported its own error already.
        if (!rule->read(node, &what)) return what.empty() ? false : reader.fail(node.source(), field, what);
    }
    for (const FieldRule& s : rules)
        if (s.required && !table.contains(s.key))
            return reader.fail(table.source(), joinKey(prefix, s.key), "required field is missing");
    return true;
}

// ---- value readers -----------------------------------------------------------------------------

FieldReader text(std::string* target, const char* forbidden = "") {
    return [target, forbidden](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        std::string value = **node.as_string();
        if (value.find('\0') != std::string::npos) return *what = "a text must not hold a zero byte", false;
        for (const char* c = forbidden; *c; ++c)
            if (value.find(*c) != std::string::npos)
                return *what = std::string("must not contain '") + *c + "'", false;
        *target = value;
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

FieldReader pageSwitch(uint8_t* target) {
    return [target](const toml::node& node, std::string* what) {
        if (!node.is_boolean()) return *what = "expected true or false", false;
        *target = **node.as_boolean() ? 1 : 0;
        return true;
    };
}

// "#RRGGBB" -> 0xRRGGBB.
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

// A text colour "#RRGGBB", kept as 0xRRGGBB (the font texts carry it in that order).
FieldReader rgb(uint32_t* target) {
    return [target](const toml::node& node, std::string* what) {
        if (!node.is_string() || !parseRgb(**node.as_string(), target))
            return *what = "expected a colour \"#RRGGBB\"", false;
        return true;
    };
}

// A brush colour: "#RRGGBB" (stored with red in the low byte), "window" or "button-face".
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

// One of a fixed list of names, stored as its index.
FieldReader choice(uint32_t* target, std::vector<std::string> names) {
    return [target, names](const toml::node& node, std::string* what) {
        std::string value = node.is_string() ? **node.as_string() : "";
        for (size_t i = 0; i < names.size(); ++i)
            if (value == names[i]) return *target = static_cast<uint32_t>(i), true;
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
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

}  // namespace

namespace {

// ---- tables ------------------------------------------------------------------------------------

const char* const registryRoots[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};

// previous_install = { root = "HKLM", key = "Software\\Maker\\Product", value = "Path" }
FieldReader previousInstall(Reader& reader, Project* p) {
    return [&reader, p](const toml::node& node, std::string* what) {
        const toml::table* table = node.as_table();
        if (!table) return *what = "expected a table with root, key and value", false;
        std::string root, key, value;
        std::vector<FieldRule> rules = {{"root", true, text(&root, ",")},
                                        {"key", true, text(&key, ",")},
                                        {"value", true, text(&value, ",")}};
        if (!readTable(reader, *table, "product.previous_install", rules)) return *what = "", false;
        bool known = false;
        for (const char* r : registryRoots) known = known || root == r;
        if (!known) {
            reader.fail(table->get("root")->source(), "product.previous_install.root",
                        "expected one of HKCR, HKCU, HKLM, HKU, HKPD, HKCC, HKDD");
            return *what = "", false;
        }
        p->previousInstall = root + "," + key + "," + value;
        return true;
    };
}

std::vector<FieldRule> productFields(Reader& reader, Project* p) {
    return {{"name", true, text(&p->productName)},
            {"title", true, text(&p->productTitle)},
            {"previous_install", false, previousInstall(reader, p)},
            {"finish_program", false, text(&p->finishProgram)},
            {"finish_readme", false, text(&p->finishReadme)},
            {"restart", false, flag(&p->restart)},
            {"create_uninstaller", false, flag(&p->createUninstaller)}};
}

std::vector<FieldRule> appearanceFields(Project* p) {
    return {{"text_font", false, text(&p->textFont, ",")},
            {"text_color", false, rgb(&p->textColor)},
            {"title_font", false, text(&p->titleFont, ",")},
            {"title_color", false, rgb(&p->titleColor)},
            {"page_color", false, brush(&p->pageColor)},
            {"frame_color", false, brush(&p->frameColor)},
            {"header_color", false, brush(&p->headerColor)},
            {"welcome_header_fill", false, flag(&p->welcomeHeaderFill)},
            {"background_caption", false, flag(&p->backgroundCaption)},
            {"compact_dialogs", false, flag(&p->compactDialogs)},
            {"hide_maker_link", false, flag(&p->hideMakerLink)}};
}

std::vector<FieldRule> choiceFields(Project* p) {
    return {{"group", false, flag(&p->groupChoice)},
            {"desktop", false, flag(&p->desktopChoice)},
            {"quick_launch", false, flag(&p->quickLaunchChoice)}};
}

// Wizard pages by name; the slots 4, 5 and 7 have no page and stay off.
std::vector<FieldRule> pageFields(Project* p) {
    static const std::pair<const char*, int> names[] = {
        {"language", 0}, {"welcome", 1}, {"license", 2},    {"readme", 3},   {"destination", 6},
        {"start_menu", 8}, {"ready", 9}, {"installing", 10}, {"finish", 11}};
    std::vector<FieldRule> rules;
    for (const auto& [name, slot] : names) rules.push_back({name, false, pageSwitch(&p->pages[slot])});
    return rules;
}

FieldReader variableName(std::string* target) {
    return [target](const toml::node& node, std::string* what) {
        std::string name = node.is_string() ? **node.as_string() : "";
        bool ok = !name.empty();
        for (char c : name) ok = ok && (isalnum(static_cast<unsigned char>(c)) || c == '_');
        if (!ok) return *what = "expected a name of letters, digits and '_' (written without percent signs)", false;
        *target = "%" + name + "%";
        return true;
    };
}

bool isFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FieldReader sourceFolder(const Project* p, std::string* target) {
    return [p, target](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        std::string written = **node.as_string();
        std::string path = !written.empty() && written[0] == '/' ? written : p->folder + written;
        if (written.empty() || !isFolder(path)) return *what = "folder '" + written + "' does not exist", false;
        *target = path;
        return true;
    };
}

std::vector<FieldRule> groupFields(const Project* p, FileGroupConfig* g, uint32_t* compression) {
    return {{"destination", true, text(&g->destination)},
            {"source", true, sourceFolder(p, &g->source)},
            {"overwrite", false, choice(&g->overwriteMode, {"always", "if-newer", "if-newer-or-equal", "if-older", "never"})},
            {"compare_by", false, choice(&g->compareBy, {"time", "version", "version-and-time"})},
            {"shared", false, flag(&g->shared)},
            {"compression", false, choice(compression, {"auto", "deflate", "store"})},
            {"store", false, textList(&g->store)},
            {"exclude", false, textList(&g->exclude)}};
}

// An array of tables, each handed to readOne with its indexed name, e.g. "files[1]".
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

bool readVariables(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "variables", [&](const toml::table& table, const std::string& prefix) {
        Variable v;
        return readTable(reader, table, prefix, {{"name", true, variableName(&v.name)}, {"value", true, text(&v.value)}}) &&
               (p->variables.push_back(v), true);
    });
}

bool readGroups(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "files", [&](const toml::table& table, const std::string& prefix) {
        FileGroupConfig g;
        uint32_t compression = 0;
        if (!readTable(reader, table, prefix, groupFields(p, &g, &compression))) return false;
        static const char* const modes[] = {"auto", "deflate", "store"};
        g.compression = modes[compression];
        p->groups.push_back(g);
        return true;
    });
}

// A section that must be a table; absent sections keep their defaults.
bool readSection(Reader& reader, const toml::table& root, const char* name, const std::vector<FieldRule>& rules) {
    const toml::node* node = root.get(name);
    if (!node) return true;
    if (!node->is_table()) return reader.fail(node->source(), name, "expected a table [" + std::string(name) + "]");
    return readTable(reader, *node->as_table(), name, rules);
}

bool readRoot(Reader& reader, const toml::table& root, Project* p) {
    static const char* const sections[] = {"product", "appearance", "choices", "pages", "variables", "files"};
    for (auto&& [key, node] : root) {
        bool known = false;
        for (const char* s : sections) known = known || key.str() == s;
        if (!known) return reader.fail(key.source(), std::string(key.str()), "unknown field");
    }
    if (!root.contains("product")) return reader.fail(root.source(), "product", "required table is missing");
    if (!readSection(reader, root, "product", productFields(reader, p)) ||
        !readSection(reader, root, "appearance", appearanceFields(p)) ||
        !readSection(reader, root, "choices", choiceFields(p)) || !readSection(reader, root, "pages", pageFields(p)))
        return false;
    if (const toml::node* v = root.get("variables"))
        if (!readVariables(reader, *v, p)) return false;
    if (const toml::node* f = root.get("files"))
        if (!readGroups(reader, *f, p)) return false;
    return true;
}

}  // namespace

bool loadProjectText(const std::string& text, const std::string& path, Project* project, std::string* err) {
    *project = Project();
    project->path = path;
    size_t slash = path.find_last_of('/');
    project->folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    Reader reader{path, err};
    toml::parse_result parsed = toml::parse(text, path);
    if (!parsed) {
        const toml::parse_error& e = parsed.error();
        return reader.fail(e.source(), "syntax", std::string(e.description()));
    }
    return readRoot(reader, parsed.table(), project);
}

bool loadProject(const std::string& path, Project* project, std::string* err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *err = path + ": cannot open the project file";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return loadProjectText(text.str(), path, project, err);
}
