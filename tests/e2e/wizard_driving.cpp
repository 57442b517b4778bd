// wizard_driving.cpp -- the install wizard driven from outside, its test package and the
// prefix's changes by an installation.
#include "wizard_driving.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "e2e_config.h"
#include "prefix_snapshot.h"
#include "setup_files.h"

namespace e2e {

namespace fs = std::filesystem;

static const std::string pageWait = "15000", boxWait = "15000";

ProcessResult WizardRun::drive(std::vector<std::string> commands) {
    commands.insert(commands.begin(), {"use", frameHandle_});
    ProcessResult result = wine_.driver(commands, 60s);
    if (result.exitCode != 0) ADD_FAILURE() << "driver " << commands[2] << ": " << describe(result);
    return result;
}

std::string WizardRun::readable(const std::string& ansi) const { return ansiAsIs_ ? ansi : fromWindows1252(ansi); }

void WizardRun::makeReadable(DialogDump* dump) const {
    for (Control& control : dump->controls) control.text = readable(control.text);
    dump->caption = readable(dump->caption);
}

bool WizardRun::start(const std::string& setup, const std::vector<std::string>& args) {
    run_.emplace(wine_.start(setup, args, 120s));
    return findFrame();
}

bool WizardRun::startWithEnvironment(const std::string& setup,
                                     const std::vector<std::pair<std::string, std::string>>& environment) {
    run_.emplace(wine_.startWithEnvironment(setup, {}, environment, 120s));
    return findFrame();
}

bool WizardRun::findFrame() {
    ProcessResult found = wine_.driver({"wait-dialog", caption_, "30000"}, 60s);
    DialogDump dump = parseDialogDump(found.output);
    frameHandle_ = dump.handle;
    if (found.exitCode != 0 || frameHandle_.empty()) {
        ADD_FAILURE() << "no wizard frame \"" << caption_ << "\": " << describe(found);
        return false;
    }
    return true;
}

std::optional<DialogDump> WizardRun::page(const std::string& title, std::chrono::milliseconds wait) {
    ProcessResult result = wine_.driver({"use", frameHandle_, "wait-page", title, std::to_string(wait.count()), "page-dump"}, 60s);
    if (result.exitCode != 0) {
        ADD_FAILURE() << "no page \"" << title << "\": " << describe(result);
        return std::nullopt;
    }
    DialogDump dump = parseDialogDump(result.output);
    makeReadable(&dump);
    return dump;
}

DialogDump WizardRun::frame() {
    DialogDump dump = parseDialogDump(drive({"dump"}).output);
    makeReadable(&dump);
    return dump;
}

std::vector<PlacedControl> WizardRun::layout() {
    std::vector<PlacedControl> controls;
    std::istringstream lines(drive({"layout"}).output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f = splitTabs(line, 8);
        if (f.size() != 8 || f[0].empty() || !isdigit(static_cast<unsigned char>(f[0][0]))) continue;
        controls.push_back({std::stoi(f[0]), f[1], f[2] == "1", f[3] == "1", std::stoi(f[4]), std::stoi(f[5]),
                            std::stoi(f[6]), std::stoi(f[7])});
    }
    return controls;
}

void WizardRun::click(int id) { drive({"click", std::to_string(id)}); }
void WizardRun::setText(int id, const std::string& text) { drive({"set-text", std::to_string(id), text}); }

std::vector<std::string> WizardRun::items(int id) {
    std::vector<std::string> texts;
    std::istringstream lines(drive({"items", std::to_string(id)}).output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f = splitTabs(line, 2);
        if (f.size() == 2 && !f[0].empty() && isdigit(static_cast<unsigned char>(f[0][0])))
            texts.push_back(readable(unescape(f[1])));
    }
    return texts;
}

void WizardRun::select(int id, int index) { drive({"select", std::to_string(id), std::to_string(index)}); }

std::optional<DialogDump> WizardRun::box(std::chrono::milliseconds wait) {
    ProcessResult result = wine_.driver({"wait-box", caption_, std::to_string(wait.count()), "dump"}, 60s);
    if (result.exitCode != 0) {
        ADD_FAILURE() << "no message box \"" << caption_ << "\": " << describe(result);
        return std::nullopt;
    }
    DialogDump dump = parseDialogDump(result.output);
    for (Control& control : dump.controls) control.text = readable(control.text);
    return dump;
}

void WizardRun::answer(const DialogDump& box, int button) {
    ProcessResult result = wine_.driver({"use", box.handle, "click", std::to_string(button), "wait-gone", "5000"});
    EXPECT_EQ(result.exitCode, 0) << "the box did not close: " << describe(result);
}

WindowsRun WizardRun::finish(std::chrono::milliseconds wait) {
    if (!run_) return {};
    WindowsRun ended = run_->wait(wait);
    run_.reset();
    return ended;
}

void WizardRun::screenshot(const std::string& name) {
    wine_.driver({"sleep", "300"});  // the last repaint of the page reaches the screen
    fs::path picture = wine_.screenshot(name);
    const char* toDocs = std::getenv("VELKORIN_SCREENSHOTS_TO_DOCS");
    if (picture.empty() || !toDocs || std::string(toDocs) != "1") return;
    fs::path kept = config::root() / "docs" / "screenshots" / (name + ".png");
    fs::create_directories(kept.parent_path());
    fs::copy_file(picture, kept, fs::copy_options::overwrite_existing);
}

// Bytes that deflate packs only partly, different for every file.
static std::string variedBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

std::string buildWizardPackage(WineSession& wine, const WizardPackage& package, const std::string& file) {
    fs::path project = wine.scratch() / ("project-" + file);
    fs::create_directories(project / "app" / "docs");
    std::ofstream(project / "app" / "readme.txt") << "Read me first.\r\n";
    std::ofstream(project / "app" / "docs" / "guide.txt") << "The guide.\r\n";
    for (size_t i = 0; i < package.largeFiles; ++i) {
        fs::create_directories(project / "app" / "large");
        std::ofstream(project / "app" / "large" / ("part" + std::to_string(100 + i) + ".bin"), std::ios::binary)
            << variedBytes(256 * 1024, static_cast<unsigned>(i + 1));
    }
    std::ofstream(project / "license.rtf") << "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 The wizard test "
                                              "licence: \\b use it freely\\b0 .\\par}";
    std::ofstream(project / "readme.txt") << "Readme of the wizard test package.\r\nSecond line.\r\n";
    std::ofstream(project / "project.toml")
        << "[product]\nname = \"" << package.name << "\"\ntitle = \"" << package.name << " 1.0\"\n"
        << "create_uninstaller = true\nlicense_file = \"license.rtf\"\nreadme_file = \"readme.txt\"\n"
        << package.product << "\n[choices]\ngroup = true\ndesktop = true\n\n"
        << "[languages]\noffered = [" << package.languages << "]\n\n"
        << "[pages]\n" << package.pages << "\n"
        << "[[variables]]\nname = \"InstallPath\"\nvalue = \"<ProgramFiles>\\\\" << package.name << "\"\n\n"
        << "[[variables]]\nname = \"ShortcutsGroup\"\nvalue = \"" << package.name << "\"\n\n"
        << "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"app\"\n\n"
        << "[[shortcuts]]\nlink = \"<Programs>\\\\%ShortcutsGroup%\\\\Guide.lnk\"\n"
        << "target = \"%InstallPath%\\\\docs\\\\guide.txt\"\n\n"
        << "[[shortcuts]]\nlink = \"<Desktop>\\\\" << package.name << " Readme.lnk\"\n"
        << "target = \"%InstallPath%\\\\readme.txt\"\n\n"
        << "[[registry]]\nroot = \"HKLM\"\nkey = \"Software\\\\Velkorin\\\\WizardTest\"\nname = \"InstallPath\"\n"
        << "type = \"string\"\ndata = \"%InstallPath%\"\n\n"
        << "[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\Velkorin\\\\WizardTest\"\nname = \"Group\"\n"
        << "type = \"string\"\ndata = \"%ShortcutsGroup%\"\n\n"
        << package.more << "\n";
    std::string error;
    fs::path out = wine.scratch() / (file + ".exe");
    bool built = package.stub.empty()
                     ? buildSetupFile(project / "project.toml", out, wine.scratch(), &error)
                     : buildSetupFileWithStub(project / "project.toml", out, wine.scratch(), package.stub, &error);
    if (!built) {
        ADD_FAILURE() << error;
        return "";
    }
    std::string setup = "C:\\setups\\" + file + ".exe";
    wine.copyIn(out, setup);
    return setup;
}

PrefixState prefixState(WineSession& wine) {
    return {driveSnapshot(wine.prefix() / "drive_c"), registrySnapshot(wine, "HKLM"), registrySnapshot(wine, "HKCU"),
            registrySnapshot(wine, "HKCR")};
}

static void appendDifference(std::vector<std::string>* out, const char* area, const std::set<std::string>& a,
                             const std::set<std::string>& b) {
    for (const std::string& line : linesOnlyIn(b, a)) out->push_back(area + line);
}

std::vector<std::string> added(const PrefixState& a, const PrefixState& b) {
    std::vector<std::string> out;
    appendDifference(&out, "file ", a.files, b.files);
    appendDifference(&out, "HKLM ", a.machine, b.machine);
    appendDifference(&out, "HKCU ", a.user, b.user);
    appendDifference(&out, "HKCR ", a.classes, b.classes);
    return out;
}

std::vector<std::string> removed(const PrefixState& a, const PrefixState& b) { return added(b, a); }

void expectSameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual,
                     const std::string& what) {
    std::set<std::string> a(expected.begin(), expected.end()), b(actual.begin(), actual.end());
    std::string report;
    for (const std::string& line : linesOnlyIn(a, b)) report += "\n  missing: " + line.substr(0, 160);
    for (const std::string& line : linesOnlyIn(b, a)) report += "\n  extra:   " + line.substr(0, 160);
    EXPECT_TRUE(report.empty()) << what << ":" << report;
}

static std::string pathOfLine(const std::string& line) { return line.substr(0, line.find(" = ")); }

// Keys that are new are deleted whole (the topmost new one); values new in an old key one by one.
// All in one request to the driver.
static void removeAddedRegistry(WineSession& wine, const std::set<std::string>& before, const std::set<std::string>& after) {
    std::set<std::string> newKeys;
    for (const std::string& line : linesOnlyIn(after, before))
        if (line[0] == '[' && line.back() == ']') newKeys.insert(line.substr(1, line.size() - 2));
    std::vector<std::string> keys;
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& key : newKeys) {
        size_t cut = key.rfind('\\');
        if (cut != std::string::npos && newKeys.count(key.substr(0, cut))) continue;
        keys.push_back(key);
    }
    for (const std::string& line : linesOnlyIn(after, before)) {
        size_t close = line.find("] \"");
        if (line[0] != '[' || close == std::string::npos) continue;
        std::string key = line.substr(1, close - 1);
        if (newKeys.count(key)) continue;
        size_t nameEnd = line.find("\"=", close + 3);
        if (nameEnd == std::string::npos) continue;
        values.emplace_back(key, line.substr(close + 3, nameEnd - close - 3));
    }
    wine.deleteRegistry(keys, values);
}

void removeAdded(WineSession& wine, const PrefixState& before, const PrefixState& after) {
    std::set<std::string> newPaths;
    for (const std::string& line : linesOnlyIn(after.files, before.files)) newPaths.insert(pathOfLine(line));
    std::set<std::string> oldPaths;
    for (const std::string& line : before.files) oldPaths.insert(pathOfLine(line));
    for (const std::string& path : newPaths) {
        if (oldPaths.count(path)) continue;  // an old file with new content: left as it is
        fs::path parent = fs::path(path).parent_path();
        if (!parent.empty() && newPaths.count(parent.string()) && !oldPaths.count(parent.string())) continue;
        fs::remove_all(wine.prefix() / "drive_c" / path);
    }
    removeAddedRegistry(wine, before.machine, after.machine);
    removeAddedRegistry(wine, before.user, after.user);
}

std::string fromWindows1252(const std::string& text) {
    // The characters of 0x80-0x9F that the text packs use; the rest of the upper half is Latin-1.
    static const std::pair<unsigned char, const char*> special[] = {
        {0x84, "\u201E"}, {0x93, "\u201C"}, {0x94, "\u201D"}, {0x96, "\u2013"}, {0x85, "\u2026"}, {0x80, "\u20AC"}};
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const char* mapped = nullptr;
        for (const auto& [code, utf8] : special)
            if (code == c) mapped = utf8;
        if (mapped) {
            out += mapped;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace e2e
