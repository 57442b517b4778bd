// extraction_test.cpp -- the file area of a setup file built by velkorin-pack (real deflate streams,
// raw files, the overwrite rules), extracted under Wine while another process holds one of the
// targets open. Until the silent installation runs the worker, the walk is run by the Win32 test
// program (PackagedSetup.*), which loads the package as the stub does.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "held_file.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
const char caption[] = "Extraction Probe 1.0 Setup";
const int noButtonId = 7;
const char inUseText[] =
    "The installer needs to update the file 'C:\\Extracted\\held.txt',  \nbut it is currently in use by another "
    "application. Would you like to try replacing it again  \nbefore requiring a reboot to replace the file?";

std::string win32Tests() { return WineSession::windowsPathOf(config::win32Tests()); }

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const fs::path& path) {
    Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class ExtractionTest : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();
    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
};

TEST_F(ExtractionTest, BuiltPackageExtractsWithOverwriteRulesAndAFileInUse) {
    fs::path project = wine.scratch() / "extraction";
    std::string readme;
    for (int i = 0; i < 2000; ++i) readme += "line " + std::to_string(i) + " of the guide\r\n";
    std::string raw(300000, '\0');
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<char>((i * 2654435761u) >> 13);
    writeText(project / "files/docs/guide.txt", readme);
    writeText(project / "files/raw/data.bin", raw);
    writeText(project / "files/older.txt", "new older");
    writeText(project / "files/newer.txt", "new newer");
    writeText(project / "files/held.txt", "new held");
    writeText(project / "extraction.toml",
              "[product]\nname = \"Extraction Probe\"\ntitle = \"Extraction Probe 1.0\"\n\n"
              "[[variables]]\nname = \"InstallPath\"\nvalue = \"C:\\\\Extracted\"\n\n"
              "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"files\"\noverwrite = \"if-newer\"\n"
              "compare_by = \"time\"\nstore = [\"raw/*\"]\n");
    std::string error;
    ASSERT_TRUE(buildSetupFile(project / "extraction.toml", wine.scratch() / "extraction.exe", wine.scratch(), &error))
        << error;
    wine.copyIn(wine.scratch() / "extraction.exe", "C:\\extraction\\setup.exe");

    // On the target before the installation: an older and a newer copy, and a file in use.
    auto now = fs::file_time_type::clock::now();
    wine.writeFile("C:\\Extracted\\older.txt", {'o', 'l', 'd'});
    wine.writeFile("C:\\Extracted\\newer.txt", {'o', 'l', 'd'});
    wine.writeFile("C:\\Extracted\\held.txt", {'o', 'l', 'd'});
    fs::last_write_time(wine.hostPath("C:\\Extracted\\older.txt"), now - std::chrono::hours(24 * 400));
    fs::last_write_time(wine.hostPath("C:\\Extracted\\newer.txt"), now + std::chrono::hours(24 * 400));
    fs::last_write_time(wine.hostPath("C:\\Extracted\\held.txt"), now - std::chrono::hours(24 * 400));

    HeldFile holder(wine, "C:\\Extracted\\held.txt");
    ASSERT_TRUE(holder.held());

    setenv("VELKORIN_EXTRACT_SETUP", "C:\\extraction\\setup.exe", 1);
    setenv("VELKORIN_EXTRACT_LOG", "C:\\extraction\\install.log", 1);
    BackgroundRun setup = wine.start(win32Tests(), {"--gtest_filter=PackagedSetup.Extracts*"}, 40s);
    unsetenv("VELKORIN_EXTRACT_SETUP");
    unsetenv("VELKORIN_EXTRACT_LOG");
    std::optional<DialogDump> box = wine.waitDialog(caption, 60s);
    if (box) {
        EXPECT_EQ(box->text(messageTextId).value_or("<no text>"), inUseText);
        ProcessResult answered =
            wine.driver({"use", box->handle, "click", std::to_string(noButtonId), "wait-gone", "5000"});
        EXPECT_EQ(answered.exitCode, 0) << describe(answered);
    }
    WindowsRun run = setup.wait(40s);
    ASSERT_TRUE(box) << "no question about the file in use; the walk: " << describe(run.driver);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u) << describe(run.driver);
    holder.release();

    EXPECT_EQ(readText(wine.hostPath("C:\\Extracted\\docs\\guide.txt")), readme);
    EXPECT_EQ(readText(wine.hostPath("C:\\Extracted\\raw\\data.bin")), raw);
    EXPECT_EQ(readText(wine.hostPath("C:\\Extracted\\older.txt")), "new older");
    EXPECT_EQ(readText(wine.hostPath("C:\\Extracted\\newer.txt")), "old");
    EXPECT_EQ(readText(wine.hostPath("C:\\Extracted\\held.txt")), "old") << "deferred to the restart";
    int deferred = 0;
    for (const auto& entry : fs::directory_iterator(wine.prefix() / "drive_c/users/root/Temp"))
        if (entry.path().filename().string().rfind("VKR", 0) == 0 && readText(entry.path()) == "new held") ++deferred;
    EXPECT_EQ(deferred, 1) << "one temporary copy waits for the restart";
    // The temporary log lists what this run created; the existing files and the deferred one are
    // not in it.
    EXPECT_EQ(readText(wine.hostPath("C:\\extraction\\install.log")),
              "a,C:\\Extracted\n"
              "a,C:\\Extracted\\docs\n"
              "b,C:\\Extracted\\docs\\guide.txt\n"
              "a,C:\\Extracted\\raw\n"
              "b,C:\\Extracted\\raw\\data.bin\n");
}

}  // namespace
}  // namespace e2e
