// rollback_test.cpp -- an installation aborted by a "No" at its last step undoes everything it
// created: the prefix's files and registry afterwards are those from before, except a file that
// existed before and was overwritten (it stays overwritten).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "e2e_config.h"
#include "setup_files.h"
#include "prefix_snapshot.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char setupPath[] = "C:\\abort\\setup.exe";
const char caption[] = "Velkorin Abort 1.0 Setup";
const char installed[] = "C:\\Program Files\\Velkorin Abort";

std::vector<std::string> difference(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::set<std::string> only = linesOnlyIn(a, b);
    return std::vector<std::string>(only.begin(), only.end());
}

TEST(Rollback, NoAtTheLastStepLeavesThePrefixAsItWas) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    WineSession& wine = WineSession::current();
    std::string error;
    std::filesystem::path out = wine.scratch() / "abort.exe";
    ASSERT_TRUE(buildSetupFile(config::root() / "tests/e2e/projects/abort/project.toml", out, wine.scratch(), &error))
        << error;
    wine.copyIn(out, setupPath);
    // Start-up itself leaves traces on a fresh prefix (special folders it creates and records,
    // Wine's device keys): a first run of the bare program makes them before the snapshot.
    wine.copyIn(config::stub(), "C:\\abort\\velkorin.exe");
    wine.run("C:\\abort\\velkorin.exe", {}, 30s);
    // A file the installation will overwrite: it existed before, so it stays.
    std::string old = "old readme\r\n";
    wine.writeFile(std::string(installed) + "\\readme.txt", Bytes(old.begin(), old.end()));

    std::filesystem::path drive = wine.prefix() / "drive_c";
    auto filesBefore = driveSnapshot(drive);
    auto machineBefore = registrySnapshot(wine, "HKLM"), userBefore = registrySnapshot(wine, "HKCU");
    auto classesBefore = registrySnapshot(wine, "HKCR");

    BackgroundRun setup = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> question = wine.waitDialog(caption, 60s);
    if (!question) {
        WindowsRun run = setup.wait(5s);
        FAIL() << "no question about the association; the run: " << describe(run.driver);
    }
    EXPECT_EQ(question->text(0xFFFF).value_or(""), "Error creating the association for '.vkabort'. Continue?");
    wine.driver({"use", question->handle, "click", "7", "wait-gone", "5000"});
    // Undoing the shared file's count reaches zero: the shared-file question, answered Yes.
    std::optional<DialogDump> shared = wine.waitDialog("Shared File Detected", 60s);
    ASSERT_TRUE(shared) << "no shared-file question during the rollback";
    wine.driver({"use", shared->handle, "click", "1", "wait-gone", "5000"});
    WindowsRun run = setup.wait(60s);
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 2u) << "an aborted installation is a failure";

    auto filesAfter = driveSnapshot(drive);
    std::string overwritten = "Program Files/Velkorin Abort/readme.txt";
    filesBefore.erase(overwritten + " = " + old);
    EXPECT_EQ(filesAfter.count(overwritten + " = new readme\r\n"), 1u) << "an overwritten file stays overwritten";
    filesAfter.erase(overwritten + " = new readme\r\n");
    EXPECT_EQ(difference(filesAfter, filesBefore), std::vector<std::string>{}) << "left behind";
    EXPECT_EQ(difference(filesBefore, filesAfter), std::vector<std::string>{}) << "lost";

    // The shared counts' key itself is the system's (every Windows has it); only its value was ours.
    auto machineAfter = registrySnapshot(wine, "HKLM");
    machineAfter.erase("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs]");
    EXPECT_EQ(difference(machineAfter, machineBefore), std::vector<std::string>{});
    EXPECT_EQ(difference(registrySnapshot(wine, "HKCU"), userBefore), std::vector<std::string>{});
    EXPECT_EQ(difference(registrySnapshot(wine, "HKCR"), classesBefore), std::vector<std::string>{});
    EXPECT_FALSE(wine.registryValue("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velkorin Abort",
                                    "DisplayName"));
}

}  // namespace
}  // namespace e2e
