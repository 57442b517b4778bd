// wizard_driving.h -- the install wizard driven from outside: its frame and pages through
// velkorin-driver.exe, a package written for it, and the prefix's changes by an installation.
#pragma once
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialog_dump.h"
#include "wine_session.h"

namespace e2e {

// Control ids of the frame and its pages.
namespace wizard {
constexpr int back = 1010, next = 1011, cancel = 1012, browse = 1013, title = 1001, subtitle = 1002;
constexpr int folderEdit = 1018, folderList = 1019, languageList = 1021, richEdit = 1017, progress = 1023;
constexpr int boxYes = 6, boxNo = 7, boxOk = 1;
}  // namespace wizard

// A control's place and state as the driver's `layout` printed it (page client pixels).
struct PlacedControl {
    int id = 0;
    std::string className;
    bool visible = false, checked = false;
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One run of a setup file's wizard: the frame found by its caption, driven one step at a time.
class WizardRun {
public:
    WizardRun(WineSession& wine, std::string caption) : wine_(wine), caption_(std::move(caption)) {}

    // Starts the setup file without arguments and waits for the frame; false when none came.
    bool start(const std::string& setup, const std::vector<std::string>& args = {});
    // Like start, with variables added to the program's environment (NAME, VALUE pairs).
    bool startWithEnvironment(const std::string& setup, const std::vector<std::pair<std::string, std::string>>& environment);
    // Waits for the page with this title ("*": any) and returns its controls; nullopt when it did
    // not come (the failure is recorded).
    std::optional<DialogDump> page(const std::string& title, std::chrono::milliseconds wait = std::chrono::seconds(15));
    // The frame's own caption and controls (the page's controls come first in it).
    DialogDump frame();
    // The current page's controls with their places.
    std::vector<PlacedControl> layout();
    // Posts a click to a control of the frame or of its page.
    void click(int id);
    // Sets a control's text (an edit of the page).
    void setText(int id, const std::string& text);
    // Items of a list or combo box of the page.
    std::vector<std::string> items(int id);
    // Selects an item and notifies the page.
    void select(int id, int index);
    // Waits for the message box with the frame's caption; nullopt when none came.
    std::optional<DialogDump> box(std::chrono::milliseconds wait = std::chrono::seconds(15));
    // Presses a button of a box and waits until it is gone.
    void answer(const DialogDump& box, int button);
    // Waits for the program's end.
    WindowsRun finish(std::chrono::milliseconds wait = std::chrono::seconds(60));
    // Leaves the texts read from the windows in the ANSI code page of the prefix's locale (they
    // are taken as Windows-1252 and turned into UTF-8 otherwise).
    void keepAnsiTexts() { ansiAsIs_ = true; }
    // Runs driver commands with the frame as the current dialog; a failure is recorded.
    ProcessResult commands(std::vector<std::string> list) { return drive(std::move(list)); }
    // The frame's window handle as the driver prints it.
    const std::string& frameHandle() const { return frameHandle_; }
    // A picture of the screen as a test artifact; also docs/screenshots/NAME.png when the
    // environment has VELKORIN_SCREENSHOTS_TO_DOCS=1 (scripts/screenshots.sh).
    void screenshot(const std::string& name);

private:
    bool findFrame();
    ProcessResult drive(std::vector<std::string> commands);
    std::string readable(const std::string& ansi) const;
    void makeReadable(DialogDump* dump) const;
    WineSession& wine_;
    bool ansiAsIs_ = false;
    std::string caption_, frameHandle_;
    std::optional<BackgroundRun> run_;
};

// The project file of a wizard test package, written into the scratch folder: one program
// folder with two files, a Start-menu and a Desktop shortcut, registry values of both roots and
// an uninstaller. `extra` is added to [product]; `pages` and `more` are further tables.
struct WizardPackage {
    std::string name = "Velkorin Wizard";
    std::string product;   // lines added to [product]
    std::string pages;     // lines of [pages]
    std::string more;      // further tables
    std::string languages = "\"English\", \"German\"";  // the offered languages, as TOML list items
    size_t largeFiles = 0;  // 256 KiB files of varied bytes added (a slower, larger installation)
    std::filesystem::path stub;  // the stub the setup file is built on; empty: the shipped one
};
// Builds the setup file and copies it to C:\setups\<file>.exe; "" after a recorded failure.
std::string buildWizardPackage(WineSession& wine, const WizardPackage& package, const std::string& file);

// The prefix as files and registry lines (HKLM, HKCU, HKCR).
struct PrefixState {
    std::set<std::string> files, machine, user, classes;
};
PrefixState prefixState(WineSession& wine);
// What b has that a lacks, each line prefixed by its area ("file ", "HKLM ", ...).
std::vector<std::string> added(const PrefixState& a, const PrefixState& b);
// What a has that b lacks, likewise.
std::vector<std::string> removed(const PrefixState& a, const PrefixState& b);
// Records a failure naming each line that one list has and the other lacks (long lines cut).
void expectSameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual,
                     const std::string& what);
// Undoes an installation by its traces: deletes the files, folders, keys and values that `after`
// has and `before` lacks.
void removeAdded(WineSession& wine, const PrefixState& before, const PrefixState& after);

// Converts a text in the Windows-1252 code page (as the driver prints it) to UTF-8.
std::string fromWindows1252(const std::string& text);

}  // namespace e2e
