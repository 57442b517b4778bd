// removal_questions_test.cpp -- the uninstaller window's questions, driven from outside: a file
// in use (retry declined, deleted at the restart, never listed as a leftover, the restart
// question declined: exit 3010), the compact window set with its leftover tree, Enter and Esc,
// Cancel's stop question (No goes on, Yes stops between entries; the copy still goes), and the
// leftover tree's read-only question (Yes deletes the file, No keeps it).
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "removal_support.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char installPath[] = "C:\\Program Files\\Velkorin Removal";
const char sharedFolder[] = "C:\\Program Files\\Common Files\\Velkorin Removal Shared";
const char uninstaller[] = "C:\\Program Files\\Velkorin Removal\\uninstall.exe";
const char caption[] = "Velkorin Removal Uninstall";
const char pendingKey[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
const char compactLook[] = "[appearance]\ncompact_dialogs = true\n";
const char stopQuestion[] =
    "The uninstall procedure is not complete. \nIf you quit now, the program will not be uninstalled properly. "
    "\n\nAre you sure you want to quit?";
const char leftoverExplanation[] =
    "Some folders contain files which was not created by this installation and can not be deleted automatically. "
    "Select a check box near a file or a folder you want to delete and then click 'Delete' button.";

class RemovalQuestions : public ::testing::Test {
protected:
    static void SetUpTestSuite() { prepareForPictures(WineSession::current()); }
    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
    void TearDown() override {
        std::filesystem::remove_all(wine.hostPath(installPath));
        std::filesystem::remove_all(wine.hostPath(sharedFolder));
    }
    static std::chrono::milliseconds scaled(std::chrono::milliseconds time) { return config::scaled(time); }
    // Starts the uninstaller, answers its confirmation with Yes and returns the window's dump.
    std::optional<DialogDump> confirmAndWaitForWindow() {
        BackgroundRun first = wine.start(uninstaller, {}, scaled(60s));
        std::optional<DialogDump> question = wine.waitDialog(caption, scaled(30s));
        if (!question) return std::nullopt;
        wine.driver({"use", question->handle, "click", "6", "wait-gone", "5000"});
        EXPECT_EQ(first.wait(scaled(30s)).exitCode, 0u) << "handed over to the temporary copy";
        return wine.waitDialog(caption, scaled(30s));
    }
    // The stop question has the window's own caption: it is looked for as a message box.
    std::optional<DialogDump> stopQuestionBox() { return wine.waitBox(caption, 10s); }
    // Answers the shared-file question with Yes (the file goes).
    void removeSharedFile() {
        std::optional<DialogDump> shared = wine.waitDialog("Shared File Detected", scaled(30s));
        ASSERT_TRUE(shared) << "no shared-file question";
        wine.driver({"use", shared->handle, "click", "1", "wait-gone", "5000"});
    }
    void writeText(const std::string& path, const std::string& text) {
        wine.writeFile(path, Bytes(text.begin(), text.end()));
    }
    WineSession& wine = WineSession::current();
};

TEST_F(RemovalQuestions, AFileInUseIsAskedAboutThenDeletedAtTheRestartAndTheDeclinedRestartExits3010) {
    ASSERT_EQ(installProject(wine, "removal", {{config::driver(), "holder.exe"}}), "");
    std::string holder = std::string(installPath) + "\\holder.exe";
    writeText(std::string(installPath) + "\\notes.txt", "my own notes\r\n");
    // It holds its own file until the test lets it go (the marker), or 40 s at the longest.
    const std::filesystem::path release = wine.scratch() / "release-holder";
    BackgroundRun held = wine.start(
        holder, {"wait-file", WineSession::windowsPathOf(release), std::to_string(40000 * config::timeScale())}, 90s);
    std::this_thread::sleep_for(3s);
    std::optional<DialogDump> window = confirmAndWaitForWindow();
    ASSERT_TRUE(window) << "no uninstaller window";
    removeSharedFile();

    std::optional<DialogDump> inUse = wine.waitDialog("Deleting File", scaled(30s));
    ASSERT_TRUE(inUse) << "no in-use question";
    EXPECT_EQ(inUse->text(0xFFFF).value_or(""),
              "The file " + holder +
                  " \nis currently in use by another application.\nWould you like to try deleting the file again, "
                  "rather than \ninitiating a reboot at the end of the uninstallation process?");
    wine.screenshot("in-use-question");
    wine.driver({"use", inUse->handle, "click", "6", "wait-gone", "5000"});
    std::optional<DialogDump> again = wine.waitDialog("Deleting File", scaled(30s));
    ASSERT_TRUE(again) << "Yes tries again: the file is still held, so the question comes back";
    wine.driver({"use", again->handle, "click", "7", "wait-gone", "5000"});

    // The folder's placeholder child (its expand button) comes just after the folder.
    std::string tree = waitForLeftoverTree(wine, window->handle, "\nitem\t1\t");
    EXPECT_EQ(tree, std::string("visible\t1\nitem\t0\t1\t") + "C:\\\\Program Files\\\\Velkorin Removal\nitem\t1\t0\t\n")
        << "the folder stays for the user's file";
    wine.driver({"use", window->handle, "expand", "1026", "C:\\Program Files\\Velkorin Removal"});
    std::string expanded;
    for (int wait = 0; wait < 50 && expanded.find("notes.txt") == std::string::npos; ++wait) {
        std::this_thread::sleep_for(100ms);
        expanded = waitForLeftoverTree(wine, window->handle);
    }
    EXPECT_NE(expanded.find("\tnotes.txt\n"), std::string::npos) << expanded;
    EXPECT_EQ(expanded.find("holder.exe"), std::string::npos) << "a file deleted at the restart is not listed";

    wine.driver({"use", window->handle, "click", "1012", "wait-gone", "10000"});
    std::optional<DialogDump> restart = wine.waitDialog(caption, scaled(30s));
    ASSERT_TRUE(restart) << "no restart question";
    EXPECT_EQ(restart->text(0xFFFF).value_or(""),
              "To complete the uninstallation your computer must be restarted. \nSome files are in use and can be "
              "deleted during system reboot only. \n\nRestart the system now?");
    // The box belongs to the temporary copy, which the first stage started: the driver takes
    // that process over to learn its exit code.
    WindowsRun secondStage = parseRun(wine.driver(
        {"use", restart->handle, "adopt", "click", "7", "wait-exit", std::to_string(30000 * config::timeScale())},
        scaled(40s)));
    ASSERT_TRUE(secondStage.ended) << describe(secondStage.driver);
    EXPECT_EQ(secondStage.exitCode, 3010u) << "removed, the restart declined and still pending";
    std::optional<RegistryValue> pending = wine.registryValue(pendingKey, "PendingFileRenameOperations");
    ASSERT_TRUE(pending) << "the held file is scheduled for deletion at restart";
    EXPECT_NE(pending->data.find("holder.exe"), std::string::npos) << pending->data;
    EXPECT_TRUE(wine.readFile(holder)) << "still there until the restart";
    std::ofstream(release) << "go\n";
    held.wait(scaled(60s));
    wine.wine({"wineboot", "-r"}, scaled(60s));
    EXPECT_FALSE(wine.readFile(holder)) << "the restart deleted it";
}

TEST_F(RemovalQuestions, ATickedReadOnlyFileIsAskedAboutYesDeletesItNoKeepsIt) {
    ASSERT_EQ(installProject(wine, "removal"), "");
    const std::string folder = installPath, kept = folder + "\\kept.txt";
    const std::string keptReadOnly = folder + "\\readonly-no.txt", deletedReadOnly = folder + "\\readonly-yes.txt";
    for (const std::string& file : {kept, keptReadOnly, deletedReadOnly}) writeText(file, "the user's own\r\n");
    // Wine shows a file without write permission as read-only.
    for (const std::string& file : {keptReadOnly, deletedReadOnly})
        std::filesystem::permissions(wine.hostPath(file), std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);
    std::optional<DialogDump> window = confirmAndWaitForWindow();
    ASSERT_TRUE(window) << "no uninstaller window";
    removeSharedFile();
    std::string tree = waitForLeftoverTree(wine, window->handle);
    if (tree.empty()) wine.screenshot("no-tree");
    ASSERT_NE(tree, "") << "no leftover tree: " << wine.driver({"use", window->handle, "dump"}).output;

    wine.driver({"use", window->handle, "expand", "1026", folder});
    std::string expanded;
    for (int wait = 0; wait < 50 && expanded.find("readonly-yes.txt") == std::string::npos; ++wait) {
        expanded = waitForLeftoverTree(wine, window->handle);
        if (expanded.find("readonly-yes.txt") == std::string::npos) std::this_thread::sleep_for(100ms);
    }
    const std::string top = "item\t0\t1\tC:\\\\Program Files\\\\Velkorin Removal\n";
    EXPECT_EQ(expanded, "visible\t1\n" + top + "item\t1\t1\tkept.txt\nitem\t1\t1\treadonly-no.txt\n"
                        "item\t1\t1\treadonly-yes.txt\n")
        << "the files inherit the folder's tick";

    // Clearing one file clears its folder: Delete then goes file by file.
    ProcessResult tick = wine.driver({"use", window->handle, "tick", "1026", "kept.txt"});
    ASSERT_EQ(tick.exitCode, 0) << tick.errors;
    std::string cleared;
    for (int wait = 0; wait < 30; ++wait) {
        cleared = waitForLeftoverTree(wine, window->handle);
        if (cleared.find("\t0\tkept.txt") != std::string::npos) break;
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(cleared, "visible\t1\nitem\t0\t0\tC:\\\\Program Files\\\\Velkorin Removal\nitem\t1\t0\tkept.txt\n"
                       "item\t1\t1\treadonly-no.txt\nitem\t1\t1\treadonly-yes.txt\n");
    wine.screenshot("read-only-ticked");

    wine.driver({"use", window->handle, "click", "1011"});
    std::optional<DialogDump> confirm = wine.waitDialog("Confirm Operation", scaled(10s));
    ASSERT_TRUE(confirm) << "no delete confirmation";
    wine.driver({"use", confirm->handle, "click", "6", "wait-gone", "5000"});
    std::optional<DialogDump> first = wine.waitDialog("Deleting File", scaled(10s));
    ASSERT_TRUE(first) << "no read-only question";
    EXPECT_EQ(first->text(0xFFFF).value_or(""),
              "The file " + keptReadOnly + " \nis a read-only file. Delete anyway?");
    wine.screenshot("read-only-question");
    wine.driver({"use", first->handle, "click", "7", "wait-gone", "5000"});
    std::optional<DialogDump> second = wine.waitDialog("Deleting File", scaled(10s));
    ASSERT_TRUE(second && second->handle != first->handle) << "no question for the second read-only file";
    EXPECT_EQ(second->text(0xFFFF).value_or(""),
              "The file " + deletedReadOnly + " \nis a read-only file. Delete anyway?");
    wine.driver({"use", second->handle, "click", "6", "wait-gone", "5000"});

    std::string after;
    for (int wait = 0; wait < 50; ++wait) {
        after = waitForLeftoverTree(wine, window->handle);
        if (after.find("readonly") == std::string::npos) break;
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(after, "visible\t1\nitem\t0\t0\tC:\\\\Program Files\\\\Velkorin Removal\nitem\t1\t0\tkept.txt\n")
        << "both read-only files leave the tree, whatever the answer";
    EXPECT_TRUE(wine.readFile(keptReadOnly)) << "No keeps the read-only file";
    EXPECT_FALSE(wine.readFile(deletedReadOnly)) << "Yes deletes the read-only file";
    EXPECT_TRUE(wine.readFile(kept)) << "an unticked file stays";
    EXPECT_FALSE(wine.waitDialog("Deleting File", 1s)) << "no further question";
    wine.driver({"use", window->handle, "click", "1012", "wait-gone", "10000"});
}

TEST_F(RemovalQuestions, CompactSetListsLeftoversAndClosesOnEnter) {
    std::set<std::string> temp = tempNames(wine);
    ASSERT_EQ(installProject(wine, "removal", {}, compactLook), "");
    writeText(std::string(installPath) + "\\notes.txt", "my own notes\r\n");
    std::optional<DialogDump> window = confirmAndWaitForWindow();
    ASSERT_TRUE(window) << "no uninstaller window";
    EXPECT_EQ(window->text(1001).value_or(""), "Application Removal");
    removeSharedFile();
    ASSERT_NE(waitForLeftoverTree(wine, window->handle), "") << "no leftover tree";
    DialogDump finished = parseDialogDump(wine.driver({"use", window->handle, "dump"}).output);
    EXPECT_EQ(finished.text(1007).value_or(""), leftoverExplanation) << "the compact set's explanation text";
    EXPECT_EQ(finished.text(1012).value_or(""), "Finish");
    wine.screenshot("compact-leftovers");

    wine.driver({"use", window->handle, "click", "1011"});
    std::optional<DialogDump> confirm = wine.waitDialog("Confirm Operation", scaled(10s));
    ASSERT_TRUE(confirm) << "no delete confirmation";
    wine.driver({"use", confirm->handle, "click", "6", "wait-gone", "5000"});
    for (int wait = 0; wait < 50 && std::filesystem::exists(wine.hostPath(installPath)); ++wait)
        std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(std::filesystem::exists(wine.hostPath(installPath))) << "the leftover and its folder are gone";

    wine.driver({"use", window->handle, "key", "13", "wait-gone", "10000"});
    EXPECT_EQ(waitForTempNames(wine, temp, scaled(10s)), std::set<std::string>{})
        << "Enter closed the window; the temporary copy and delself.bat are gone";
}

TEST_F(RemovalQuestions, CancelAsksWhetherToStopNoGoesOnYesStopsBetweenEntries) {
    std::set<std::string> temp = tempNames(wine);
    std::filesystem::path bulk = wine.scratch() / "bulk.txt";
    std::ofstream(bulk) << "one of many\r\n";
    std::vector<std::pair<std::filesystem::path, std::string>> files;
    for (int i = 0; i < 1500; ++i) files.push_back({bulk, "bulk-" + std::to_string(i) + ".txt"});
    ASSERT_EQ(installProject(wine, "removal", files, compactLook), "");
    std::optional<DialogDump> window = confirmAndWaitForWindow();
    ASSERT_TRUE(window) << "no uninstaller window";
    removeSharedFile();
    wine.screenshot("compact-progress");

    wine.driver({"use", window->handle, "key", "27"});
    std::optional<DialogDump> stop = stopQuestionBox();
    ASSERT_TRUE(stop) << "no stop question on Esc";
    EXPECT_EQ(stop->text(0xFFFF).value_or(""), stopQuestion);
    // No, then Cancel at once from the same driver run: on a fast machine the removal would end
    // in the time a second driver takes to start.
    ProcessResult noThenCancel = wine.driver({"use", stop->handle, "click", "7", "wait-gone", "5000", "use",
                                              window->handle, "dump", "click", "1012"});
    DialogDump goingOn = parseDialogDump(noThenCancel.output);
    EXPECT_EQ(goingOn.text(1001).value_or(""), "Application Removal") << "No: the removal goes on";

    std::optional<DialogDump> again = stopQuestionBox();
    ASSERT_TRUE(again) << "no stop question on Cancel";
    wine.driver({"use", again->handle, "click", "6", "wait-gone", "5000"});
    wine.driver({"use", window->handle, "wait-gone", "10000"});
    int left = 0;
    for (int i = 0; i < 1500; ++i)
        left += std::filesystem::exists(wine.hostPath(std::string(installPath) + "\\bulk-" + std::to_string(i) + ".txt"));
    EXPECT_GT(left, 0) << "stopped before the end";
    EXPECT_LT(left, 1500) << "what was removed before the stop stays removed";
    EXPECT_FALSE(std::filesystem::exists(wine.hostPath(std::string(sharedFolder) + "\\removal-common.dat")));
    EXPECT_FALSE(wine.waitDialog(caption, 2s)) << "no end message after a stop";
    EXPECT_EQ(waitForTempNames(wine, temp, scaled(10s)), std::set<std::string>{})
        << "the temporary copy and delself.bat are gone after a stop too";
}

}  // namespace
}  // namespace e2e
