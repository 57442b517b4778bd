// project.cpp -- reads the project file: the product, its appearance, the pages, variables and
// file groups here; the other sections in project_actions.cpp and project_texts.cpp. The
// languages are read first, because their code page converts every other text.
#include "host_files.h"
#include "project.h"
#include "project_reader.h"
#include "project_sections.h"
#include "text_catalog.h"
#include "toml_guard.h"

namespace {

const char* const registryRoots[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};

// previous_install = { root = "HKLM", key = "Software\\Maker\\Product", value = "Path" }
FieldReader previousInstall(Reader& reader, Project* p) {
    return [&reader, p](const toml::node& node, std::string* what) {
        const toml::table* table = node.as_table();
        if (!table) return *what = "expected a table with root, key and value", false;
        std::string root, key, value;
        std::vector<FieldRule> rules = {{"root", true, text(reader, &root, ",")},
                                        {"key", true, text(reader, &key, ",")},
                                        {"value", true, text(reader, &value, ",")}};
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

// A licence or readme file, relative to the project file, kept byte for byte.
FieldReader document(const Project* p, std::string* target, bool* present) {
    return [p, target, present](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        std::string written = **node.as_string();
        std::string path = isAbsolutePath(written) ? written : p->folder + written;
        if (written.empty() || pathKind(path) != PathKind::file || !readHostFile(path, target))
            return *what = "file '" + written + "' does not exist", false;
        if (target->find('\0') != std::string::npos) return *what = "file '" + written + "' holds a zero byte", false;
        *present = true;
        return true;
    };
}

// A file name without any folder: the uninstaller is written into the installation folder. The
// characters are looked at in the project's text (UTF-8): in a double-byte code page a
// character's second byte may be a backslash.
FieldReader fileName(Reader& reader, std::string* target) {
    return [&reader, target, read = text(reader, target)](const toml::node& node, std::string* what) {
        if (!read(node, what)) return false;
        if (target->empty() || (**node.as_string()).find_first_of("\\/:") != std::string::npos)
            return *what = "expected a file name without a folder", false;
        return true;
    };
}

// The product name is the key of the Uninstall entry: an empty name or one with a backslash would
// name the list of every product, or a key below another product's entry. As for file names, the
// project's text is looked at, not its code-page bytes.
FieldReader keyName(Reader& reader, std::string* target) {
    return [target, read = text(reader, target)](const toml::node& node, std::string* what) {
        if (!read(node, what)) return false;
        if (target->empty() || (**node.as_string()).find('\\') != std::string::npos)
            return *what = "expected a name without backslashes, not empty", false;
        return true;
    };
}

std::vector<FieldRule> productFields(Reader& reader, Project* p) {
    return {{"name", true, keyName(reader, &p->productName)},
            {"title", true, text(reader, &p->productTitle)},
            {"previous_install", false, previousInstall(reader, p)},
            {"finish_program", false, text(reader, &p->finishProgram)},
            {"finish_readme", false, text(reader, &p->finishReadme)},
            {"restart", false, flag(&p->restart)},
            {"create_uninstaller", false, flag(&p->createUninstaller)},
            {"uninstaller", false, fileName(reader, &p->uninstallerName)},
            {"license_file", false, document(p, &p->licenseText, &p->hasLicense)},
            {"readme_file", false, document(p, &p->readmeText, &p->hasReadme)}};
}

// The accent colour is stored as a COLORREF, like the brush colours.
FieldReader accent(Project* p) {
    return [p, read = brush(&p->accentColor)](const toml::node& node, std::string* what) {
        if (!node.is_string() || (**node.as_string())[0] != '#') return *what = "expected a colour \"#RRGGBB\"", false;
        return read(node, what) && (p->hasAccentColor = true);
    };
}

std::vector<FieldRule> appearanceFields(Reader& reader, Project* p) {
    return {{"text_font", false, text(reader, &p->textFont, ",")},
            {"text_color", false, rgb(&p->textColor)},
            {"title_font", false, text(reader, &p->titleFont, ",")},
            {"title_color", false, rgb(&p->titleColor)},
            {"page_color", false, brush(&p->pageColor)},
            {"frame_color", false, brush(&p->frameColor)},
            {"header_color", false, brush(&p->headerColor)},
            {"accent_color", false, accent(p)},
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

FieldReader pageSwitch(uint8_t* target) {
    return [target](const toml::node& node, std::string* what) {
        if (!node.is_boolean()) return *what = "expected true or false", false;
        *target = **node.as_boolean() ? 1 : 0;
        return true;
    };
}

// Wizard pages by name; the slots 4, 5 and 7 have no page and stay off.
std::vector<FieldRule> pageFields(Project* p) {
    std::vector<FieldRule> rules;
    for (const PageName& page : wizardPages()) rules.push_back({page.name, false, pageSwitch(&p->pages[page.slot])});
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

bool isFolder(const std::string& path) { return pathKind(path) == PathKind::folder; }

FieldReader sourceFolder(const Project* p, std::string* target) {
    return [p, target](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        std::string written = **node.as_string();
        std::string path = isAbsolutePath(written) ? written : p->folder + written;
        if (written.empty() || !isFolder(path)) return *what = "folder '" + written + "' does not exist", false;
        *target = path;
        return true;
    };
}

std::vector<FieldRule> groupFields(Reader& reader, const Project* p, FileGroupConfig* g, uint32_t* compression) {
    return {{"destination", true, text(reader, &g->destination)},
            {"source", true, sourceFolder(p, &g->source)},
            {"overwrite", false, choice(&g->overwriteMode, {"always", "if-newer", "if-newer-or-equal", "if-older", "never"})},
            {"compare_by", false, choice(&g->compareBy, {"time", "version", "version-and-time"})},
            {"shared", false, flag(&g->shared)},
            {"compression", false, choice(compression, {"auto", "deflate", "store"})},
            {"store", false, textList(&g->store)},
            {"exclude", false, textList(&g->exclude)}};
}

bool readVariables(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "variables", [&](const toml::table& table, const std::string& prefix) {
        Variable v;
        return readTable(reader, table, prefix,
                         {{"name", true, variableName(&v.name)}, {"value", true, text(reader, &v.value)}}) &&
               (p->variables.push_back(v), true);
    });
}

bool readGroups(Reader& reader, const toml::node& node, Project* p) {
    return readArray(reader, node, "files", [&](const toml::table& table, const std::string& prefix) {
        FileGroupConfig g;
        uint32_t compression = 0;
        if (!readTable(reader, table, prefix, groupFields(reader, p, &g, &compression))) return false;
        static const char* const modes[] = {"auto", "deflate", "store"};
        g.compression = modes[compression];
        p->groups.push_back(g);
        return true;
    });
}

// The sections that are arrays of tables, in the order their records are written.
using ArrayReader = bool (*)(Reader&, const toml::node&, Project*);
const std::pair<const char*, ArrayReader> arraySections[] = {
    {"variables", readVariables},       {"files", readGroups},   {"shortcuts", readShortcuts},
    {"registry", readRegistry},         {"ini", readIni},        {"associations", readAssociations},
    {"launches", readLaunches},         {"dll_calls", readDllCalls}};
const char* const tableSections[] = {"product", "appearance", "choices", "pages",     "languages",
                                     "texts",   "requirements", "background", "setup_file"};

bool checkSectionNames(Reader& reader, const toml::table& root) {
    for (auto&& [key, node] : root) {
        bool known = false;
        for (const char* s : tableSections) known = known || key.str() == s;
        for (const auto& [name, read] : arraySections) known = known || key.str() == name;
        if (!known) return reader.fail(key.source(), std::string(key.str()), "unknown field");
    }
    return true;
}

bool readRoot(Reader& reader, const toml::table& root, Project* p) {
    if (!checkSectionNames(reader, root)) return false;
    if (!root.contains("product")) return reader.fail(root.source(), "product", "required table is missing");
    if (!readLanguages(reader, root, p) || !readSection(reader, root, "product", productFields(reader, p)) ||
        !readSection(reader, root, "appearance", appearanceFields(reader, p)) ||
        !readSection(reader, root, "choices", choiceFields(p)) || !readSection(reader, root, "pages", pageFields(p)) ||
        !readRequirements(reader, root, p) || !readBackground(reader, root, p) || !readSetupFile(reader, root, p))
        return false;
    for (const auto& [name, read] : arraySections)
        if (const toml::node* node = root.get(name))
            if (!read(reader, *node, p)) return false;
    return readTexts(reader, root, p);
}

}  // namespace

bool loadProjectText(const std::string& text, const std::string& path, Project* project, std::string* err) {
    *project = Project();
    project->path = path;
    project->folder = folderOf(path);
    Reader reader{path, err};
    toml::parse_result parsed = parseTomlText(text, path);
    if (!parsed) {
        const toml::parse_error& e = parsed.error();
        return reader.fail(e.source(), "syntax", std::string(e.description()));
    }
    return readRoot(reader, parsed.table(), project);
}

bool loadProject(const std::string& path, Project* project, std::string* err) {
    std::string text;
    if (!readHostFile(path, &text)) {
        *err = path + ": cannot open the project file";
        return false;
    }
    return loadProjectText(text, path, project, err);
}
