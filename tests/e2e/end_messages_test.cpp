// end_messages_test.cpp -- how a silent installation ends: a file in use replaced at the next
// restart, errors the user chose to continue after, and the restart question.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "held_file.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const int messageTextId = 0xFFFF, okButtonId = 1, yesButtonId = 6, noButtonId = 7;
const unsigned long exitFailed = 2, exitRestartPending = 3010;


std::string text(const std::optional<std::vector<unsigned char>>& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
}

class EndMessages : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }

    // A package of one file, "tool.dat", installed into folder; extra goes into [product].
    std::string package(const std::string& name, const std::string& folder, const std::string& content,
                        const std::string& extra = "") {
        std::filesystem::path project = wine.scratch() / name;
        std::filesystem::create_directories(project / "files");
        std::ofstream(project / "files" / "tool.dat") << content;
        std::ofstream(project / "project.toml")
            << "[product]\nname = \"" << name << "\"\ntitle = \"" << name << " 1.0\"\n" << extra
            << "\n[[variables]]\nname = \"InstallPath\"\nvalue = '" << folder << "'\n"
            << "\n[[files]]\ndestination = \"%InstallPath%\"\nsource = \"files\"\n";
        std::string error;
        std::filesystem::path out = wine.scratch() / (name + ".exe");
        if (!buildSetupFile(project / "project.toml", out, wine.scratch(), &error)) {
            ADD_FAILURE() << error;
            return "";
        }
        std::string setup = "C:\\setups\\" + name + ".exe";
        wine.copyIn(out, setup);
        return setup;
    }

    // Waits for the box of a caption, checks its text and presses a button.
    void answer(const std::string& caption, const std::string& expected, int button) {
        std::optional<DialogDump> box = wine.waitDialog(caption, 60s);
        ASSERT_TRUE(box) << "no box \"" << caption << "\" for: " << expected;
        EXPECT_EQ(box->text(messageTextId).value_or("<no text>"), expected);
        ProcessResult pressed = wine.driver({"use", box->handle, "click", std::to_string(button), "wait-gone", "5000"});
        EXPECT_EQ(pressed.exitCode, 0) << describe(pressed);
    }
};

TEST_F(EndMessages, FileInUseIsReplacedAtTheNextRestart) {
    std::string setup = package("InUse", "C:\\InUse", "new tool");
    ASSERT_FALSE(setup.empty());
    wine.writeFile("C:\\InUse\\tool.dat", {'o', 'l', 'd'});
    HeldFile holder(wine, "C:\\InUse\\tool.dat");
    ASSERT_TRUE(holder.held());

    BackgroundRun run = wine.start(setup, {"S"}, 60s);
    answer("InUse 1.0 Setup",
           "The installer needs to update the file 'C:\\InUse\\tool.dat',  \nbut it is currently in use by another "
           "application. Would you like to try replacing it again  \nbefore requiring a reboot to replace the file?",
           noButtonId);
    answer("InUse 1.0 Setup",
           "Setup needs to restart this machine to conclude the installing. Some  \ninstalling files are currently in "
           "use by another application and can be  \nreplaced after a reboot only. Reboot now?",
           noButtonId);
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, exitRestartPending) << "installed, but the restart is still pending";
    holder.release();
    EXPECT_EQ(text(wine.readFile("C:\\InUse\\tool.dat")), "old") << "the file in use was left alone";
    std::string log = text(wine.readFile("C:\\InUse\\uninstall.log"));
    EXPECT_EQ(log.find("tool.dat"), std::string::npos) << "a deferred file has no log line:\n" << log;

    ProcessResult restart = wine.wine({"wineboot", "-r"}, 60s);
    EXPECT_EQ(restart.exitCode, 0) << describe(restart);
    EXPECT_EQ(text(wine.readFile("C:\\InUse\\tool.dat")), "new tool") << "replaced at the restart";
}

TEST_F(EndMessages, ContinuingAfterAnErrorEndsWithTheErrorsNotice) {
    std::string setup = package("Errors", "C:\\Errors", "content");
    ASSERT_FALSE(setup.empty());
    // A folder where the file should go: it cannot be opened for writing.
    std::filesystem::create_directories(wine.hostPath("C:\\Errors\\tool.dat"));
    BackgroundRun run = wine.start(setup, {"S"}, 60s);
    std::optional<DialogDump> error = wine.waitDialog("Errors 1.0 Setup", 60s);
    ASSERT_TRUE(error) << "no error question";
    std::string question = error->text(messageTextId).value_or("");
    EXPECT_EQ(question.rfind("Error opening existing file 'C:\\Errors\\tool.dat'  \nfor write access. ", 0), 0u)
        << question;
    EXPECT_NE(question.find("Continue?"), std::string::npos) << question;
    wine.driver({"use", error->handle, "click", std::to_string(yesButtonId), "wait-gone", "5000"});
    answer("Errors 1.0 Setup", "The installation completed with errors. The application may not function propetly.",
           okButtonId);
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, exitFailed) << "completed with errors";
    EXPECT_TRUE(wine.readFile("C:\\Errors\\uninstall.exe").has_value()) << "the installation still completed";
}

TEST_F(EndMessages, RestartQuestionAnsweredNoLeavesTheRestartPending) {
    std::string setup = package("Restart", "C:\\Restart", "content", "restart = true\n");
    ASSERT_FALSE(setup.empty());
    BackgroundRun run = wine.start(setup, {"S"}, 60s);
    answer("Restart 1.0 Setup",
           "Setup needs to perform a reboot to update system configurations.  \nPlease note that this application may "
           "not run correctly until after  \na reboot. Reboot now?",
           noButtonId);
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, exitRestartPending);
    EXPECT_EQ(text(wine.readFile("C:\\Restart\\tool.dat")), "content");
}

}  // namespace
}  // namespace e2e
