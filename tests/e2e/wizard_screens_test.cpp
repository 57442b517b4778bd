// wizard_screens_test.cpp -- every page of both dialog sets photographed and measured (no
// control outside its page, none overlapping another), the finish page's variants, and the
// background window's gradient and texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "e2e_config.h"
#include "wizard_driving.h"

namespace e2e {
namespace {

using namespace wizard;

const char caption[] = "Velkorin Wizard 1.0 Setup";
const char everyPage[] = "language = true\nwelcome = true\nlicense = true\nreadme = true\ndestination = true\n"
                         "start_menu = true\nready = true\ninstalling = true\nfinish = true\n";
const char offers[] = "finish_program = \"%InstallPath%\\\\docs\\\\guide.txt\"\n"
                      "finish_readme = \"%InstallPath%\\\\readme.txt\"\n";

struct PageShot {
    const char* name;
    const char* title;         // the English title the page shows
    const char* compactTitle;  // the compact set's, where it differs
};
const PageShot pages[] = {{"language", "Select Language", nullptr},
                          {"welcome", "Welcome to the Velkorin Wizard 1.0 Setup Wizard", "Welcome to the Setup Program"},
                          {"license", "License Agreement", nullptr},
                          {"readme", "Readme Information", nullptr},
                          {"destination", "Select Application Folder", nullptr},
                          {"start-menu", "Select Programs Menu Folder", nullptr},
                          {"ready", "Ready To Install", nullptr}};

bool inside(const PlacedControl& outer, const PlacedControl& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool overlap(const PlacedControl& a, const PlacedControl& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string describe(const PlacedControl& c) {
    std::ostringstream text;
    text << c.id << " (" << c.className << " " << c.left << "," << c.top << "-" << c.right << "," << c.bottom << ")";
    return text.str();
}

// Every visible control lies within the page and overlaps no other, but for the controls that a
// group box frames.
void expectTidyLayout(const std::vector<PlacedControl>& controls, const std::string& label) {
    ASSERT_FALSE(controls.empty()) << label;
    const PlacedControl& page = controls.front();
    std::vector<PlacedControl> shown;
    for (size_t i = 1; i < controls.size(); ++i)
        if (controls[i].visible && controls[i].right > controls[i].left && controls[i].bottom > controls[i].top)
            shown.push_back(controls[i]);
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_TRUE(inside(page, shown[i])) << label << ": outside the page " << describe(page) << ": " << describe(shown[i]);
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const PlacedControl &a = shown[i], &b = shown[j];
            bool framed = (a.className == "Button" && inside(a, b)) || (b.className == "Button" && inside(b, a));
            EXPECT_TRUE(framed || !overlap(a, b)) << label << ": " << describe(a) << " overlaps " << describe(b);
        }
    }
}

const PlacedControl* placed(const std::vector<PlacedControl>& controls, int id) {
    for (const PlacedControl& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

class WizardScreens : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }

    // Next through every page of a set, each photographed and measured, then Finish.
    void photographSet(const std::string& set, bool compact) {
        WizardPackage package;
        package.pages = everyPage;
        package.product = offers;
        package.more = compact ? "[appearance]\ncompact_dialogs = true\n" : "";
        std::string setup = buildWizardPackage(wine, package, "screens-" + set);
        ASSERT_FALSE(setup.empty());
        WizardRun wizard(wine, caption);
        ASSERT_TRUE(wizard.start(setup));
        for (const PageShot& shot : pages) {
            std::string name = "wizard-" + set + "-" + shot.name;
            ASSERT_TRUE(wizard.page(compact && shot.compactTitle ? shot.compactTitle : shot.title)) << name;
            wizard.screenshot(name);
            expectTidyLayout(wizard.layout(), name);
            wizard.click(next);
        }
        std::optional<DialogDump> finish = wizard.page("Installation Completed", 60s);
        ASSERT_TRUE(finish);
        wizard.screenshot("wizard-" + set + "-finish");
        std::vector<PlacedControl> layout = wizard.layout();
        expectTidyLayout(layout, set + " finish");
        for (int box : {1004, 1005}) {
            const PlacedControl* offer = placed(layout, box);
            ASSERT_TRUE(offer) << box;
            EXPECT_TRUE(offer->visible && offer->checked) << "offer " << box << " is shown checked";
            wizard.click(box);  // unticked: nothing is opened at the end
        }
        wizard.click(cancel);
        WindowsRun ended = wizard.finish();
        ASSERT_TRUE(ended.ended);
        EXPECT_EQ(ended.exitCode, 0u);
    }
};

TEST_F(WizardScreens, FullSizeSetEveryPage) { photographSet("full", false); }

TEST_F(WizardScreens, CompactSetEveryPage) { photographSet("compact", true); }

TEST_F(WizardScreens, FinishPageWithOnlyTheProgramOfferPutsItOnTop) {
    WizardPackage package;
    package.name = "Velkorin Offer";
    package.pages = "welcome = false\ndestination = false\nready = false\n";
    package.product = "finish_program = \"%InstallPath%\\\\docs\\\\guide.txt\"\n";
    std::string setup = buildWizardPackage(wine, package, "offer");
    ASSERT_FALSE(setup.empty());
    WizardRun wizard(wine, "Velkorin Offer 1.0 Setup");
    ASSERT_TRUE(wizard.start(setup));
    ASSERT_TRUE(wizard.page("Installation Completed", 60s));
    std::vector<PlacedControl> layout = wizard.layout();
    const PlacedControl *program = placed(layout, 1004), *readme = placed(layout, 1005), *restart = placed(layout, 1006);
    ASSERT_TRUE(program && readme && restart);
    EXPECT_TRUE(program->visible && program->checked);
    EXPECT_FALSE(readme->visible);
    EXPECT_FALSE(restart->visible);
    EXPECT_EQ(program->top, readme->top) << "the program box takes the upper place";
    EXPECT_EQ(program->left, readme->left);
    wizard.click(1004);
    wizard.click(cancel);
    WindowsRun ended = wizard.finish();
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, 0u);
}

TEST_F(WizardScreens, FinishPageWithARestartPendingOffersOnlyTheRestart) {
    WizardPackage package;
    package.name = "Velkorin Restart";
    package.pages = "welcome = false\ndestination = false\nready = false\n";
    package.product = std::string(offers) + "restart = true\n";
    std::string setup = buildWizardPackage(wine, package, "restart");
    ASSERT_FALSE(setup.empty());
    WizardRun wizard(wine, "Velkorin Restart 1.0 Setup");
    ASSERT_TRUE(wizard.start(setup));
    std::optional<DialogDump> finish = wizard.page("Installation Completed", 60s);
    ASSERT_TRUE(finish);
    wizard.screenshot("wizard-full-finish-restart");
    EXPECT_EQ(finish->text(1006).value_or(""), "Restart the computer");
    std::vector<PlacedControl> layout = wizard.layout();
    expectTidyLayout(layout, "restart finish");
    const PlacedControl *program = placed(layout, 1004), *readme = placed(layout, 1005), *restart = placed(layout, 1006),
                        *note = placed(layout, 1008);
    ASSERT_TRUE(program && readme && restart && note);
    EXPECT_FALSE(program->visible) << "no launch offer while a restart is pending";
    EXPECT_FALSE(readme->visible);
    EXPECT_TRUE(restart->visible && restart->checked);
    EXPECT_TRUE(note->visible);
    // Unticked: no restart now, the reminder names the product, and the restart stays pending.
    wizard.click(1006);
    wizard.click(cancel);
    std::optional<DialogDump> reminder = wizard.box(30s);
    ASSERT_TRUE(reminder);
    EXPECT_EQ(reminder->text(messageTextId).value_or(""),
              "Please be sure to restart your system before using the Velkorin Restart.");
    wizard.answer(*reminder, boxOk);
    WindowsRun ended = wizard.finish();
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, 3010u) << "installed, the restart still pending";
}

// The colours ("#RRGGBB") that a rectangle of a picture holds.
std::set<std::string> coloursIn(WineSession& wine, const std::filesystem::path& picture, int x, int y, int w, int h) {
    std::ostringstream crop;
    crop << w << "x" << h << "+" << x << "+" << y;
    ProcessResult result = runProcess({"convert", picture.string(), "-crop", crop.str(), "+repage", "-depth", "8",
                                       "-unique-colors", "txt:-"},
                                      30s, wine.scratch());
    std::set<std::string> colours;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        size_t hash = line.find('#');
        if (line[0] != '#' && hash != std::string::npos) colours.insert(line.substr(hash, 7));
    }
    return colours;
}

TEST_F(WizardScreens, BackgroundWindowGradientTextsAndClose) {
    WizardPackage package;
    package.name = "Velkorin Backdrop";
    package.more = "[background]\ntop_color = \"#2040A0\"\nbottom_color = \"#000010\"\n\n"
                   "[[background.texts]]\ntext = \"Backdrop Top\"\nx = 30\ny = 20\nfont = \"Tahoma\"\nsize = 30\n"
                   "weight = 7\ncolor = \"#FFFFFF\"\n\n"
                   "[[background.texts]]\ntext = \"Backdrop Bottom\"\nhorizontal = \"right\"\nvertical = \"bottom\"\n"
                   "x = 40\ny = 25\nfont = \"Tahoma\"\nsize = 20\nweight = 7\ncolor = \"#FFFF00\"\n";
    std::string setup = buildWizardPackage(wine, package, "backdrop");
    ASSERT_FALSE(setup.empty());
    WizardRun wizard(wine, "Velkorin Backdrop 1.0 Setup");
    ASSERT_TRUE(wizard.start(setup));
    ASSERT_TRUE(wizard.page("*"));
    wizard.screenshot("background-window");
    std::filesystem::path picture = wine.screenshot("measured");
    ASSERT_FALSE(picture.empty()) << "no picture of the display";
    // The display is 1024 x 768 and the window without a caption covers it.
    EXPECT_EQ(coloursIn(wine, picture, 0, 0, 1024, 1), std::set<std::string>{"#2040A0"}) << "top row";
    EXPECT_EQ(coloursIn(wine, picture, 0, 767, 1024, 1), std::set<std::string>{"#000010"}) << "bottom row";
    // The top text starts 30 pixels from the left and 20 from the top; the bottom one ends 40
    // pixels from the right and 25 from the bottom.
    EXPECT_EQ(coloursIn(wine, picture, 30, 20, 200, 40).count("#FFFFFF"), 1u) << "the top text where its anchor puts it";
    EXPECT_EQ(coloursIn(wine, picture, 0, 0, 1024, 20).count("#FFFFFF"), 0u) << "nothing above the top text";
    EXPECT_EQ(coloursIn(wine, picture, 0, 0, 30, 200).count("#FFFFFF"), 0u) << "nothing left of the top text";
    EXPECT_EQ(coloursIn(wine, picture, 1024 - 40 - 200, 768 - 25 - 30, 200, 30).count("#FFFF00"), 1u)
        << "the bottom text where its anchor puts it";
    EXPECT_EQ(coloursIn(wine, picture, 1024 - 40, 500, 40, 268).count("#FFFF00"), 0u) << "nothing right of it";
    EXPECT_EQ(coloursIn(wine, picture, 500, 768 - 25, 524, 25).count("#FFFF00"), 0u) << "nothing below it";

    // Closing the background window is the wizard's Cancel, with its question.
    wine.driver({"syscommand", "VelkorinBGWindow", "0xF060"});
    std::optional<DialogDump> question = wizard.box();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text(messageTextId).value_or("").substr(0, 30), "Setup is not complete. If you ");
    wizard.answer(*question, boxYes);
    WindowsRun ended = wizard.finish();
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, 1u) << "cancelled";
}

}  // namespace
}  // namespace e2e
