// protected_target_test.cpp -- `setup.exe S` onto targets that refuse to be written: a read-only
// file (its attribute cleared and the file replaced), a file and a folder that the file system
// protects (the host's immutable flag, which even root cannot write through), each question's
// exact text, Yes going on without the item and No rolling the installation back.
//
// The immutable flag (chattr +i) makes Wine's CreateFile and CreateDirectory fail with access
// denied; the Unix mode decides what Wine's access check grants (a 444 file gives no right to
// write, a 755 folder the right to add subfolders, a 555 folder none). The flag is always taken
// off again before the test ends, or the prefix could not be removed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "e2e_config.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const int yesButtonId = 6, noButtonId = 7, okButtonId = 1;
const unsigned long exitSuccess = 0, exitFailed = 2;
const char caption[] = "Velkorin Protected 1.0 Setup";
const char setupPath[] = "C:\\protected-setup\\setup.exe";
const char writeProtectedSetupPath[] = "C:\\protected-setup\\setup-w.exe";
const char parentFolder[] = "C:\\Protected";
const char productFolder[] = "C:\\Protected\\Product";
const char readmePath[] = "C:\\Protected\\Product\\a-readme.txt";
const char completedWithErrors[] =
    "The installation completed with errors. The application may not function propetly.";
const std::string oldReadme = "old readme\r\n", newReadme = "Read me first.\r\n";

// Sets or clears the immutable flag of a file or folder on the host.
bool setImmutable(const fs::path& path, bool on) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
}

// The immutable flag on a path for as long as it lives (or until lift()).
class Protection {
public:
    explicit Protection(fs::path path) : path_(std::move(path)) {
        active_ = setImmutable(path_, true);
        refused_ = !active_ && errno == EPERM;
    }
    ~Protection() { lift(); }
    Protection(const Protection&) = delete;
    Protection& operator=(const Protection&) = delete;
    bool active() const { return active_; }
    // The flag needs CAP_LINUX_IMMUTABLE of the machine's own root, which a user namespace (as
    // scripts/emulated.sh makes) does not give.
    bool refusedByTheSystem() const { return refused_; }
    void lift() {
        if (active_) setImmutable(path_, false);
        active_ = false;
    }

private:
    fs::path path_;
    bool active_ = false;
    bool refused_ = false;
};

// Stops the case where this machine's root may not set the immutable flag; fails it otherwise.
#define REQUIRE_PROTECTION(protection, path)                                                       \
    do {                                                                                            \
        if ((protection).refusedByTheSystem())                                                      \
            GTEST_SKIP() << "this root may not set the immutable flag (a user namespace?) on " << (path); \
        ASSERT_TRUE((protection).active()) << "cannot set the immutable flag on " << (path);       \
    } while (0)

void writeHostFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string hostText(const fs::path& path) {
    Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Every path below the folder, relative to it.
std::vector<std::string> contentsOf(const fs::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        entries.push_back(fs::relative(entry.path(), folder).string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

const std::vector<std::string> fullInstallation = {"Product", "Product/a-readme.txt", "Product/docs",
                                                   "Product/docs/guide.txt", "Product/z-last.txt"};

class ProtectedTarget : public ::testing::Test {
protected:
    static inline std::string buildError;
    static inline bool built = false;

    // The package with the install folder given (a path for a TOML string).
    static bool buildPackage(const std::string& name, const std::string& installPath, const std::string& setup) {
        WineSession& wine = WineSession::current();
        fs::path project = wine.scratch() / name;
        writeHostFile(project / "app" / "a-readme.txt", newReadme);
        writeHostFile(project / "app" / "docs" / "guide.txt", "The guide.\r\n");
        writeHostFile(project / "app" / "z-last.txt", "Last.\r\n");
        writeHostFile(project / "project.toml",
                      "[product]\n"
                      "name = \"Velkorin Protected\"\n"
                      "title = \"Velkorin Protected 1.0\"\n"
                      "create_uninstaller = false\n"
                      "\n[[variables]]\n"
                      "name = \"InstallPath\"\n"
                      "value = \"" + installPath + "\"\n"
                      "\n[[files]]\n"
                      "destination = \"%InstallPath%\"\n"
                      "source = \"app\"\n");
        fs::path out = wine.scratch() / (name + ".exe");
        if (!buildSetupFile(project / "project.toml", out, wine.scratch(), &buildError)) return false;
        wine.copyIn(out, setup);
        return true;
    }

    static void SetUpTestSuite() {
        if (!config::packer()) return;
        built = buildPackage("protected", "C:\\\\Protected\\\\Product", setupPath) &&
                buildPackage("write-protected", "W:\\\\Product", writeProtectedSetupPath);
    }

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        ASSERT_TRUE(built) << buildError;
        // C:\Protected exists, writable and empty.
        fs::remove_all(parent());
        fs::create_directories(parent());
        fs::permissions(parent(), fs::perms(0755));
    }

    void TearDown() override {
        setImmutable(parent(), false);
        if (fs::exists(wine.hostPath(productFolder))) setImmutable(wine.hostPath(productFolder), false);
        if (fs::exists(readme())) setImmutable(readme(), false);
    }

    fs::path parent() const { return wine.hostPath(parentFolder); }
    fs::path readme() const { return wine.hostPath(readmePath); }

    // An existing readme with the old text and this Unix mode.
    void placeOldReadme(fs::perms mode) {
        writeHostFile(readme(), oldReadme);
        fs::permissions(readme(), mode);
    }

    // Waits for the installation's question and checks its text and its Yes and No buttons.
    std::optional<DialogDump> question(const std::string& expected) {
        std::optional<DialogDump> box = wine.waitDialog(caption, 60s);
        if (!box) return box;
        EXPECT_EQ(box->text(messageTextId).value_or("<no text>"), expected);
        EXPECT_TRUE(box->find(yesButtonId) && box->find(noButtonId)) << "Yes and No";
        return box;
    }

    void answer(const DialogDump& box, int button) {
        ProcessResult pressed = wine.driver({"use", box.handle, "click", std::to_string(button), "wait-gone", "5000"});
        EXPECT_EQ(pressed.exitCode, 0) << describe(pressed);
    }

    // After a Yes the installation ends with the notice of errors; OK closes it.
    void closeTheNoticeOfErrors() {
        std::optional<DialogDump> notice = wine.waitDialog(caption, 60s);
        ASSERT_TRUE(notice) << "no notice at the end";
        EXPECT_EQ(notice->text(messageTextId).value_or("<no text>"), completedWithErrors);
        wine.driver({"use", notice->handle, "click", std::to_string(okButtonId), "wait-gone", "5000"});
    }

    WineSession& wine = WineSession::current();
};

TEST_F(ProtectedTarget, AReadOnlyFileIsReplacedAndLosesItsAttribute) {
    placeOldReadme(fs::perms(0444));
    WindowsRun run = wine.run(setupPath, {"S"}, 60s);
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, exitSuccess);
    EXPECT_EQ(hostText(readme()), newReadme);
    EXPECT_NE(fs::status(readme()).permissions() & fs::perms::owner_write, fs::perms::none)
        << "the packaged attributes (not read-only) replace the old ones";
    EXPECT_EQ(contentsOf(parent()), fullInstallation);
}

// A protected file with the right to write (mode 644): the open fails with access denied, the
// access check grants writing, so the question is the one for other errors, with the system text.
TEST_F(ProtectedTarget, AProtectedFileAnsweredNoRollsBack) {
    placeOldReadme(fs::perms(0644));
    Protection protection(readme());
    REQUIRE_PROTECTION(protection, readme());
    BackgroundRun run = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> box = wine.waitDialog(caption, 60s);
    ASSERT_TRUE(box) << "no question about the protected file";
    std::string text = box->text(messageTextId).value_or("");
    std::string head = std::string("Error opening existing file '") + readmePath + "'  \nfor write access. ";
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_GT(text.size(), head.size() + std::string("Continue?").size()) << "a system text: " << text;
    EXPECT_EQ(text.substr(text.size() - 9), "Continue?") << text;
    std::cout << "[ question ] " << ::testing::PrintToString(text) << "\n";
    answer(*box, noButtonId);
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed) << "an aborted installation is a failure";
    protection.lift();
    EXPECT_EQ(hostText(readme()), oldReadme) << "the protected file is as it was";
    EXPECT_EQ(contentsOf(parent()), (std::vector<std::string>{"Product", "Product/a-readme.txt"}))
        << "the rollback leaves only what was there before";
}

// Read-only and protected (mode 444): clearing the attribute fails too, the access check refuses
// writing, and the question says so without a system text. Yes goes on with the next file; the
// protection lifted before the answer changes nothing, as Yes does not try the file again.
TEST_F(ProtectedTarget, AReadOnlyProtectedFileAnsweredYesIsLeftAndTheRestInstalled) {
    placeOldReadme(fs::perms(0444));
    Protection protection(readme());
    REQUIRE_PROTECTION(protection, readme());
    BackgroundRun run = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> box = question(std::string("Insufficient rights to open existing file '") + readmePath +
                                             "'  \nfor write access. Continue?");
    ASSERT_TRUE(box) << "no question about the protected file";
    protection.lift();
    answer(*box, yesButtonId);
    closeTheNoticeOfErrors();
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed) << "completed, with a reported error";
    EXPECT_EQ(hostText(readme()), oldReadme) << "Yes leaves the file it could not write";
    EXPECT_EQ(contentsOf(parent()), fullInstallation) << "the other files are installed";
}

// The destination's parent protected (mode 755: the access check grants adding a subfolder), so
// creating the destination is denied: error 36 names the folder and its parent. No rolls back.
TEST_F(ProtectedTarget, ARefusedDestinationAnsweredNoRollsBack) {
    Protection protection(parent());
    REQUIRE_PROTECTION(protection, parent());
    BackgroundRun run = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> box = question(std::string("Error creating a directory '") + productFolder +
                                             "'. \nAccess to folder '" + parentFolder + "' is denied. \nContinue?");
    ASSERT_TRUE(box) << "no question about the destination";
    answer(*box, noButtonId);
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed);
    protection.lift();
    EXPECT_EQ(contentsOf(parent()), std::vector<std::string>{}) << "nothing of the product";
}

// A read-only parent folder (mode 555, protected): no right to add subfolders, error 35. Yes goes
// on as if the folder existed and does not create it again, even with the protection lifted: the
// first file then cannot be created in the missing folder, and its No rolls back.
TEST_F(ProtectedTarget, AReadOnlyDestinationParentAnsweredYesGoesOnWithoutTheFolder) {
    fs::permissions(parent(), fs::perms(0555));
    Protection protection(parent());
    REQUIRE_PROTECTION(protection, parent());
    BackgroundRun run = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> box =
        question(std::string("Error creating a directory '") + productFolder +
                 "'. \nInsufficient access rights to create subfolders in a folder '" + parentFolder +
                 "'. \nContinue?");
    ASSERT_TRUE(box) << "no question about the destination";
    protection.lift();
    fs::permissions(parent(), fs::perms(0755));
    answer(*box, yesButtonId);
    std::optional<DialogDump> next = wine.waitDialog(caption, 60s);
    ASSERT_TRUE(next) << "no question about the first file";
    std::string text = next->text(messageTextId).value_or("");
    std::string head = std::string("Error creating a file '") + readmePath + "'  \nfor write access. ";
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_EQ(text.substr(text.size() - 9), "Continue?") << text;
    answer(*next, noButtonId);
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed);
    EXPECT_EQ(contentsOf(parent()), std::vector<std::string>{}) << "nothing of the product";
}

// The install folder exists, read-only and protected (mode 555): the first file cannot be
// created there (error 8, no right to add files), Yes goes on; the folder entry after it cannot be
// created either (error 35, no right to add subfolders), No rolls back. The folder that existed
// before stays, empty.
TEST_F(ProtectedTarget, AReadOnlyInstallFolderAsksPerFileAndPerFolder) {
    fs::path product = wine.hostPath(productFolder);
    fs::create_directories(product);
    fs::permissions(product, fs::perms(0555));
    Protection protection(product);
    REQUIRE_PROTECTION(protection, product);
    BackgroundRun run = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> file =
        question(std::string("Error creating a file '") + readmePath + "' for write access.  \n"
                 "Insufficient access rights to create files in a folder '" + productFolder + "'.  \nContinue?");
    ASSERT_TRUE(file) << "no question about the first file";
    answer(*file, yesButtonId);
    std::optional<DialogDump> folder =
        question(std::string("Error creating a directory '") + productFolder + "\\docs'. \n"
                 "Insufficient access rights to create subfolders in a folder '" + productFolder + "'. \nContinue?");
    ASSERT_TRUE(folder) << "no question about the folder entry";
    answer(*folder, noButtonId);
    WindowsRun ended = run.wait(60s);
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed);
    protection.lift();
    fs::permissions(product, fs::perms(0755));
    EXPECT_EQ(contentsOf(parent()), std::vector<std::string>{"Product"}) << "the folder that was there, empty";
}

// A drive mounted read-only, as a write-protected medium: Wine reports creating the destination
// as access denied, and as the folder's parent is the bare drive, the question is the one about
// the target drive (error 37). No rolls back; nothing was written, nothing is left to undo.
TEST_F(ProtectedTarget, AWriteProtectedDriveAsksAboutTheDriveAndNoRollsBack) {
    fs::path mountPoint = wine.scratch() / "drive-w";
    fs::create_directories(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_RDONLY, "size=65536") != 0)
        GTEST_SKIP() << "cannot mount a read-only tmpfs as drive W: (" << std::strerror(errno)
                     << "); this test needs to run as root";
    fs::path link = wine.prefix() / "dosdevices" / "w:";
    fs::remove(link);
    fs::create_directory_symlink(mountPoint, link);
    BackgroundRun run = wine.start(writeProtectedSetupPath, {"S"}, 60s);
    // No assertion ends the test before the drive is unmounted again.
    std::optional<DialogDump> box = wine.waitDialog(caption, 60s);
    if (box) {
        EXPECT_EQ(box->text(messageTextId).value_or("<no text>"),
                  "Error creating a directory 'W:\\Product'. \nAccess to the target drive is denied. \nContinue?");
        EXPECT_TRUE(box->find(yesButtonId) && box->find(noButtonId)) << "Yes and No";
        answer(*box, noButtonId);
    }
    WindowsRun ended = run.wait(60s);
    fs::remove(link);
    std::vector<std::string> left = contentsOf(mountPoint);
    umount2(mountPoint.c_str(), MNT_DETACH);
    ASSERT_TRUE(box) << "no question about the destination";
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed);
    EXPECT_EQ(left, std::vector<std::string>{});
}

}  // namespace
}  // namespace e2e
