// wizard_keys_test.cpp -- the wizard's corners seen from outside: the installing page while it
// works (its step texts and the current file, Enter ignored there and on the finish page) in
// both dialog sets, Browse on the destination page, the Tab order and the access keys of every
// page, and a program run when its page is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "dialog_dump.h"
#include "e2e_config.h"
#include "wizard_driving.h"

namespace e2e {
namespace {

using namespace wizard;

const char caption[] = "Velkorin Wizard 1.0 Setup";
const char everyPage[] = "language = true\nwelcome = true\nlicense = true\nreadme = true\ndestination = true\n"
                         "start_menu = true\nready = true\ninstalling = true\nfinish = true\n";
const char installingTitle[] = "Installing...";
const char finishTitle[] = "Installation Completed";
// The step names the installing page shows while the worker reaches them.
const std::set<std::string> shownSteps = {"Installing files...",      "Creating Start menu shortcut...",
                                          "Creating registry entries...", "Modifying INI files...",
                                          "Creating associations...", "Finishing setup..."};
constexpr int stepText = 1004, currentItem = 1005;
constexpr int keyEnter = 0x0D;

using config::scaled;

class WizardKeys : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }

    // Walks to the installing page, reads it from outside while the files go in, presses Enter
    // there and on the finish page (nothing happens), and finishes.
    void watchInstalling(const std::string& set, bool compact) {
        WizardPackage package;
        package.pages = "welcome = false\ndestination = false\n";
        // The check-point test build, pacing every check point (one per file): the installing page
        // stays long enough to be read on any machine. A natively fast machine installed 80 MiB
        // with the shipped stub before the page had been read twice.
        package.largeFiles = 64;
        package.stub = config::checkpointStub();
        package.more = compact ? "[appearance]\ncompact_dialogs = true\n" : "";
        std::string setup = buildWizardPackage(wine, package, "installing-" + set);
        ASSERT_FALSE(setup.empty());
        WizardRun wizard(wine, caption);
        ASSERT_TRUE(wizard.startWithEnvironment(setup, {{"VELKORIN_CHECKPOINT_PACE", "40"}}));
        ASSERT_TRUE(wizard.page("Ready To Install"));
        wizard.click(next);
        std::optional<DialogDump> installing = wizard.page(installingTitle, scaled(30s));
        ASSERT_TRUE(installing) << "no installing page";
        std::set<std::string> steps, items;
        // Reads the page as it is now; false once it is no longer the installing page.
        auto sample = [&](const DialogDump& now) {
            if (now.text(title).value_or("") != installingTitle) return false;
            // A page that is being taken down (or built) can be read with its title but without
            // its step label: such a reading has no step to record.
            if (std::optional<std::string> step = now.text(stepText)) steps.insert(*step);
            std::string item = now.text(currentItem).value_or("");
            if (!item.empty()) items.insert(item);
            return true;
        };
        sample(*installing);
        // Enter goes in at once: the screenshot can take seconds on a loaded machine, and the
        // installation must still be running when the key arrives.
        wine.driver({"use", wizard.frameHandle(), "key", std::to_string(keyEnter)});
        std::optional<DialogDump> afterEnter = wizard.page("*");
        bool stillInstalling = afterEnter && sample(*afterEnter);
        EXPECT_TRUE(stillInstalling) << "Enter did not move on from the installing page";
        if (stillInstalling) wizard.screenshot("wizard-" + set + "-installing");
        ProcessResult question = wine.driver({"wait-box", caption, "300", "dump"});
        bool enterIgnored = question.exitCode != 0;
        if (!enterIgnored) wizard.answer(parseDialogDump(question.output), boxNo);  // the installation goes on
        for (int poll = 0; stillInstalling && poll < 200; ++poll) {
            std::optional<DialogDump> now = wizard.page("*");
            if (!now || !sample(*now)) break;
        }
        EXPECT_TRUE(enterIgnored) << "Enter on the installing page asked the Cancel question";
        EXPECT_TRUE(steps.count("Installing files...")) << "the first step was seen";
        for (const std::string& step : steps) EXPECT_TRUE(shownSteps.count(step)) << "an unknown step text: " << step;
        bool packagedFileSeen = false;
        for (const std::string& item : items) {
            EXPECT_EQ(item.substr(0, 3), "C:\\") << "the current item is a path: " << item;
            size_t name = item.rfind('\\');
            std::string file = name == std::string::npos ? item : item.substr(name + 1);
            packagedFileSeen |= file.size() == 11 && file.substr(0, 4) == "part" && file.substr(7) == ".bin";
        }
        EXPECT_TRUE(packagedFileSeen) << "one of the package's files was seen being installed; seen: " << items.size();

        ASSERT_TRUE(wizard.page(finishTitle, scaled(60s)));
        wine.driver({"use", wizard.frameHandle(), "key", std::to_string(keyEnter), "sleep", "1500"});
        EXPECT_TRUE(wizard.page(finishTitle, 2s)) << "Enter on the finish page does not close the wizard";
        wizard.click(cancel);
        WindowsRun ended = wizard.finish();
        ASSERT_TRUE(ended.ended) << describe(ended.driver);
        EXPECT_EQ(ended.exitCode, 0u);
    }
};

TEST_F(WizardKeys, FullSizeInstallingPageShowsStepsAndTheCurrentFileAndIgnoresEnter) {
    watchInstalling("full", false);
}

TEST_F(WizardKeys, CompactInstallingPageShowsStepsAndTheCurrentFileAndIgnoresEnter) {
    watchInstalling("compact", true);
}

TEST_F(WizardKeys, BrowseOpensTheFolderDialogAndItsChoiceLandsInTheEdit) {
    WizardPackage package;
    package.pages = "welcome = false\n";
    std::string setup = buildWizardPackage(wine, package, "browse");
    ASSERT_FALSE(setup.empty());
    std::filesystem::create_directories(wine.hostPath("C:\\Browse Target"));
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    ASSERT_TRUE(wizard.page("Select Application Folder"));
    // The dialog opens on the typed folder's nearest existing ancestor.
    wizard.setText(folderEdit, "C:\\Browse Target\\Not There Yet");
    wizard.click(browse);
    std::optional<DialogDump> browser = wine.waitDialog("Browse for Folder", scaled(15s));
    ASSERT_TRUE(browser && browser->handle != wizard.frameHandle()) << "no folder dialog";
    bool prompt = false;
    for (const Control& control : browser->controls)
        prompt |= control.text == "Select the folder to install Velkorin Wizard 1.0 in:";
    EXPECT_TRUE(prompt) << "the destination page's browse prompt is shown in the dialog";
    wizard.screenshot("wizard-full-browse");
    wine.driver({"use", browser->handle, "sleep", "500", "click", "1", "wait-gone", "5000"});
    std::optional<DialogDump> page = wizard.page("Select Application Folder");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->text(folderEdit).value_or(""), "C:\\Browse Target\\Velkorin Wizard")
        << "the chosen folder with the product's folder name";

    wizard.click(cancel);
    std::optional<DialogDump> box = wizard.box();
    ASSERT_TRUE(box);
    wizard.answer(*box, boxYes);
    EXPECT_EQ(wizard.finish().exitCode, 1u);
    std::filesystem::remove_all(wine.hostPath("C:\\Browse Target"));
}

struct TabStop {
    int id = 0;
    std::string className;
    long left = 0, top = 0;
};

// The focus after each Tab and the tab stops, as the driver's tab-cycle printed them.
void readTabCycle(const std::string& output, std::vector<TabStop>* visited, std::vector<TabStop>* stops) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f = splitTabs(line, 5);
        if (f.size() != 5) continue;
        TabStop stop{std::stoi(f[1]), f[2], std::stol(f[3]), std::stol(f[4])};
        if (f[0] == "focus") visited->push_back(stop);
        if (f[0] == "stop") stops->push_back(stop);
    }
}

// Reading order: rows from the top (controls less than 6 pixels apart share a row), each row
// from the left.
bool readsBefore(const TabStop& a, const TabStop& b) {
    if (std::abs(a.top - b.top) >= 6) return a.top < b.top;
    return a.left < b.left;
}

std::string names(const std::vector<TabStop>& stops) {
    std::string text;
    for (const TabStop& stop : stops) text += std::to_string(stop.id) + " ";
    return text;
}

TEST_F(WizardKeys, TabVisitsEveryControlOfEachPageInTheOrderTheyAreSeen) {
    WizardPackage package;
    package.pages = everyPage;
    std::string setup = buildWizardPackage(wine, package, "tabs");
    ASSERT_FALSE(setup.empty());
    const char* const pageTitles[] = {"Select Language",    "Welcome to the Velkorin Wizard 1.0 Setup Wizard",
                                      "License Agreement",  "Readme Information",
                                      "Select Application Folder", "Select Programs Menu Folder",
                                      "Ready To Install"};
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    for (const char* pageTitle : pageTitles) {
        SCOPED_TRACE(pageTitle);
        ASSERT_TRUE(wizard.page(pageTitle));
        std::vector<TabStop> visited, stops;
        readTabCycle(wizard.commands({"tab-cycle", "30"}).output, &visited, &stops);
        ASSERT_GE(visited.size(), 2u);
        EXPECT_EQ(visited.front().id, visited.back().id) << "Tab comes round to where it began: " << names(visited);
        visited.pop_back();
        std::vector<TabStop> expected = stops;
        std::sort(expected.begin(), expected.end(), readsBefore);
        // The cycle may begin anywhere: turn it to begin where the reading order begins.
        auto begin = std::find_if(visited.begin(), visited.end(),
                                  [&](const TabStop& s) { return !expected.empty() && s.id == expected.front().id; });
        ASSERT_NE(begin, visited.end()) << "the first control is never reached: " << names(visited);
        std::rotate(visited.begin(), begin, visited.end());
        EXPECT_EQ(names(visited), names(expected)) << "visited against the controls in reading order";
        wizard.click(next);
    }
    ASSERT_TRUE(wizard.page(finishTitle, scaled(60s)));
    wizard.click(cancel);
    EXPECT_EQ(wizard.finish().exitCode, 0u);
}

TEST_F(WizardKeys, AccessKeysPressTheirButtons) {
    WizardPackage package;
    package.pages = "license = true\n";
    std::string setup = buildWizardPackage(wine, package, "keys");
    ASSERT_FALSE(setup.empty());
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    ASSERT_TRUE(wizard.page("Welcome to the Velkorin Wizard 1.0 Setup Wizard"));
    wizard.commands({"alt-key", "n"});
    EXPECT_TRUE(wizard.page("License Agreement", 5s)) << "Alt+N is \"&Next >\"";
    wizard.commands({"alt-key", "b"});
    EXPECT_TRUE(wizard.page("Welcome to the Velkorin Wizard 1.0 Setup Wizard", 5s)) << "Alt+B is \"< &Back\"";
    wizard.commands({"alt-key", "n"});
    ASSERT_TRUE(wizard.page("License Agreement", 5s));
    wizard.commands({"alt-key", "y"});
    EXPECT_TRUE(wizard.page("Select Application Folder", 5s)) << "Alt+Y is the licence's \"&Yes\"";
    wizard.commands({"alt-key", "n"});
    EXPECT_TRUE(wizard.page("Ready To Install", 5s)) << "Alt+N on the destination page";
    wizard.commands({"alt-key", "b"});
    ASSERT_TRUE(wizard.page("Select Application Folder", 5s));
    wizard.click(cancel);
    std::optional<DialogDump> box = wizard.box();
    ASSERT_TRUE(box);
    wizard.answer(*box, boxYes);
    EXPECT_EQ(wizard.finish().exitCode, 1u);
}

TEST_F(WizardKeys, AProgramRunsWhenItsPageIsLeftForwardAndOnlyOnce) {
    WizardPackage package;
    package.pages = "welcome = true\nreadme = false\nlicense = false\n";
    package.more = "[[launches]]\nprogram = \"<System>\\\\cmd.exe\"\n"
                   "arguments = \"/c echo left>>C:\\\\marks\\\\welcome.txt\"\npage = \"welcome\"\n";
    std::string setup = buildWizardPackage(wine, package, "after-page");
    ASSERT_FALSE(setup.empty());
    std::filesystem::create_directories(wine.hostPath("C:\\marks"));
    const std::string mark = "C:\\marks\\welcome.txt";
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    ASSERT_TRUE(wizard.page("Welcome to the Velkorin Wizard 1.0 Setup Wizard"));
    wine.driver({"sleep", "1000"});
    EXPECT_FALSE(wine.readFile(mark)) << "nothing runs while the page is shown";
    wizard.click(next);
    ASSERT_TRUE(wizard.page("Select Application Folder", scaled(20s)));
    std::optional<std::vector<unsigned char>> once = wine.readFile(mark);
    ASSERT_TRUE(once) << "leaving the welcome page ran the program (the wizard waits for it)";
    EXPECT_EQ(std::string(once->begin(), once->end()), "left\r\n");
    wizard.click(back);
    ASSERT_TRUE(wizard.page("Welcome to the Velkorin Wizard 1.0 Setup Wizard"));
    EXPECT_EQ(wine.readFile(mark), once) << "Back runs nothing";
    wizard.click(next);
    ASSERT_TRUE(wizard.page("Select Application Folder"));
    wine.driver({"sleep", "1000"});
    EXPECT_EQ(wine.readFile(mark), once) << "a run-once program does not run the second time";
    wizard.click(cancel);
    std::optional<DialogDump> box = wizard.box();
    ASSERT_TRUE(box);
    wizard.answer(*box, boxYes);
    EXPECT_EQ(wizard.finish().exitCode, 1u);
    std::filesystem::remove_all(wine.hostPath("C:\\marks"));
}

}  // namespace
}  // namespace e2e
