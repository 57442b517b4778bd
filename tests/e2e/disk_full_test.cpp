// disk_full_test.cpp -- `setup.exe S` onto a drive that fills up: the write failure asks OK/Cancel.
// Cancel rolls the installation back; OK, after space was freed, writes the file again from its
// first byte and the installation goes on.
//
// Drive D: is a small tmpfs mounted by this process (the e2e tests run as root) and linked into
// the prefix's dosdevices. A filler file takes most of its space, so that the package's small
// files fit but its large file does not; deleting the filler while the question is shown frees
// the space.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "e2e_config.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const int messageTextId = 0xFFFF, okButtonId = 1, cancelButtonId = 2, yesButtonId = 6, noButtonId = 7;
const unsigned long exitFailed = 2;

const char caption[] = "Velkorin Disk Full 1.0 Setup";
const char setupPath[] = "C:\\diskfull\\setup.exe";
const char largeFile[] = "D:\\Product\\z-large.bin";
const size_t page = 4096;
const size_t driveSize = 64 * page;   // 256 KiB
const size_t fillerSize = 44 * page;  // leaves 20 pages: the two small files fit, the large one not
const size_t largeSize = 40 * page;   // fits once the filler is gone

// Bytes that deflate compresses only partly, so the large file travels compressed and its data
// comes out of the inflater in several chunks.
Bytes largeContent() {
    Bytes bytes(largeSize);
    unsigned state = 12345;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<unsigned char>("0123456789abcdef"[(state >> 16) & 15]);
    }
    return bytes;
}

void writeHostFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Every path below the folder, relative to it.
std::vector<std::string> contentsOf(const std::filesystem::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        entries.push_back(std::filesystem::relative(entry.path(), folder).string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

class DiskFull : public ::testing::Test {
protected:
    static inline std::filesystem::path drive;  // the mount point; empty when not mounted
    static inline std::string skipReason;
    static inline std::string buildError;
    static inline bool built = false;

    static void SetUpTestSuite() {
        WineSession& wine = WineSession::current();
        if (!config::packer()) {
            skipReason = "velkorin-pack is not part of this build";
            return;
        }
        std::filesystem::path mountPoint = wine.scratch() / "drive-d";
        std::filesystem::create_directories(mountPoint);
        std::string options = "size=" + std::to_string(driveSize);
        if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            skipReason = std::string("cannot mount a small tmpfs as drive D: (") + std::strerror(errno) +
                         "); this test needs to run as root";
            return;
        }
        drive = mountPoint;
        std::filesystem::path link = wine.prefix() / "dosdevices" / "d:";
        std::filesystem::remove(link);
        std::filesystem::create_directory_symlink(drive, link);

        std::filesystem::path project = wine.scratch() / "diskfull";
        std::string readme = "Read me first.\r\n", guide = "The guide.\r\n";
        writeHostFile(project / "app" / "a-readme.txt", Bytes(readme.begin(), readme.end()));
        writeHostFile(project / "app" / "docs" / "guide.txt", Bytes(guide.begin(), guide.end()));
        writeHostFile(project / "app" / "z-large.bin", largeContent());
        std::ofstream(project / "project.toml") << "[product]\n"
                                                   "name = \"Velkorin Disk Full\"\n"
                                                   "title = \"Velkorin Disk Full 1.0\"\n"
                                                   "create_uninstaller = false\n"
                                                   "\n[[variables]]\n"
                                                   "name = \"InstallPath\"\n"
                                                   "value = \"D:\\\\Product\"\n"
                                                   "\n[[files]]\n"
                                                   "destination = \"%InstallPath%\"\n"
                                                   "source = \"app\"\n";
        std::filesystem::path out = wine.scratch() / "diskfull.exe";
        if (!buildSetupFile(project / "project.toml", out, wine.scratch(), &buildError)) return;
        wine.copyIn(out, setupPath);
        built = true;
    }

    static void TearDownTestSuite() {
        if (drive.empty()) return;
        std::filesystem::remove(WineSession::current().prefix() / "dosdevices" / "d:");
        // Detached: a Wine process that still holds a handle there does not keep the mount alive.
        umount2(drive.c_str(), MNT_DETACH);
        drive.clear();
    }

    void SetUp() override {
        if (!skipReason.empty()) GTEST_SKIP() << skipReason;
        ASSERT_TRUE(built) << buildError;
        // D: holds the filler and nothing else.
        for (const auto& entry : std::filesystem::directory_iterator(drive)) std::filesystem::remove_all(entry.path());
        writeHostFile(drive / "filler.bin", Bytes(fillerSize, 0x5A));
    }

    WineSession& wine = WineSession::current();

    // Starts the silent installation and waits for the disk-full question; checks its text and
    // buttons.
    std::optional<DialogDump> startAndWaitForTheQuestion(std::optional<BackgroundRun>* run) {
        run->emplace(wine.start(setupPath, {"S"}, 60s));
        std::optional<DialogDump> box = wine.waitDialog(caption, 60s);
        if (!box) return box;
        EXPECT_EQ(box->text(messageTextId).value_or("<no text>"),
                  std::string("Error writing a file '") + largeFile +
                      "'.  \nIt is not enough disk space on the target drive. To continue, first free  \n"
                      "disk space on the target drive and then click OK. To exit the setup,  \nclick Cancel.");
        EXPECT_TRUE(box->find(okButtonId)) << "an OK button";
        EXPECT_TRUE(box->find(cancelButtonId)) << "a Cancel button";
        EXPECT_FALSE(box->find(yesButtonId) || box->find(noButtonId)) << "OK/Cancel, not Yes/No";
        // The small files came before the large one and fit.
        EXPECT_TRUE(std::filesystem::exists(drive / "Product" / "a-readme.txt"));
        EXPECT_TRUE(std::filesystem::exists(drive / "Product" / "docs" / "guide.txt"));
        return box;
    }
};

TEST_F(DiskFull, CancelRollsTheInstallationBack) {
    std::optional<BackgroundRun> run;
    std::optional<DialogDump> box = startAndWaitForTheQuestion(&run);
    ASSERT_TRUE(box) << "no disk-full question; D: holds: " << ::testing::PrintToString(contentsOf(drive));
    ProcessResult pressed = wine.driver({"use", box->handle, "click", std::to_string(cancelButtonId), "wait-gone", "5000"});
    EXPECT_EQ(pressed.exitCode, 0) << describe(pressed);
    WindowsRun ended = run->wait(60s);
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed) << "an aborted installation is a failure";
    EXPECT_EQ(contentsOf(drive), std::vector<std::string>{"filler.bin"}) << "nothing of the product is left on D:";
}

TEST_F(DiskFull, OkAfterFreeingSpaceWritesTheWholeFileAgain) {
    std::optional<BackgroundRun> run;
    std::optional<DialogDump> box = startAndWaitForTheQuestion(&run);
    ASSERT_TRUE(box) << "no disk-full question; D: holds: " << ::testing::PrintToString(contentsOf(drive));
    // The failed write left the first part of the file behind: OK must write over it, not after it.
    ASSERT_TRUE(std::filesystem::exists(drive / "Product" / "z-large.bin")) << "the file being written";
    ASSERT_GT(std::filesystem::file_size(drive / "Product" / "z-large.bin"), 0u) << "no first part to write over";
    std::filesystem::remove(drive / "filler.bin");
    ProcessResult pressed = wine.driver({"use", box->handle, "click", std::to_string(okButtonId), "wait-gone", "5000"});
    EXPECT_EQ(pressed.exitCode, 0) << describe(pressed);
    // The failure was reported, so the installation ends with the notice of errors.
    std::optional<DialogDump> notice = wine.waitDialog(caption, 60s);
    ASSERT_TRUE(notice) << "no notice at the end";
    EXPECT_EQ(notice->text(messageTextId).value_or("<no text>"),
              "The installation completed with errors. The application may not function propetly.");
    wine.driver({"use", notice->handle, "click", std::to_string(okButtonId), "wait-gone", "5000"});
    WindowsRun ended = run->wait(60s);
    ASSERT_TRUE(ended.ended) << describe(ended.driver);
    EXPECT_EQ(ended.exitCode, exitFailed) << "completed, with a reported error";

    EXPECT_EQ(readBytes(drive / "Product" / "z-large.bin"), largeContent()) << "exactly the packaged bytes";
    EXPECT_EQ(contentsOf(drive), (std::vector<std::string>{"Product", "Product/a-readme.txt", "Product/docs",
                                                           "Product/docs/guide.txt", "Product/z-large.bin"}));
}

}  // namespace
}  // namespace e2e
