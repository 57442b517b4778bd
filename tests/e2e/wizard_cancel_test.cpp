// wizard_cancel_test.cpp -- Cancel on every page before installing (the question; Yes leaves
// nothing behind, No goes on), the licence declined, Cancel while installing (rollback), and
// the destination checks reached from the real page with their exact messages.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "checkpoint_tally.h"
#include "e2e_config.h"
#include "wizard_driving.h"

namespace e2e {
namespace {

using namespace wizard;

const unsigned long exitCancelled = 1;
const char caption[] = "Velkorin Wizard 1.0 Setup";
const char everyPage[] = "language = true\nwelcome = true\nlicense = true\nreadme = true\ndestination = true\n"
                         "start_menu = true\nready = true\ninstalling = true\nfinish = true\n";
const char quitQuestion[] =
    "Setup is not complete. If you quit the setup program now, the application will not be installed.  \nYou may "
    "run the setup program the later time to complete the installation.  \n \nAre you sure you want to quit the "
    "setup?";
const char quitWhileInstalling[] =
    "Setup is not complete. If you quit the setup program now, \nthe application may not be installed correctly. "
    "You may run  \nthe setup program at the later time to complete the installation.  \n \nAre you sure you want "
    "to quit the setup?";
// The page titles in the order Next shows them.
const char* const titles[] = {"Select Language",         "Welcome to the Velkorin Wizard 1.0 Setup Wizard",
                              "License Agreement",       "Readme Information",
                              "Select Application Folder", "Select Programs Menu Folder",
                              "Ready To Install"};
const int pageCount = sizeof(titles) / sizeof(titles[0]);

class WizardCancel : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();
    static inline std::string setup;

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        if (!setup.empty()) return;
        WizardPackage package;
        package.pages = everyPage;
        package.largeFiles = 48;  // 12 MiB: the installation lasts long enough to be cancelled
        setup = buildWizardPackage(wine, package, "cancel");
        ASSERT_FALSE(setup.empty());
        // Start-up leaves traces on a fresh prefix (the special folders it makes): a first run,
        // cancelled on its first page, makes them before any snapshot.
        WizardRun first(wine, caption);
        if (first.start(setup)) cancelOnPage(first, quitQuestion);
    }

    // Next until the page with this index is shown.
    void walkTo(WizardRun& wizard, int index) {
        for (int i = 0; i < index; ++i) {
            wizard.page(titles[i]);
            wizard.click(next);
        }
        wizard.page(titles[index]);
    }

    // The question of a Cancel while installing, Yes, the run's end with exit code 1 and the
    // prefix compared with its snapshot; returns the prefix as the rollback left it.
    PrefixState rollBackAndCompare(WizardRun& wizard, const std::optional<DialogDump>& box, const PrefixState& before) {
        EXPECT_TRUE(box) << "no question";
        if (box) {
            EXPECT_EQ(box->text(messageTextId).value_or("<no text>"), quitWhileInstalling);
            wizard.answer(*box, boxYes);
        }
        WindowsRun ended = wizard.finish();
        EXPECT_TRUE(ended.ended) << describe(ended.driver);
        EXPECT_EQ(ended.exitCode, exitCancelled);
        PrefixState after = prefixState(wine);
        expectSameLines({}, added(before, after), "left behind after the rollback");
        expectSameLines({}, removed(before, after), "lost by the rollback");
        return after;
    }

    // Cancel, the question with its text, Yes, and the run's end with exit code 1.
    void cancelOnPage(WizardRun& wizard, const std::string& question) {
        wizard.click(cancel);
        std::optional<DialogDump> box = wizard.box();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text(messageTextId).value_or("<no text>"), question);
        wizard.answer(*box, boxYes);
        WindowsRun ended = wizard.finish();
        ASSERT_TRUE(ended.ended) << describe(ended.driver);
        EXPECT_EQ(ended.exitCode, exitCancelled);
    }
};

TEST_F(WizardCancel, CancelOnEveryPageBeforeInstallingLeavesThePrefixAsItWas) {
    PrefixState before = prefixState(wine);
    for (int index = 0; index < pageCount; ++index) {
        SCOPED_TRACE(titles[index]);
        WizardRun wizard(wine, caption);
        ASSERT_TRUE(wizard.start(setup));
        walkTo(wizard, index);
        cancelOnPage(wizard, quitQuestion);
    }
    PrefixState after = prefixState(wine);
    expectSameLines({}, added(before, after), "left behind");
    expectSameLines({}, removed(before, after), "lost");
}

TEST_F(WizardCancel, NoToTheQuestionGoesOnWhereTheUserWas) {
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    walkTo(wizard, 4);
    wizard.setText(folderEdit, "C:\\Kept Folder");
    wizard.click(cancel);
    std::optional<DialogDump> box = wizard.box();
    ASSERT_TRUE(box);
    wizard.answer(*box, boxNo);
    std::optional<DialogDump> page = wizard.page("Select Application Folder", 2s);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->text(folderEdit).value_or(""), "C:\\Kept Folder") << "the page stayed as it was";
    cancelOnPage(wizard, quitQuestion);
}

TEST_F(WizardCancel, DecliningTheLicenceInstallsNothing) {
    PrefixState before = prefixState(wine);
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    walkTo(wizard, 2);
    EXPECT_EQ(wizard.frame().text(cancel).value_or(""), "&No") << "declining is the Cancel button";
    cancelOnPage(wizard, quitQuestion);
    expectSameLines({}, added(before, prefixState(wine)), "left behind");
}

TEST_F(WizardCancel, CancelWhileInstallingRollsBackToTheSnapshot) {
    PrefixState before = prefixState(wine);
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    walkTo(wizard, pageCount - 1);
    // One driver run: Install, then Cancel as soon as the installing page is there.
    wine.driver({"wait-dialog", caption, "1000", "click", std::to_string(next), "wait-page", "Installing...", "15000",
                 "click", std::to_string(cancel)});
    rollBackAndCompare(wizard, wizard.box(), before);
}

// The user's Cancel on the installing page, answered Yes while the worker stands at each of its
// check points in turn (the check-point test build holds it there until the test lets it go,
// with the question open): after the rollback the prefix equals its snapshot. The run in which
// the held check point is never reached is the complete installation, which ends the walk.
TEST_F(WizardCancel, CancelAtEveryCheckPointOfTheInstallationRollsBackToTheSnapshot) {
    ASSERT_TRUE(std::filesystem::exists(config::checkpointStub())) << config::checkpointStub();
    WizardPackage package;
    package.name = "Velkorin Held";
    package.pages = "language = false\nwelcome = false\nlicense = false\nreadme = false\ndestination = false\n"
                    "start_menu = false\nready = true\ninstalling = true\nfinish = true\n";
    package.stub = config::checkpointStub();
    std::string held = buildWizardPackage(wine, package, "held");
    ASSERT_FALSE(held.empty());
    const std::string heldCaption = "Velkorin Held 1.0 Setup";
    PrefixState before = prefixState(wine);
    unsigned cancelled = 0;
    bool completed = false;
    for (unsigned hold = 1; hold <= 60 && !completed; ++hold) {
        SCOPED_TRACE("held at check point " + std::to_string(hold));
        std::filesystem::path tally = wine.scratch() / ("hold-tally-" + std::to_string(hold) + ".txt");
        std::filesystem::path release = wine.scratch() / ("hold-release-" + std::to_string(hold));
        WizardRun wizard(wine, heldCaption);
        ASSERT_TRUE(wizard.startWithEnvironment(
            held, {{"VELKORIN_CHECKPOINT_HOLD", std::to_string(hold)},
                   {"VELKORIN_CHECKPOINT_TALLY", WineSession::windowsPathOf(tally)},
                   {"VELKORIN_CHECKPOINT_RELEASE", WineSession::windowsPathOf(release)}}));
        ASSERT_TRUE(wizard.page("Ready To Install"));
        wizard.click(next);
        // Until the worker holds, or the installation has run past every check point.
        auto deadline = std::chrono::steady_clock::now() + config::scaled(30s);
        bool holding = false, finished = false;
        while (!finished && std::chrono::steady_clock::now() < deadline) {
            holding = readTally(tally).held == hold;
            if (holding) break;
            finished = wine.driver({"use", wizard.frameHandle(), "wait-page", "Installation Completed", "50"}).exitCode == 0;
        }
        if (!holding) {
            ASSERT_TRUE(finished) << "the worker neither held nor finished";
            completed = true;
            wizard.click(cancel);
            EXPECT_EQ(wizard.finish().exitCode, 0u) << "the complete installation";
            removeAdded(wine, before, prefixState(wine));
            break;
        }
        wizard.click(cancel);
        std::optional<DialogDump> box = wizard.box();
        std::ofstream(release) << "go\n";  // the worker goes on to the check point's wait
        PrefixState after = rollBackAndCompare(wizard, box, before);
        removeAdded(wine, before, after);  // the next run starts from the snapshot whatever this one left
        ++cancelled;
    }
    EXPECT_TRUE(completed) << "a run passed every check point";
    // The group, the folders and files, two shortcuts, the registry values and the finishing step.
    EXPECT_GE(cancelled, 8u) << "check points cancelled at";
}

TEST_F(WizardCancel, EnterGoesOnAndEscapeAsksTheCancelQuestion) {
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    wizard.page(titles[0]);
    wine.driver({"wait-dialog", caption, "1000", "key", std::to_string(0x0D)});  // Enter
    ASSERT_TRUE(wizard.page(titles[1], 5s)) << "Enter is Next";
    wine.driver({"wait-dialog", caption, "1000", "key", std::to_string(0x1B)});  // Esc
    std::optional<DialogDump> box = wizard.box(5s);
    ASSERT_TRUE(box) << "Esc is Cancel";
    EXPECT_EQ(box->text(messageTextId).value_or("<no text>"), quitQuestion);
    wizard.answer(*box, boxYes);
    WindowsRun ended = wizard.finish();
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, exitCancelled);
}

// Types the folder, presses Next and expects the box with this text; the page stays.
void expectRefused(WizardRun& wizard, const std::string& folder, const std::string& text) {
    SCOPED_TRACE(folder);
    wizard.setText(folderEdit, folder);
    wizard.click(next);
    std::optional<DialogDump> box = wizard.box();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(messageTextId).value_or("<no text>"), text);
    wizard.answer(*box, boxOk);
    EXPECT_EQ(wizard.page("Select Application Folder", 2s).value_or(DialogDump{}).text(folderEdit).value_or(""), folder);
}

TEST_F(WizardCancel, DestinationChecksShowTheirMessagesAndKeepThePage) {
    // A folder without the right to add files or folders (its Unix mode decides under Wine).
    std::filesystem::path locked = wine.hostPath("C:\\Locked");
    std::filesystem::create_directories(locked);
    std::filesystem::permissions(locked, std::filesystem::perms(0555));
    // Drive D: with 256 KiB (the package needs 12 MiB), linked before the program starts: a
    // running process keeps the drives it found.
    std::filesystem::path small = wine.scratch() / "small-drive";
    std::filesystem::create_directories(small);
    bool drive = mount("tmpfs", small.c_str(), "tmpfs", 0, "size=262144") == 0;
    if (drive) {
        std::filesystem::path link = wine.prefix() / "dosdevices" / "d:";
        std::filesystem::remove(link);
        std::filesystem::create_directory_symlink(small, link);
        // One file (one 4 KiB page of the drive): the root of an empty drive lists no entry at
        // all, which the disk line takes for a drive that is not there.
        std::ofstream(small / "marker.txt") << "x";
    }
    WizardRun wizard(wine, caption);
    ASSERT_TRUE(wizard.start(setup));
    walkTo(wizard, 4);
    expectRefused(wizard, "Program Files\\Tool",
                  "The installation path is not valid! It must be a full path  \nincluding a drive specification and "
                  "the directory path  \nstarting from the root.");
    expectRefused(wizard, "Q:\\Tool", "The target drive is not exists.");
    expectRefused(wizard, "C:\\Locked",
                  "Insufficient access rights to create files in the specified folder.  \nYou can not install the "
                  "application in that folder.");
    expectRefused(wizard, "C:\\Locked\\Tool",
                  "Insufficient access rights to create subfolders in a folder 'C:\\Locked'.  \nYou can not install "
                  "the application in the specified folder.");
    if (drive) {
        expectRefused(wizard, "D:\\Tool", "It is not enough free space on the target drive.");
        std::optional<DialogDump> page = wizard.page("Select Application Folder", 2s);
        EXPECT_EQ(page.value_or(DialogDump{}).text(1006).value_or(""), "Available free space on disc D:");
        EXPECT_EQ(page.value_or(DialogDump{}).text(1008).value_or(""), "252 Kb");
        EXPECT_EQ(page.value_or(DialogDump{}).text(1007).value_or(""), "12288 Kb");
    } else {
        ADD_FAILURE() << "cannot mount a small drive (the e2e tests run as root)";
    }
    std::filesystem::permissions(locked, std::filesystem::perms(0755));
    cancelOnPage(wizard, quitQuestion);
    if (drive) {
        std::filesystem::remove(wine.prefix() / "dosdevices" / "d:");
        umount(small.c_str());
    }
}

}  // namespace
}  // namespace e2e
