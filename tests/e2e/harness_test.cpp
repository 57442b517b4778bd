// harness_test.cpp -- the e2e harness proves its own helpers against Wine's tools: drive C: as
// the tests see it, registry values, Windows versions, exit codes and timeouts, the resident
// driver and the registry snapshots. Runs with Wine's null graphics driver.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e_config.h"
#include "prefix_snapshot.h"
#include "wine_session.h"

namespace e2e {
namespace {

class HarnessTest : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();
    const std::string cmd = "C:\\windows\\system32\\cmd.exe";
};

TEST_F(HarnessTest, DriveCIsTheFolderTheHelpersWriteAndRead) {
    const std::vector<unsigned char> bytes = {'v', 'k', 0, 0xFF, '\r', '\n'};
    wine.writeFile("C:\\harness\\in folder\\original.bin", bytes);

    WindowsRun copy = wine.run(cmd, {"/c", "copy", "C:\\harness\\in folder\\original.bin", "C:\\harness\\copy.bin"});

    ASSERT_TRUE(copy.ended) << describe(copy.driver);
    EXPECT_EQ(copy.exitCode, 0u) << describe(copy.driver);
    EXPECT_EQ(wine.readFile("C:\\harness\\copy.bin"), bytes);
    EXPECT_FALSE(wine.readFile("C:\\harness\\missing.bin").has_value());
}

TEST_F(HarnessTest, RegistryValuesAreReadAsRegWroteThem) {
    const std::string key = "HKCU\\Software\\Velkorin Harness";
    wine.setRegistryText(key, "Greeting", "two  spaces, tab\there");
    ProcessResult added = wine.wine({"reg", "add", key, "/v", "Count", "/t", "REG_DWORD", "/d", "42", "/f"});
    ASSERT_EQ(added.exitCode, 0) << describe(added);

    std::optional<RegistryValue> greeting = wine.registryValue(key, "Greeting");
    ASSERT_TRUE(greeting.has_value());
    EXPECT_EQ(greeting->type, "REG_SZ");
    EXPECT_EQ(greeting->data, "two  spaces, tab\there");
    std::optional<RegistryValue> count = wine.registryValue(key, "Count");
    ASSERT_TRUE(count.has_value());
    EXPECT_EQ(count->type, "REG_DWORD");
    EXPECT_EQ(count->data, "0x2a");
    EXPECT_FALSE(wine.registryValue(key, "Absent").has_value());
    EXPECT_FALSE(wine.registryValue(key + "\\Absent", "Greeting").has_value());
}

TEST_F(HarnessTest, WindowsVersionReachesTheNextProcess) {
    wine.setWindowsVersion("winxp");
    WindowsRun xp = wine.run(cmd, {"/c", "ver"});
    wine.setWindowsVersion("win7");
    WindowsRun seven = wine.run(cmd, {"/c", "ver"});

    ASSERT_TRUE(xp.ended && seven.ended);
    // The driver passes the child's console through: cmd's "ver" line names the version.
    EXPECT_NE(xp.driver.output.find("5.1."), std::string::npos) << xp.driver.output;
    EXPECT_NE(seven.driver.output.find("6.1."), std::string::npos) << seven.driver.output;
    EXPECT_EQ(wine.registryValue("HKCU\\Software\\Wine", "Version")->data, "win7");
}

TEST_F(HarnessTest, ExitCodesComeBackWhole) {
    WindowsRun restart = wine.run(cmd, {"/c", "exit 3010"});
    ASSERT_TRUE(restart.ended) << describe(restart.driver);
    EXPECT_EQ(restart.exitCode, 3010u);

    BackgroundRun background = wine.start(cmd, {"/c", "exit 7"});
    WindowsRun seven = background.wait(30s);
    ASSERT_TRUE(seven.ended) << describe(seven.driver);
    EXPECT_EQ(seven.exitCode, 7u);
}

TEST_F(HarnessTest, ProgramOutlivingItsTimeoutIsEnded) {
    std::string driver = WineSession::windowsPathOf(config::driver());

    // The program would sleep far longer than any start takes, also under emulation; ended at its
    // limit, the run returns well before the sleep would have ended.
    const auto sleep = 60s * config::timeScale();
    WindowsRun slow = wine.run(driver, {"sleep", std::to_string(sleep.count() * 1000)}, 500ms);

    EXPECT_FALSE(slow.ended);
    EXPECT_LT(slow.driver.elapsed, sleep / 2) << describe(slow.driver);
    EXPECT_NE(slow.driver.errors.find("terminated"), std::string::npos) << describe(slow.driver);
}

TEST_F(HarnessTest, ResidentDriverAnswersRequestsInTurnAndReportsFailures) {
    wine.driver({"sleep", "0"});
    int starts = wine.residentDriverStarts();
    ProcessResult missing = wine.driver({"use", "0x7"});
    EXPECT_EQ(missing.exitCode, 2) << describe(missing);
    EXPECT_NE(missing.errors.find("no such window"), std::string::npos) << describe(missing);
    EXPECT_EQ(missing.output, "");
    // Texts with tabs, backslashes and line breaks travel through the request line unharmed.
    const std::string text = "tab\there, back\\slash, \"quotes\"\nnext line";
    wine.setRegistryText("HKCU\\Software\\Velkorin Harness", "Escaped", text);
    EXPECT_EQ(wine.registryValue("HKCU\\Software\\Velkorin Harness", "Escaped")->data, text);
    // A request that failed leaves no current window behind for the next one.
    ProcessResult noDialog = wine.driver({"dump"});
    EXPECT_EQ(noDialog.exitCode, 2) << describe(noDialog);
    WindowsRun code = wine.run(cmd, {"/c", "exit 5"});
    EXPECT_EQ(code.exitCode, 5u) << describe(code.driver);
    EXPECT_EQ(wine.residentDriverStarts(), starts) << "every request went to the same driver";
}

TEST_F(HarnessTest, ResidentDriverStartsAgainWhenTheEnvironmentChanges) {
    wine.driver({"sleep", "0"});
    int starts = wine.residentDriverStarts();
    setenv("VELKORIN_HARNESS_MARK", "first-mark", 1);
    WindowsRun first = wine.run(cmd, {"/c", "echo %VELKORIN_HARNESS_MARK%"});
    setenv("VELKORIN_HARNESS_MARK", "second-mark", 1);
    WindowsRun second = wine.run(cmd, {"/c", "echo %VELKORIN_HARNESS_MARK%"});
    unsetenv("VELKORIN_HARNESS_MARK");
    EXPECT_NE(first.driver.output.find("first-mark"), std::string::npos) << describe(first.driver);
    EXPECT_NE(second.driver.output.find("second-mark"), std::string::npos) << describe(second.driver);
    EXPECT_EQ(wine.residentDriverStarts(), starts + 2);
}

TEST_F(HarnessTest, ResidentDriverOutOfTimeIsReplacedByANewOne) {
    ProcessResult stuck = wine.driver({"sleep", std::to_string(600000)}, 1s);
    EXPECT_TRUE(stuck.timedOut) << describe(stuck);
    int starts = wine.residentDriverStarts();
    ProcessResult next = wine.driver({"sleep", "0"});
    EXPECT_EQ(next.exitCode, 0) << describe(next);
    EXPECT_FALSE(next.timedOut);
    EXPECT_EQ(wine.residentDriverStarts(), starts + 1);
}

TEST_F(HarnessTest, RegistrySnapshotSeesKeysValuesAndTheirRemoval) {
    const std::string key = "HKCU\\Software\\Velkorin Snapshot\\Deeper\\Deepest";
    std::set<std::string> before = registrySnapshot(wine, "HKCU");
    wine.setRegistryText(key, "Name \"quoted\"", "first");
    wine.setRegistryNumber(key, "Count", 42);
    std::set<std::string> after = registrySnapshot(wine, "HKCU");
    const std::string keyLine = "[HKEY_CURRENT_USER\\Software\\Velkorin Snapshot\\Deeper\\Deepest]";
    EXPECT_EQ(linesOnlyIn(after, before),
              (std::set<std::string>{"[HKEY_CURRENT_USER\\Software\\Velkorin Snapshot]",
                                     "[HKEY_CURRENT_USER\\Software\\Velkorin Snapshot\\Deeper]", keyLine,
                                     keyLine + " \"Count\"=dword:0000002a",
                                     keyLine + " \"Name \"quoted\"\"=\"first\""}));
    EXPECT_EQ(linesOnlyIn(before, after), std::set<std::string>{});

    wine.deleteRegistry({}, {{key, "Count"}});
    EXPECT_EQ(linesOnlyIn(registrySnapshot(wine, "HKCU"), before).count(keyLine + " \"Count\"=dword:0000002a"), 0u);
    // Deleting what is gone already is no failure.
    wine.deleteRegistry({"HKCU\\Software\\Velkorin Snapshot", "HKCU\\Software\\Velkorin Snapshot"}, {{key, "Count"}});
    EXPECT_EQ(linesOnlyIn(registrySnapshot(wine, "HKCU"), before), std::set<std::string>{});
    EXPECT_FALSE(wine.registryValue(key, "Name \"quoted\""));
}

TEST(RegistryFile, EscapesContinuationLinesAndImpliedKeysAreRead) {
    const std::string file =
        "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n"
        "[Software\\\\A\\\\B\\x3042c] 1796771865\n#time=1dd876a550967c8\n"
        "\"Tab\\there\"=\"line\\nbreak \\\"q\\\" \\\\ \\x3042\"\n"
        "@=\"default\"\n"
        "\"Long\"=hex:01,02,\\\n  03,04\n\n"
        "[Software\\\\Empty] 1796771866\n";
    EXPECT_EQ(registryFileLines(file, "HKEY_LOCAL_MACHINE"),
              (std::set<std::string>{
                  "[HKEY_LOCAL_MACHINE\\Software]", "[HKEY_LOCAL_MACHINE\\Software\\A]",
                  "[HKEY_LOCAL_MACHINE\\Software\\A\\B\xE3\x81\x82" "c]",
                  "[HKEY_LOCAL_MACHINE\\Software\\A\\B\xE3\x81\x82" "c] \"Tab\there\"=\"line\\nbreak \\\"q\\\" \\\\ \\x3042\"",
                  "[HKEY_LOCAL_MACHINE\\Software\\A\\B\xE3\x81\x82" "c] @=\"default\"",
                  "[HKEY_LOCAL_MACHINE\\Software\\A\\B\xE3\x81\x82" "c] \"Long\"=hex:01,02,03,04",
                  "[HKEY_LOCAL_MACHINE\\Software\\Empty]"}));
    EXPECT_EQ(unescapeRegistryText("\\101\\x41\\x00e9\\t"), "AA\xC3\xA9\t");
}

}  // namespace
}  // namespace e2e
