// harness_test.cpp -- the e2e harness proves its own helpers against Wine's tools: drive C: as
// the tests see it, registry values, Windows versions, exit codes and timeouts. Runs with Wine's
// null graphics driver.
#include <gtest/gtest.h>

#include "e2e_config.h"
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

}  // namespace
}  // namespace e2e
