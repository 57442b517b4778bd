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
#include "wine_session.h"

namespace e2e {
namespace {

const char setupPath[] = "C:\\abort\\setup.exe";
const char caption[] = "Velkorin Abort 1.0 Setup";
const char installed[] = "C:\\Program Files\\Velkorin Abort";

// Every file and folder of drive C: but the Windows folder and the temporary folder, with the
// bytes of each file.
std::set<std::string> filesOf(const std::filesystem::path& drive) {
    std::set<std::string> entries;
    for (auto it = std::filesystem::recursive_directory_iterator(drive); it != decltype(it)(); ++it) {
        std::string relative = std::filesystem::relative(it->path(), drive).string();
        if (relative == "windows" || relative.find("/Temp") != std::string::npos) {
            it.disable_recursion_pending();
            continue;
        }
        std::string line = relative;
        if (it->is_regular_file()) {
            std::ifstream in(it->path(), std::ios::binary);
            line += " = " + std::string(std::istreambuf_iterator<char>(in), {});
        }
        entries.insert(line);
    }
    return entries;
}

// The registry below a root as `reg export` writes it, one line per key or value.
std::set<std::string> registryOf(WineSession& wine, const std::string& root) {
    std::filesystem::path file = wine.scratch() / ("export-" + root + ".reg");
    wine.wine({"reg", "export", root, WineSession::windowsPathOf(file), "/y"});
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {}), text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) text += bytes[i];  // UTF-16LE, ASCII content
    std::set<std::string> lines;
    std::istringstream stream(text);
    std::string key, line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == '[') key = line;
        lines.insert(line[0] == '[' ? line : key + " " + line);
    }
    return lines;
}

// Lines in a but not in b, leaving out Wine's own configuration keys, which Wine changes as it
// likes while programs run.
std::vector<std::string> difference(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::vector<std::string> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    out.erase(std::remove_if(out.begin(), out.end(),
                             [](const std::string& line) {
                                 return line.rfind("[HKEY_CURRENT_USER\\Software\\Wine", 0) == 0;
                             }),
              out.end());
    return out;
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
    auto filesBefore = filesOf(drive);
    auto machineBefore = registryOf(wine, "HKLM"), userBefore = registryOf(wine, "HKCU");
    auto classesBefore = registryOf(wine, "HKCR");

    BackgroundRun setup = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> question = wine.waitDialog(caption, 20s);
    ASSERT_TRUE(question) << "no question about the association";
    EXPECT_EQ(question->text(0xFFFF).value_or(""), "Error creating the association for '.vkabort'. Continue?");
    wine.driver({"use", question->handle, "click", "7", "wait-gone", "5000"});
    // Undoing the shared file's count reaches zero: the shared-file question, answered Yes.
    std::optional<DialogDump> shared = wine.waitDialog("Shared File Detected", 20s);
    ASSERT_TRUE(shared) << "no shared-file question during the rollback";
    wine.driver({"use", shared->handle, "click", "1", "wait-gone", "5000"});
    WindowsRun run = setup.wait(60s);
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 2u) << "an aborted installation is a failure";

    auto filesAfter = filesOf(drive);
    std::string overwritten = "Program Files/Velkorin Abort/readme.txt";
    filesBefore.erase(overwritten + " = " + old);
    EXPECT_EQ(filesAfter.count(overwritten + " = new readme\r\n"), 1u) << "an overwritten file stays overwritten";
    filesAfter.erase(overwritten + " = new readme\r\n");
    EXPECT_EQ(difference(filesAfter, filesBefore), std::vector<std::string>{}) << "left behind";
    EXPECT_EQ(difference(filesBefore, filesAfter), std::vector<std::string>{}) << "lost";

    // The shared counts' key itself is the system's (every Windows has it); only its value was ours.
    auto machineAfter = registryOf(wine, "HKLM");
    machineAfter.erase("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs]");
    EXPECT_EQ(difference(machineAfter, machineBefore), std::vector<std::string>{});
    EXPECT_EQ(difference(registryOf(wine, "HKCU"), userBefore), std::vector<std::string>{});
    EXPECT_EQ(difference(registryOf(wine, "HKCR"), classesBefore), std::vector<std::string>{});
    EXPECT_FALSE(wine.registryValue("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velkorin Abort",
                                    "DisplayName"));
}

}  // namespace
}  // namespace e2e
