// silent_removal_test.cpp -- `uninstall.exe S`: an installed package is removed without any
// window or question, the prefix is as it was before the installation, and the exit code tells
// the caller what happened (0 removed, 3010 a file in use waits for the restart).
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "held_file.h"
#include "removal_support.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char installPath[] = "C:\\Program Files\\Velkorin Removal";
const char uninstaller[] = "C:\\Program Files\\Velkorin Removal\\uninstall.exe";
const char uninstallKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velkorin Removal";
const char sharedFolder[] = "C:\\Program Files\\Common Files\\Velkorin Removal Shared";
const char pendingKey[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";

class SilentRemoval : public ::testing::Test {
protected:
    static void SetUpTestSuite() { prepareForPictures(WineSession::current()); }
    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
    WineSession& wine = WineSession::current();
};

TEST_F(SilentRemoval, RemovesEverythingWithoutAWindowAndExitsZero) {
    PrefixPicture before = takePicture(wine);
    std::set<std::string> temp = tempNames(wine);
    ASSERT_EQ(installProject(wine, "removal"), "");
    ASSERT_TRUE(wine.readFile(uninstaller));
    EXPECT_EQ(wine.registryValue(uninstallKey, "QuietUninstallString")->data, std::string("\"") + uninstaller + "\" S");

    WindowsRun run = wine.runWatched(uninstaller, {"S"}, 60s * config::timeScale());
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.windows, std::vector<std::string>{}) << "a silent removal shows nothing";
    // The uninstaller's own file and its folder go once the program has ended, as its script runs.
    EXPECT_EQ(waitForTempNames(wine, temp, 10s * config::timeScale()), std::set<std::string>{})
        << "the self-removal script is gone";
    for (int wait = 0; wait < 100 && std::filesystem::exists(wine.hostPath(installPath)); ++wait)
        std::this_thread::sleep_for(100ms);
    // The shared file's count reached 0: without anyone to ask, it is kept (the safe answer), and
    // only its count is gone.
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)),
              (std::vector<std::string>{"+ Program Files/Common Files/Velkorin Removal Shared",
                                        "+ Program Files/Common Files/Velkorin Removal Shared/removal-common.dat = "
                                        "shared bytes\r\n"}));
    std::filesystem::remove_all(wine.hostPath(sharedFolder));
}

TEST_F(SilentRemoval, AUserFileKeepsItsFolderAndNothingElseStays) {
    PrefixPicture before = takePicture(wine);
    ASSERT_EQ(installProject(wine, "removal"), "");
    std::string notes = "my own notes\r\n";
    wine.writeFile(std::string(installPath) + "\\docs\\notes.txt", Bytes(notes.begin(), notes.end()));

    WindowsRun run = wine.runWatched(uninstaller, {"silent"}, 60s * config::timeScale());
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.windows, std::vector<std::string>{});
    for (int wait = 0; wait < 100 && wine.readFile(uninstaller); ++wait) std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(wine.readFile(uninstaller)) << "the uninstaller deletes itself after the end";
    std::filesystem::remove_all(wine.hostPath(sharedFolder));  // kept as in the test above
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)),
              (std::vector<std::string>{"+ Program Files/Velkorin Removal", "+ Program Files/Velkorin Removal/docs",
                                        "+ Program Files/Velkorin Removal/docs/notes.txt = " + notes}))
        << "leftovers stay in a silent removal; only the user's file and the folders holding it";
    std::filesystem::remove_all(wine.hostPath(installPath));
    std::filesystem::remove_all(wine.hostPath(sharedFolder));
}

// Another program has a file or folder of the installation open while the removal runs and lets
// go of it shortly after the folder's turn: the folder still goes, and with it the installation
// folder. HELD is below the installation folder; with `letsDelete` the holder lets others delete
// it meanwhile, as a virus scanner does with a file.
void expectRemovedDespiteHolder(WineSession& wine, const std::string& held, bool letsDelete) {
    PrefixPicture before = takePicture(wine);
    ASSERT_EQ(installProject(wine, "removal"), "");
    HeldFile holder(wine, std::string(installPath) + "\\" + held, 60s, letsDelete);
    ASSERT_TRUE(holder.held());
    BackgroundRun removal = wine.start(uninstaller, {"S"}, 60s * config::timeScale());
    // The INI file's line comes after the files' in the log, so its file goes first: once it is
    // gone, the removal is a few entries away from the docs folder. The holder lets go later.
    std::filesystem::path ini = wine.hostPath(std::string(installPath) + "\\removal.ini");
    for (int wait = 0; wait < 3000 && std::filesystem::exists(ini); ++wait) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(std::filesystem::exists(ini)) << "the removal did not reach the INI file";
    std::this_thread::sleep_for(300ms);
    holder.release();
    WindowsRun run = removal.wait(60s * config::timeScale());
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u);
    for (int wait = 0; wait < 100 && std::filesystem::exists(wine.hostPath(installPath)); ++wait)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)),
              (std::vector<std::string>{"+ Program Files/Common Files/Velkorin Removal Shared",
                                        "+ Program Files/Common Files/Velkorin Removal Shared/removal-common.dat = "
                                        "shared bytes\r\n"}))
        << "only the shared file stays, as in every silent removal";
    std::filesystem::remove_all(wine.hostPath(installPath));
    std::filesystem::remove_all(wine.hostPath(sharedFolder));
}

// The file is deleted, but goes only when the reader lets go: its folder still lists it.
TEST_F(SilentRemoval, AFolderWhoseFileAnotherProgramStillReadsGoesOnceItLetsGo) {
    expectRemovedDespiteHolder(wine, "docs\\guide.txt", true);
}

// The empty folder cannot be removed while another program has it open.
TEST_F(SilentRemoval, AFolderAnotherProgramHasOpenGoesOnceItLetsGo) {
    expectRemovedDespiteHolder(wine, "docs", false);
}

TEST_F(SilentRemoval, AFileInUseWaitsForTheRestartWithExitCode3010) {
    ASSERT_EQ(installProject(wine, "removal", {{config::driver(), "holder.exe"}}), "");
    std::string holder = std::string(installPath) + "\\holder.exe";
    // A running program's file cannot be deleted: the driver copy runs while the removal does.
    // It holds its own file until the test lets it go (the marker), or 20 s at the longest.
    const std::filesystem::path release = wine.scratch() / "release-holder";
    BackgroundRun held = wine.start(
        holder, {"wait-file", WineSession::windowsPathOf(release), std::to_string(20000 * config::timeScale())}, 60s);
    for (int wait = 0; wait < 50; ++wait) std::this_thread::sleep_for(100ms);

    WindowsRun run = wine.runWatched(uninstaller, {"S"}, 60s * config::timeScale());
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 3010u) << "removed, but a file waits for the restart";
    EXPECT_EQ(run.windows, std::vector<std::string>{}) << "no in-use question, no restart question";
    EXPECT_TRUE(wine.readFile(holder)) << "the held file is still there";
    EXPECT_FALSE(wine.readFile(std::string(installPath) + "\\readme.txt"));
    std::optional<RegistryValue> pending = wine.registryValue(pendingKey, "PendingFileRenameOperations");
    ASSERT_TRUE(pending) << "the held file is scheduled for deletion at restart";
    EXPECT_NE(pending->data.find("holder.exe"), std::string::npos) << pending->data;
    std::ofstream(release) << "go\n";
    held.wait(60s * config::timeScale());
    wine.wine({"wineboot", "-r"}, 60s * config::timeScale());
    EXPECT_FALSE(wine.readFile(holder)) << "the restart deleted it";
    std::filesystem::remove_all(wine.hostPath(installPath));
    std::filesystem::remove_all(wine.hostPath(sharedFolder));
}

}  // namespace
}  // namespace e2e
