// checkpoint_cancel_test.cpp -- a silent installation stopped at each of its check points, one
// run per check point, leaves the prefix as it found it and exits with the code of an aborted
// installation.
//
// The setup file is built on velkorin-checkpoints.exe, the test build of the stub whose check
// points are numbered and one of which refuses to go on (tests/stub_variants): the same stub code
// with another workerCheckPoint. Each run appends a line per check point to a tally file outside
// drive C:, "N" or "N stop", so the test sees where each run stopped and how many check points a
// run that was not stopped passed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "checkpoint_tally.h"
#include "e2e_config.h"
#include "prefix_snapshot.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char setupPath[] = "C:\\checkpoints\\setup.exe";
const char installPath[] = "C:\\Program Files\\Velkorin Checkpoints";
const unsigned long exitFailed = 2;  // README: "installation aborted"

// The package: three files in two nested folders, a shortcut in a new program group, two registry
// values (each root its own key), an INI entry, a program launched after the installation and a
// launch recorded for the removal. Every one of them passes a check point of the worker: the
// group, each folder and file of the file area, each shortcut, registry value and INI entry, and
// the finishing step.
const char project[] = R"([product]
name = "Velkorin Checkpoints"
title = "Velkorin Checkpoints 1.0"

[choices]
group = true

[[variables]]
name = "InstallPath"
value = "<ProgramFiles>\\Velkorin Checkpoints"

[[variables]]
name = "ShortcutsGroup"
value = "Velkorin Checkpoints"

[[files]]
destination = "%InstallPath%"
source = "app"

[[shortcuts]]
link = "<Programs>\\%ShortcutsGroup%\\Guide.lnk"
target = "%InstallPath%\\docs\\guide.txt"

[[registry]]
root = "HKLM"
key = "Software\\Velkorin Checkpoints\\Settings"
name = "Path"
data = "%InstallPath%"

[[registry]]
root = "HKCU"
key = "Software\\Velkorin Checkpoints"
name = "Count"
type = "dword"
data = 7

[[ini]]
file = "%InstallPath%\\checkpoints.ini"
section = "Options"
key = "Folder"
value = "%InstallPath%"

[[launches]]
program = "<System>\\cmd.exe"
arguments = "/c mkdir C:\\checkpoints-launched"
page = "after-install"
wait = true

[[launches]]
program = "<System>\\cmd.exe"
arguments = "/c rem removal"
page = "uninstall"
)";

// Check points of the package above: 1 group + 2 folders + 3 files + 1 shortcut + 2 registry
// values + 1 INI entry + the finishing step.
const unsigned expectedCheckPoints = 11;

void writeHostFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

struct PrefixState {
    std::set<std::string> files, machine, user, temporary;
};

// The program's temporary files (the temporary log, the uninstaller image, files waiting for a
// restart: "VKR" names) in the users' temporary folders, which driveSnapshot leaves out.
std::set<std::string> temporaryFiles(WineSession& wine) {
    std::set<std::string> found;
    for (const auto& user : std::filesystem::directory_iterator(wine.prefix() / "drive_c/users")) {
        std::filesystem::path temp = user.path() / "Temp";
        if (!std::filesystem::is_directory(temp)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(temp))
            if (entry.path().filename().string().rfind("VKR", 0) == 0) found.insert(entry.path().string());
    }
    return found;
}

// HKCR is the merged view of HKLM\Software\Classes and HKCU\Software\Classes: the two roots
// hold everything.
PrefixState snapshot(WineSession& wine) {
    return {driveSnapshot(wine.prefix() / "drive_c"), registrySnapshot(wine, "HKLM"), registrySnapshot(wine, "HKCU"),
            temporaryFiles(wine)};
}

std::vector<std::string> difference(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::set<std::string> only = linesOnlyIn(a, b);
    return std::vector<std::string>(only.begin(), only.end());
}

TEST(CheckpointCancel, EveryCheckPointStopsAndRollsBackToThePrefixAsItWas) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    ASSERT_TRUE(std::filesystem::exists(config::checkpointStub())) << config::checkpointStub();
    WineSession& wine = WineSession::current();
    auto started = std::chrono::steady_clock::now();

    std::filesystem::path source = wine.scratch() / "checkpoints";
    writeHostFile(source / "app" / "readme.txt", "Read me.\r\n");
    writeHostFile(source / "app" / "docs" / "guide.txt", "The guide.\r\n");
    writeHostFile(source / "app" / "docs" / "deep" / "notes.txt", "Notes.\r\n");
    writeHostFile(source / "project.toml", project);
    std::string error;
    std::filesystem::path out = wine.scratch() / "checkpoints-setup.exe";
    ASSERT_TRUE(buildSetupFileWithStub(source / "project.toml", out, wine.scratch(), config::checkpointStub(), &error))
        << error;
    wine.copyIn(out, setupPath);
    // Start-up itself leaves traces on a fresh prefix (special folders it creates): a first run of
    // the bare program makes them before the snapshot.
    wine.copyIn(config::stub(), "C:\\checkpoints\\velkorin.exe");
    wine.run("C:\\checkpoints\\velkorin.exe", {}, 30s);
    PrefixState before = snapshot(wine);
    ASSERT_FALSE(before.files.empty());
    bool temporaryFolder = false;
    for (const auto& user : std::filesystem::directory_iterator(wine.prefix() / "drive_c/users"))
        temporaryFolder = temporaryFolder || std::filesystem::is_directory(user.path() / "Temp");
    ASSERT_TRUE(temporaryFolder) << "no users' temporary folder to watch";

    // Stops at 1, 2, ... until a run passes all its check points without reaching the one asked
    // to stop: that run is the counting run, a complete installation.
    unsigned counted = 0;
    for (unsigned stopAt = 1; stopAt <= 100 && counted == 0; ++stopAt) {
        std::filesystem::path tallyFile = wine.scratch() / ("tally-" + std::to_string(stopAt) + ".txt");
        WindowsRun run = wine.startWithEnvironment(setupPath, {"S"},
                                                   {{"VELKORIN_CHECKPOINT_STOP", std::to_string(stopAt)},
                                                    {"VELKORIN_CHECKPOINT_TALLY", WineSession::windowsPathOf(tallyFile)}},
                                                   60s)
                              .wait(60s);
        ASSERT_TRUE(run.ended) << "stop at " << stopAt << ": " << describe(run.driver);
        Tally tally = readTally(tallyFile);
        if (tally.stopped == 0) {
            // Every check point was passed: the installation ran to its end.
            EXPECT_EQ(run.exitCode, 0u) << "the complete run";
            EXPECT_EQ(tally.last, stopAt - 1) << "a run that passed its last check point stops nowhere";
            counted = tally.passed;
            break;
        }
        SCOPED_TRACE("stopped at check point " + std::to_string(stopAt));
        EXPECT_EQ(tally.stopped, stopAt);
        EXPECT_EQ(run.exitCode, exitFailed) << "a stopped installation is an aborted one";
        PrefixState after = snapshot(wine);
        EXPECT_EQ(difference(after.files, before.files), std::vector<std::string>{}) << "left behind";
        EXPECT_EQ(difference(before.files, after.files), std::vector<std::string>{}) << "lost";
        EXPECT_EQ(difference(after.machine, before.machine), std::vector<std::string>{}) << "HKLM left behind";
        EXPECT_EQ(difference(before.machine, after.machine), std::vector<std::string>{}) << "HKLM lost";
        EXPECT_EQ(difference(after.user, before.user), std::vector<std::string>{}) << "HKCU left behind";
        EXPECT_EQ(difference(before.user, after.user), std::vector<std::string>{}) << "HKCU lost";
        EXPECT_EQ(difference(after.temporary, before.temporary), std::vector<std::string>{})
            << "temporary files left behind";
        if (::testing::Test::HasFailure()) break;  // the next runs would start from a changed prefix
    }
    EXPECT_EQ(counted, expectedCheckPoints) << "check points of a complete installation";

    // The complete run installed everything, the launch after the installation included.
    EXPECT_TRUE(wine.readFile(std::string(installPath) + "\\docs\\deep\\notes.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(wine.hostPath("C:\\checkpoints-launched")));
    EXPECT_TRUE(wine.registryValue("HKCU\\Software\\Velkorin Checkpoints", "Count"));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "[ timing   ] " << counted << " check points, " << counted + 1 << " runs in " << seconds << " s\n";
}

}  // namespace
}  // namespace e2e
