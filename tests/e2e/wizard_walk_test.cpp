// wizard_walk_test.cpp -- a walk through every page of the wizard with Next and Back, the
// language changed on the language page, ending in the same installation as the silent one.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "e2e_config.h"
#include "wizard_driving.h"

namespace e2e {
namespace {

using namespace wizard;

const char caption[] = "Velkorin Wizard 1.0 Setup";
const char germanCaption[] = "Setup – Velkorin Wizard 1.0";
const char everyPage[] = "language = true\nwelcome = true\nlicense = true\nreadme = true\ndestination = true\n"
                         "start_menu = true\nready = true\ninstalling = true\nfinish = true\n";
const char defaultFolder[] = "C:\\Program Files\\Velkorin Wizard";

std::string textOf(const std::optional<DialogDump>& dump, int id) {
    return dump ? dump->text(id).value_or("<no control>") : "<no page>";
}

int indexOf(const std::vector<std::string>& items, const std::string& wanted) {
    auto found = std::find(items.begin(), items.end(), wanted);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

class WizardWalk : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
};

// The language page switches to German at once (page, frame caption, buttons), the next page is
// German throughout, and Back returns to the language page, where English is chosen again.
void walkLanguagePages(WizardRun& wizard) {
    std::optional<DialogDump> language = wizard.page("Select Language");
    EXPECT_EQ(textOf(language, 1002), "Choose the language you want to use during the installation.");
    EXPECT_EQ(textOf(language, 1003), "Language:");
    DialogDump frame = wizard.frame();
    EXPECT_EQ(frame.caption, caption);
    EXPECT_EQ(frame.text(next).value_or(""), "&Next >");
    EXPECT_EQ(frame.text(cancel).value_or(""), "Cancel");
    std::vector<std::string> languages = wizard.items(languageList);
    int german = indexOf(languages, "German"), english = indexOf(languages, "English");
    ASSERT_EQ(languages.size(), 2u) << "one entry per offered language";
    ASSERT_GE(german, 0) << languages[0] << ", " << languages[1];
    ASSERT_GE(english, 0);
    EXPECT_LT(english, german) << "the list is sorted";

    wizard.select(languageList, german);
    language = wizard.page("Sprache auswählen", 5s);
    EXPECT_EQ(textOf(language, 1002), "Wählen Sie die Sprache, in der die Installation durchgeführt werden soll.");
    EXPECT_EQ(textOf(language, 1003), "Sprache:");
    frame = wizard.frame();
    EXPECT_EQ(frame.caption, germanCaption) << "the frame's caption changes with the page";
    EXPECT_EQ(frame.text(next).value_or(""), "&Weiter >");
    EXPECT_EQ(frame.text(cancel).value_or(""), "Abbrechen");

    wizard.click(next);
    std::optional<DialogDump> welcome = wizard.page("Willkommen beim Setup-Assistenten für Velkorin Wizard 1.0");
    EXPECT_EQ(textOf(welcome, 1002), "Dieser Assistent installiert Velkorin Wizard 1.0 auf Ihrem Computer.");
    EXPECT_EQ(textOf(welcome, 1003),
              "Es wird dringend empfohlen, alle anderen Programme zu beenden, bevor Sie fortfahren.");
    EXPECT_EQ(textOf(welcome, 1004),
              "WARNUNG: Dieses Programm ist durch Urheberrechtsgesetze und internationale Verträge geschützt.");
    EXPECT_EQ(textOf(welcome, 1006),
              "Klicken Sie auf „Weiter“, um fortzufahren, oder auf „Abbrechen“, um das Setup zu beenden.");
    EXPECT_EQ(textOf(welcome, 1005),
              "Unerlaubte Vervielfältigung oder Verbreitung dieses Programms oder eines Teils davon kann zivil- und "
              "strafrechtlich verfolgt werden.");
    frame = wizard.frame();
    EXPECT_EQ(frame.caption, germanCaption);
    EXPECT_EQ(frame.text(back).value_or(""), "< &Zurück");
    EXPECT_EQ(frame.text(next).value_or(""), "&Weiter >");
    EXPECT_EQ(frame.text(cancel).value_or(""), "Abbrechen");
    // Whatever else the page shows is German too: no visible control keeps an English text.
    std::set<std::string> germanTexts;
    for (int id = 1001; id <= 1006; ++id) germanTexts.insert(textOf(welcome, id));
    for (const PlacedControl& control : wizard.layout()) {
        std::string shown = control.id ? textOf(welcome, control.id) : "";
        if (control.visible && !shown.empty() && shown != "<no control>") {
            EXPECT_TRUE(germanTexts.count(shown)) << "control " << control.id << " shows: " << shown;
        }
    }

    wizard.click(back);
    wizard.page("Sprache auswählen");
    EXPECT_EQ(wizard.items(languageList).size(), 2u) << "the list is filled once per visit";
    wizard.select(languageList, english);
    wizard.page("Select Language", 5s);
    EXPECT_EQ(wizard.frame().caption, caption);
    wizard.select(languageList, english);  // the same entry again changes nothing
    EXPECT_EQ(textOf(wizard.page("Select Language", 5s), 1003), "Language:");
}

// The destination and Start-menu pages keep what was typed across Back and Next.
void walkFolderPages(WizardRun& wizard) {
    std::optional<DialogDump> destination = wizard.page("Select Application Folder");
    EXPECT_EQ(textOf(destination, folderEdit), defaultFolder);
    EXPECT_EQ(textOf(destination, 1003), "Destination folder");
    EXPECT_EQ(textOf(destination, 1005), "Required free space:");
    EXPECT_EQ(textOf(destination, 1006), "Available free space on disc C:");
    EXPECT_EQ(textOf(destination, 1007), "0 Kb") << "two small files need less than 1 KiB";
    std::string free = textOf(destination, 1008);
    EXPECT_TRUE(free.size() > 3 && (free.substr(free.size() - 3) == " Mb" || free.substr(free.size() - 3) == " Kb"))
        << free;
    EXPECT_EQ(wizard.frame().text(browse).value_or(""), "&Browse...");
    wizard.setText(folderEdit, "C:\\Typed Folder\\");
    wizard.click(next);

    std::optional<DialogDump> menu = wizard.page("Select Programs Menu Folder");
    EXPECT_EQ(textOf(menu, folderEdit), "Velkorin Wizard");
    EXPECT_EQ(textOf(menu, 1003), "Create the program group");
    EXPECT_EQ(textOf(menu, 1004), "Create shortcuts on the Desktop");
    std::vector<std::string> groups = wizard.items(folderList);
    EXPECT_EQ(std::count(groups.begin(), groups.end(), "Velkorin Wizard"), 1) << "the group is listed once";
    wizard.setText(folderEdit, "Typed Group");
    wizard.click(back);

    destination = wizard.page("Select Application Folder");
    EXPECT_EQ(textOf(destination, folderEdit), "C:\\Typed Folder") << "Back keeps the typed folder, one slash less";
    wizard.setText(folderEdit, defaultFolder);
    wizard.click(next);
    menu = wizard.page("Select Programs Menu Folder");
    EXPECT_EQ(textOf(menu, folderEdit), "Typed Group") << "leaving by Back stored the typed group";
    wizard.setText(folderEdit, "Velkorin Wizard");
    wizard.click(next);
}

TEST_F(WizardWalk, EveryPageWithNextAndBackInstallsWhatTheSilentInstallDoes) {
    WizardPackage package;
    package.pages = everyPage;
    std::string setup = buildWizardPackage(wine, package, "walk");
    ASSERT_FALSE(setup.empty());

    PrefixState before = prefixState(wine);
    WindowsRun silent = wine.runWatched(setup, {"S"}, 60s);
    ASSERT_TRUE(silent.ended) << describe(silent.driver);
    ASSERT_EQ(silent.exitCode, 0u);
    PrefixState silentlyInstalled = prefixState(wine);
    std::vector<std::string> silentChanges = added(before, silentlyInstalled);
    ASSERT_FALSE(silentChanges.empty());
    removeAdded(wine, before, silentlyInstalled);
    PrefixState cleared = prefixState(wine);
    expectSameLines({}, added(before, cleared), "the silent installation was not cleared");
    ASSERT_FALSE(HasFailure());

    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    walkLanguagePages(wizard);
    wizard.click(next);
    std::optional<DialogDump> welcome = wizard.page("Welcome to the Velkorin Wizard 1.0 Setup Wizard");
    EXPECT_EQ(textOf(welcome, 1002), "This wizard will install Velkorin Wizard 1.0 on your computer.");
    EXPECT_EQ(textOf(welcome, 1006), "Click Next to continue, or Cancel to exit Setup.");
    EXPECT_EQ(wizard.frame().text(back).value_or(""), "< &Back");
    wizard.click(next);

    std::optional<DialogDump> licence = wizard.page("License Agreement");
    EXPECT_NE(textOf(licence, richEdit).find("The wizard test licence: use it freely."), std::string::npos)
        << "the RTF licence, as text: " << textOf(licence, richEdit);
    DialogDump frame = wizard.frame();
    EXPECT_EQ(frame.text(next).value_or(""), "&Yes");
    EXPECT_EQ(frame.text(cancel).value_or(""), "&No");
    wizard.click(next);
    std::optional<DialogDump> readme = wizard.page("Readme Information");
    EXPECT_EQ(textOf(readme, richEdit).substr(0, 34), "Readme of the wizard test package.");
    wizard.click(next);

    walkFolderPages(wizard);
    wizard.page("Ready To Install");
    EXPECT_EQ(wizard.frame().text(next).value_or(""), "&Install");
    wizard.click(next);
    std::optional<DialogDump> finish = wizard.page("Installation Completed", 60s);
    EXPECT_EQ(textOf(finish, 1002), "Setup has finished installing Velkorin Wizard 1.0 on your computer.");
    EXPECT_EQ(wizard.frame().text(cancel).value_or(""), "Finish");
    wizard.click(cancel);
    WindowsRun ended = wizard.finish();
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, 0u) << "installed";

    expectSameLines(silentChanges, added(cleared, prefixState(wine)), "the wizard's installation against the silent one");
}

}  // namespace
}  // namespace e2e
