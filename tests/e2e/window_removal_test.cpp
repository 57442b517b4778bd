// window_removal_test.cpp -- removal through the real uninstaller window: the confirmation, the
// hand-over to the temporary copy, the progress, the shared-file question, the end message, the
// leftover tree and Delete; the prefix afterwards is the one from before the installation; a
// temporary folder whose path holds blanks is left empty too.
#include <gtest/gtest.h>

#include <thread>

#include "e2e_config.h"
#include "removal_support.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char installPath[] = "C:\\Program Files\\Velkorin Removal";
const char uninstaller[] = "C:\\Program Files\\Velkorin Removal\\uninstall.exe";
const char caption[] = "Velkorin Removal Uninstall";

class WindowRemoval : public ::testing::Test {
protected:
    static void SetUpTestSuite() { prepareForPictures(WineSession::current()); }
    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
    // Starts the uninstaller and answers its confirmation with Yes; the window's dump after that.
    std::optional<DialogDump> confirmAndWaitForWindow() {
        BackgroundRun first = wine.start(uninstaller, {}, 60s * config::timeScale());
        std::optional<DialogDump> question = wine.waitDialog(caption, 30s * config::timeScale());
        if (!question) return std::nullopt;
        EXPECT_EQ(question->text(0xFFFF).value_or(""), "Are you sure you want to completely remove Velkorin Removal 1.0?");
        wine.driver({"use", question->handle, "click", "6", "wait-gone", "5000"});
        WindowsRun firstRun = first.wait(30s * config::timeScale());
        EXPECT_TRUE(firstRun.ended);
        EXPECT_EQ(firstRun.exitCode, 0u) << "handed over to the temporary copy";
        return wine.waitDialog(caption, 30s * config::timeScale());
    }
    WineSession& wine = WineSession::current();
};

TEST_F(WindowRemoval, ConfirmProgressSharedQuestionAndTheEndMessage) {
    PrefixPicture before = takePicture(wine);
    std::set<std::string> temp = tempNames(wine);
    ASSERT_EQ(installProject(wine, "removal"), "");
    std::optional<DialogDump> window = confirmAndWaitForWindow();
    ASSERT_TRUE(window) << "no uninstaller window";
    EXPECT_EQ(window->text(1001).value_or(""), "Application Removal");
    EXPECT_EQ(window->text(1002).value_or(""), "Please wait while the Velkorin Removal 1.0 is removed from your computer.");
    wine.screenshot("progress");
    std::optional<DialogDump> shared = wine.waitDialog("Shared File Detected", 30s * config::timeScale());
    ASSERT_TRUE(shared) << "no shared-file question";
    wine.driver({"use", shared->handle, "click", "1", "wait-gone", "5000"});
    // With nothing left over the window closes itself; then the end message comes (same caption).
    wine.driver({"use", window->handle, "wait-gone", std::to_string(30000 * config::timeScale())});
    std::optional<DialogDump> done = wine.waitDialog(caption, 30s * config::timeScale());
    ASSERT_TRUE(done) << "no end message";
    EXPECT_EQ(done->text(0xFFFF).value_or(""), "Velkorin Removal 1.0 have been succesfully removed from your computer.");
    wine.driver({"use", done->handle, "click", "1", "wait-gone", "5000"});
    EXPECT_EQ(waitForTempNames(wine, temp, 10s * config::timeScale()), std::set<std::string>{})
        << "the temporary copy and delself.bat are gone";
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)), std::vector<std::string>{});
}

TEST_F(WindowRemoval, AUserFileIsListedTickedAndDeleteRemovesIt) {
    PrefixPicture before = takePicture(wine);
    ASSERT_EQ(installProject(wine, "removal"), "");
    std::string notes = "my own notes\r\n";
    wine.writeFile(std::string(installPath) + "\\docs\\notes.txt", Bytes(notes.begin(), notes.end()));
    std::optional<DialogDump> window = confirmAndWaitForWindow();
    ASSERT_TRUE(window) << "no uninstaller window";
    std::optional<DialogDump> shared = wine.waitDialog("Shared File Detected", 30s * config::timeScale());
    ASSERT_TRUE(shared);
    wine.driver({"use", shared->handle, "click", "1", "wait-gone", "5000"});
    // The folder's placeholder child (its expand button) comes last.
    std::string lines = waitForLeftoverTree(wine, window->handle, "\nitem\t1\t");
    EXPECT_EQ(lines, std::string("visible\t1\nitem\t0\t1\t") + "C:\\\\Program Files\\\\Velkorin Removal\nitem\t1\t0\t\n")
        << "one ticked top-level folder with its placeholder";
    wine.screenshot("leftovers");
    DialogDump finished = parseDialogDump(wine.driver({"use", window->handle, "dump"}).output);
    EXPECT_EQ(finished.text(1012).value_or(""), "Finish");
    EXPECT_EQ(finished.text(1001).value_or(""), "Uninstall Completed");
    wine.driver({"use", window->handle, "click", "1011"});
    std::optional<DialogDump> confirm = wine.waitDialog("Confirm Operation", 10s * config::timeScale());
    ASSERT_TRUE(confirm) << "no delete confirmation";
    EXPECT_EQ(confirm->text(0xFFFF).value_or(""), "Are you sure you want to delete all selected files and folders?");
    wine.driver({"use", confirm->handle, "click", "6", "wait-gone", "5000"});
    for (int wait = 0; wait < 50 && std::filesystem::exists(wine.hostPath(installPath)); ++wait)
        std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(std::filesystem::exists(wine.hostPath(installPath))) << "Delete removed the folder with the file";
    wine.driver({"use", window->handle, "click", "1012", "wait-gone", "10000"});
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)), std::vector<std::string>{});
}

// Names in a folder of drive C: (none when it does not exist).
std::set<std::string> namesIn(WineSession& wine, const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(wine.hostPath(folder), error))
        names.insert(entry.path().filename().string());
    return names;
}

TEST_F(WindowRemoval, TheCopyAndItsScriptGoAlsoFromATemporaryFolderWithBlanks) {
    ASSERT_EQ(installProject(wine, "removal"), "");
    const std::string temp = "C:\\Temp With Blanks\\for the removal";
    std::filesystem::create_directories(wine.hostPath(temp));
    BackgroundRun first =
        wine.startWithEnvironment(uninstaller, {}, {{"TMP", temp}, {"TEMP", temp}}, 60s * config::timeScale());
    std::optional<DialogDump> question = wine.waitDialog(caption, 30s * config::timeScale());
    ASSERT_TRUE(question) << "no confirmation";
    wine.driver({"use", question->handle, "click", "6", "wait-gone", "5000"});
    EXPECT_EQ(first.wait(30s * config::timeScale()).exitCode, 0u) << "handed over to the temporary copy";
    std::optional<DialogDump> window = wine.waitDialog(caption, 30s * config::timeScale());
    ASSERT_TRUE(window) << "no uninstaller window";
    std::set<std::string> running = namesIn(wine, temp);
    ASSERT_EQ(running.size(), 1u) << "the copy runs from the temporary folder with blanks";
    EXPECT_EQ(running.begin()->substr(0, 3), "VKR") << *running.begin();

    std::optional<DialogDump> shared = wine.waitDialog("Shared File Detected", 30s * config::timeScale());
    ASSERT_TRUE(shared) << "no shared-file question";
    wine.driver({"use", shared->handle, "click", "1", "wait-gone", "5000"});
    wine.driver({"use", window->handle, "wait-gone", std::to_string(30000 * config::timeScale())});
    std::optional<DialogDump> done = wine.waitDialog(caption, 30s * config::timeScale());
    ASSERT_TRUE(done) << "no end message";
    wine.driver({"use", done->handle, "click", "1", "wait-gone", "5000"});
    std::set<std::string> left = namesIn(wine, temp);
    for (int wait = 0; wait < 100 * config::timeScale() && !left.empty(); ++wait) {
        std::this_thread::sleep_for(100ms);
        left = namesIn(wine, temp);
    }
    EXPECT_EQ(left, std::set<std::string>{}) << "the temporary copy and delself.bat are gone within 10 s";
    EXPECT_FALSE(std::filesystem::exists(wine.hostPath(installPath))) << "the product was removed";
    std::filesystem::remove_all(wine.hostPath("C:\\Temp With Blanks"));
}

}  // namespace
}  // namespace e2e
