// project_actions.cpp -- the sections that become the script's list records (shortcuts, registry
// values, INI entries, associations, launches, DLL calls, background texts) and the requirements.
// Each reader checks its values and composes the comma-field text the setup program splits; no
// field may hold a comma, because the setup program splits at every comma.
#include <strings.h>

#include <cstdio>
#include <initializer_list>

#include "project_sections.h"
#include "text_catalog.h"

namespace {

std::string joinFields(std::initializer_list<std::string> fields) {
    std::string line;
    bool first = true;
    for (const std::string& f : fields) line += (first ? "" : ",") + f, first = false;
    return line;
}

std::string number(int64_t value) { return std::to_string(value); }

// A field that must be given as a text without commas.
FieldReader field(Reader& reader, std::string* target) { return text(reader, target, ","); }

// A name from a list, stored as the number at the same position.
FieldReader named(int64_t* target, std::vector<std::string> names, std::vector<int64_t> numbers) {
    return [target, names, numbers, pick = uint32_t(0)](const toml::node& node, std::string* what) mutable {
        if (!choice(&pick, names)(node, what)) return false;
        *target = numbers[pick];
        return true;
    };
}

// A page code of a launch or DLL call: 1..12 after a page, 0 before the wizard, -1 at removal.
FieldReader pageCode(int64_t* target) {
    std::vector<std::string> names = {"start", "uninstall", "after-install"};
    std::vector<int64_t> codes = {0, -1, 11};
    for (const PageName& page : wizardPages()) names.push_back(page.name), codes.push_back(page.slot + 1);
    return named(target, names, codes);
}

FieldReader rootKey(int64_t* target) {
    return [target](const toml::node& node, std::string* what) {
        static const char* const names[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};
        for (int64_t n = 0; n < 7; ++n)
            if (node.is_string() && **node.as_string() == names[n]) return *target = n, true;
        if (node.is_integer() && **node.as_integer() >= 0 && **node.as_integer() <= 6) return *target = **node.as_integer(), true;
        return *what = "expected one of HKCR, HKCU, HKLM, HKU, HKPD, HKCC, HKDD or a number 0 to 6", false;
    };
}

// Remembers the node, for values whose meaning depends on another field.
FieldReader keepNode(const toml::node** target) {
    return [target](const toml::node& node, std::string*) { return *target = &node, true; };
}

FieldReader valueType(int64_t* target) {
    return [target](const toml::node& node, std::string* what) {
        static const std::pair<const char*, int64_t> types[] = {
            {"string", 1}, {"expand-string", 2}, {"binary", 3}, {"dword", 4}, {"multi-string", 7}};
        for (const auto& [name, code] : types)
            if ((node.is_string() && **node.as_string() == name) || (node.is_integer() && **node.as_integer() == code))
                return *target = code, true;
        return *what = "expected one of string, expand-string, binary, dword, multi-string or 1, 2, 3, 4, 7", false;
    };
}

// The data text of a registry value of the given type.
bool registryData(Reader& reader, const toml::node& node, int64_t type, std::string* data, std::string* what) {
    if (type == 4) {
        int64_t value;
        if (!integer(&value, -2147483648LL, 4294967295LL)(node, what)) return false;
        return *data = number(value), true;
    }
    if (type == 7) {
        std::vector<std::string> items;
        if (!textList(&items)(node, what)) return false;
        std::string joined;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].find_first_of(",|") != std::string::npos) return *what = "an item must not contain ',' or '|'", false;
            joined += (i ? "|" : "") + items[i];
        }
        return convertText(joined, reader.codePage, data, what);
    }
    if (!text(reader, data, ",")(node, what)) return false;
    if (type == 3 && (data->size() % 2 || data->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos))
        return *what = "expected pairs of hexadecimal digits", false;
    return true;
}

}  // namespace

bool readShortcuts(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "shortcuts", [&](const toml::table& table, const std::string& prefix) {
        std::string link, target, arguments, folder, icon;
        int64_t index = 0, show = 1, hotkey = 0;
        bool shared = false;
        if (!readTable(reader, table, prefix,
                       {{"link", true, field(reader, &link)}, {"target", true, field(reader, &target)},
                        {"arguments", false, field(reader, &arguments)}, {"working_folder", false, field(reader, &folder)},
                        {"icon_file", false, field(reader, &icon)}, {"icon_index", false, integer(&index, -2147483648LL, 2147483647LL)},
                        {"show", false, named(&show, {"normal", "maximized", "minimized"}, {1, 3, 7})},
                        {"hotkey", false, integer(&hotkey, 0, 0xFFFF)}, {"shared", false, flag(&shared)}}))
            return false;
        p->shortcuts.push_back(joinFields({link, target, arguments, folder, icon, number(index), number(show),
                                           number(hotkey), shared ? "1" : "0"}));
        return true;
    });
}

bool readRegistry(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "registry", [&](const toml::table& table, const std::string& prefix) {
        std::string key, name, data;
        int64_t root = 0, type = 1;
        const toml::node* dataNode = nullptr;
        if (!readTable(reader, table, prefix,
                       {{"root", true, rootKey(&root)}, {"key", true, field(reader, &key)},
                        {"name", false, field(reader, &name)}, {"type", false, valueType(&type)},
                        {"data", false, keepNode(&dataNode)}}))
            return false;
        std::string what;
        if (dataNode && !registryData(reader, *dataNode, type, &data, &what))
            return reader.fail(dataNode->source(), prefix + ".data", what);
        if (!dataNode && type == 4) data = "0";
        p->registryEntries.push_back(joinFields({number(root), key, name, number(type), data}));
        return true;
    });
}

bool readIni(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "ini", [&](const toml::table& table, const std::string& prefix) {
        std::string file, section, key, value;
        bool append = false;
        if (!readTable(reader, table, prefix,
                       {{"file", true, field(reader, &file)}, {"section", true, field(reader, &section)},
                        {"key", false, field(reader, &key)}, {"value", false, field(reader, &value)},
                        {"append", false, flag(&append)}}))
            return false;
        p->iniEntries.push_back(joinFields({file, section, key, value, append ? "1" : "0"}));
        return true;
    });
}

bool readAssociations(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "associations", [&](const toml::table& table, const std::string& prefix) {
        std::string extension, progId, contentType, description, infoTip, command, icon;
        int64_t index = 0;
        if (!readTable(reader, table, prefix,
                       {{"extension", true, field(reader, &extension)}, {"prog_id", true, field(reader, &progId)},
                        {"content_type", false, field(reader, &contentType)},
                        {"description", false, field(reader, &description)}, {"info_tip", false, field(reader, &infoTip)},
                        {"open_command", false, field(reader, &command)}, {"icon_file", false, field(reader, &icon)},
                        {"icon_index", false, integer(&index, -2147483648LL, 2147483647LL)}}))
            return false;
        if (extension.size() < 2 || extension[0] != '.' || extension.find_first_of("\\/") != std::string::npos)
            return reader.fail(table.get("extension")->source(), prefix + ".extension",
                               "expected a dot and the extension, e.g. \".txt\"");
        if (progId.empty()) return reader.fail(table.get("prog_id")->source(), prefix + ".prog_id", "must not be empty");
        p->associations.push_back(
            joinFields({extension, progId, contentType, description, infoTip, command, icon, number(index)}));
        return true;
    });
}

bool readLaunches(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "launches", [&](const toml::table& table, const std::string& prefix) {
        std::string program, open, arguments, folder;
        int64_t page = 11, window = 0;
        bool wait = true, once = true;
        if (!readTable(reader, table, prefix,
                       {{"program", false, field(reader, &program)}, {"open", false, field(reader, &open)},
                        {"arguments", false, field(reader, &arguments)}, {"working_folder", false, field(reader, &folder)},
                        {"page", false, pageCode(&page)}, {"wait", false, flag(&wait)}, {"once", false, flag(&once)},
                        {"window", false, named(&window, {"normal", "minimized", "maximized"}, {0, 1, 2})}}))
            return false;
        bool opens = table.contains("open");
        if (opens == table.contains("program"))
            return reader.fail(table.source(), prefix, "expected either program or open");
        if (opens && table.contains("arguments"))
            return reader.fail(table.get("arguments")->source(), prefix + ".arguments", "only a program takes arguments");
        if (!opens && (program.empty() || strcasecmp(program.c_str(), "open") == 0))
            return reader.fail(table.get("program")->source(), prefix + ".program", "expected the path of a program");
        p->launches.push_back(joinFields({opens ? "open" : program, opens ? open : arguments, folder, number(page),
                                          wait ? "1" : "0", once ? "1" : "0", number(window)}));
        return true;
    });
}

bool readDllCalls(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "dll_calls", [&](const toml::table& table, const std::string& prefix) {
        std::string library, function, first, second;
        int64_t page = 11;
        bool once = true;
        if (!readTable(reader, table, prefix,
                       {{"library", true, field(reader, &library)}, {"function", true, field(reader, &function)},
                        {"argument1", false, field(reader, &first)}, {"argument2", false, field(reader, &second)},
                        {"page", false, pageCode(&page)}, {"once", false, flag(&once)}}))
            return false;
        if (!second.empty() && first.empty())
            return reader.fail(table.get("argument2")->source(), prefix + ".argument2", "needs argument1");
        p->dllCalls.push_back(joinFields({library, function, first, second, number(page), once ? "1" : "0"}));
        return true;
    });
}

bool readRequirements(Reader& reader, const toml::table& root, Project* p) {
    static const std::vector<std::string> os = {"", "NT", "95OSR2", "NT4", "98", "98SE", "ME", "2000", "XP", "2003"};
    static const std::vector<std::string> directX = {"", "9.0", "8.1", "8.0", "7.0", "6.1", "6.0", "5.0", "3.0", "2.0", "1.0"};
    static const std::vector<std::string> ie = {"",        "6.0SP1",  "6.0",     "5.5SP2", "5.5SP1",  "5.5",
                                                "5.01SP3", "5.01SP2", "5.01SP1", "5.01",   "5.0",     "4.01SP2",
                                                "4.01SP1", "4.01",    "4.0",     "3.02",   "3.01",    "3.0"};
    static const std::vector<std::string> access = {"", "97", "97SR1", "97SR2", "2000", "2000SR1", "2000SR2", "XP"};
    uint32_t picks[4] = {0, 0, 0, 0};
    Requirements& r = p->requirements;
    if (!readSection(reader, root, "requirements",
                     {{"os", false, choice(&picks[0], os)}, {"directx", false, choice(&picks[1], directX)},
                      {"ie", false, choice(&picks[2], ie)}, {"access", false, choice(&picks[3], access)},
                      {"admin", false, flag(&r.admin)}}))
        return false;
    p->hasRequirements = root.contains("requirements");
    r.os = os[picks[0]], r.directX = directX[picks[1]], r.ie = ie[picks[2]], r.access = access[picks[3]];
    return true;
}

namespace {

bool readBackgroundText(Reader& reader, const toml::table& table, const std::string& prefix, Project* p) {
    std::string text_, font;
    int64_t horizontal = 0, vertical = 0, x = 0, y = 0, size = 0, width = 0, weight = 0, shadow = 0;
    uint32_t color = 0, shadowColor = 0;
    bool italic = false, underline = false;
    if (!readTable(reader, table, prefix,
                   {{"text", true, text(reader, &text_, "\"")},
                    {"horizontal", false, named(&horizontal, {"left", "right"}, {0, 1})},
                    {"vertical", false, named(&vertical, {"top", "bottom"}, {0, 1})},
                    {"x", false, integer(&x, 0, 10000)}, {"y", false, integer(&y, 0, 10000)},
                    {"font", false, field(reader, &font)}, {"size", false, integer(&size, 0, 1000)},
                    {"width", false, integer(&width, 0, 1000)}, {"weight", false, integer(&weight, 0, 9)},
                    {"italic", false, flag(&italic)}, {"underline", false, flag(&underline)},
                    {"color", false, rgb(&color)}, {"shadow", false, integer(&shadow, 0, 100)},
                    {"shadow_color", false, rgb(&shadowColor)}}))
        return false;
    char colors[32];
    std::snprintf(colors, sizeof(colors), "0x%06X,%d,0x%06X", color, static_cast<int>(shadow), shadowColor);
    p->backgroundTexts.push_back(joinFields({"\"" + text_ + "\"", horizontal ? "right" : "left", vertical ? "bottom" : "top",
                                             number(x), number(y), font, number(size), number(width), number(weight),
                                             italic ? "1" : "0", underline ? "1" : "0", colors}));
    return true;
}

}  // namespace

bool readBackground(Reader& reader, const toml::table& root, Project* p) {
    const toml::node* texts = nullptr;
    if (!readSection(reader, root, "background",
                     {{"top_color", true, rgb(&p->gradientTop)}, {"bottom_color", true, rgb(&p->gradientBottom)},
                      {"texts", false, keepNode(&texts)}}))
        return false;
    p->hasBackground = root.contains("background");
    if (!texts) return true;
    const toml::array* list = texts->as_array();
    if (list && list->size() > 2)
        return reader.fail(texts->source(), "background.texts", "at most two texts are shown on the background");
    return readArray(reader, *texts, "background.texts", [&](const toml::table& table, const std::string& prefix) {
        return readBackgroundText(reader, table, prefix, p);
    });
}
