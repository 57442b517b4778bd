// windows_versions_test.cpp -- a package without requirements installed with `setup.exe S` and
// removed with `uninstall.exe S` while Wine reports each of Windows 95, 98, Me, NT 4.0, 2000,
// XP, Server 2003, 7 and 10; then the demo product, which installs from Windows 2000 on and
// refuses the older versions with its one warning.
//
// One prefix serves every version: Wine reads its version setting (HKCU\Software\Wine, value
// Version) when a process starts, and the persistent wineserver holds the registry, so a value
// written with `reg` reaches the next program without restarting the server (the harness test
// proves it, and each case below asserts the version's own folder choice).
//
// Per version: the bare stub runs once under that version first (start-up resolves the folder
// tokens and may create folders and Shell Folders values of that version), then the prefix is
// pictured, installed, checked, removed, and pictured again: the two pictures must be equal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "e2e_config.h"
#include "removal_support.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char uninstallRoot[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const unsigned long exitFailed = 2;
const int okButtonId = 1;

// The host processes whose WINEPREFIX is this session's prefix: their command lines and current
// folders, one per line.
std::string prefixProcesses() {
    const std::string wanted = "WINEPREFIX=" + WineSession::current().prefix().string() + '\0';
    std::ostringstream out;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        Bytes variables = readBytes(entry.path() / "environ");
        if (std::search(variables.begin(), variables.end(), wanted.begin(), wanted.end()) == variables.end()) continue;
        Bytes line = readBytes(entry.path() / "cmdline");
        std::string command(line.begin(), line.end());
        std::replace(command.begin(), command.end(), '\0', ' ');
        command.erase(command.find_last_not_of(' ') + 1);
        out << "\n  " << entry.path().filename().string() << " " << command << " (in "
            << std::filesystem::read_symlink(entry.path() / "cwd", error).string() << ")";
    }
    return out.str();
}

// A Windows version as Wine's setting names it, and what the installer must make of it.
struct Version {
    const char* setting;  // HKCU\Software\Wine Version
    const char* name;
    bool allUsers;        // the all-users folders serve the "<Common...>" tokens
    bool commonDocuments; // "<CommonDocuments>" is the shared documents folder (Me, 2000 and later)
    bool builtAppData;    // "<CommonAppData>" is built from "<AllUsers>" (98 and 98 SE)
    bool demoInstalls;    // the demo requires Windows 2000
};

const Version versions[] = {
    {"win95", "Windows 95", false, false, false, false},
    {"win98", "Windows 98 SE", false, false, true, false},
    {"winme", "Windows Me", true, true, false, false},
    {"nt40", "Windows NT 4.0", true, false, false, false},
    {"win2k", "Windows 2000", true, true, false, true},
    {"winxp", "Windows XP", true, true, false, true},
    {"win2003", "Windows Server 2003", true, true, false, true},
    {"win7", "Windows 7", true, true, false, true},
    {"win10", "Windows 10", true, true, false, true},
};

std::string userName(WineSession& wine) {
    for (const auto& entry : std::filesystem::directory_iterator(wine.prefix() / "drive_c/users"))
        if (entry.path().filename() != "Public") return entry.path().filename().string();
    return "";
}

// Wine's folders (the layout of its prefixes, whatever version it reports).
struct Folders {
    std::string programFiles = "C:\\Program Files";
    std::string commonPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    std::string commonStartMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
    std::string commonDesktop = "C:\\users\\Public\\Desktop";
    std::string commonDocuments = "C:\\users\\Public\\Documents";
    std::string commonAppData = "C:\\ProgramData";
    std::string builtAppData = "C:\\windows\\Profiles\\All Users\\Application Data";
    std::string user, programs, startMenu, desktop, documents;
    explicit Folders(const std::string& name)
        : user("C:\\users\\" + name),
          programs(user + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"),
          startMenu(user + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"),
          desktop(user + "\\Desktop"),
          documents(user + "\\Documents") {}
};

// One line of the results table.
struct Outcome {
    std::string install = "-", removal = "-", programs, desktop, choice, demo = "-";
};

// The table's lines by Wine's version setting.
std::map<std::string, Outcome>& outcomes() {
    static std::map<std::string, Outcome> table;
    return table;
}

std::string text(const std::optional<RegistryValue>& value) {
    return value ? value->type + " " + value->data : "<missing>";
}

bool exists(WineSession& wine, const std::string& path) { return std::filesystem::exists(wine.hostPath(path)); }

std::string contents(WineSession& wine, const std::string& path) {
    std::optional<Bytes> bytes = wine.readFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
}

class WindowsVersions : public ::testing::TestWithParam<Version> {
protected:
    WineSession& wine = WineSession::current();

    static void TearDownTestSuite() {
        WineSession::current().setWindowsVersion("win7");
        std::ostringstream table;
        table << "[ table    ] version | install | removal | program group folder | desktop folder | choice | demo\n";
        for (const Version& version : versions) {
            const Outcome& row = outcomes()[version.setting];
            table << "[ table    ] " << version.name << " | " << row.install << " | " << row.removal << " | "
                  << row.programs << " | " << row.desktop << " | " << row.choice << " | " << row.demo << "\n";
        }
        std::cout << table.str();
    }

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        started = std::chrono::steady_clock::now();
        wine.setWindowsVersion(GetParam().setting);
        ASSERT_EQ(wine.registryValue("HKCU\\Software\\Wine", "Version")->data, GetParam().setting);
        // The bare stub's start-up makes this version's traces before the first picture.
        prepareForPictures(wine);
        // Every Windows profile has this key; Wine's shell makes it the first time it asks whether
        // file extensions are hidden (the demo's links get there), and no removal takes it away.
        wine.createRegistryKey("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced");
    }

    void TearDown() override {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::cout << "[ timing   ] " << GetParam().name << ": " << seconds << " s\n";
    }

    // A setup file built once per process from a project file; its host path, or empty.
    std::filesystem::path built(const std::filesystem::path& project, const std::string& name) {
        static std::map<std::string, std::filesystem::path> files;
        auto found = files.find(name);
        if (found != files.end()) return found->second;
        std::string error;
        std::filesystem::path out = wine.scratch() / (name + "-setup.exe");
        if (!buildSetupFile(project, out, wine.scratch(), &error)) {
            ADD_FAILURE() << name << ": " << error;
            out.clear();
        }
        return files[name] = out;
    }

    // `uninstall.exe S` of an installed product; waits until its self-removal took the folder.
    bool removeSilently(const std::string& folder, const std::string& uninstaller) {
        std::set<std::string> temp = tempNames(wine);
        WindowsRun run = wine.runWatched(folder + "\\" + uninstaller, {"S"}, 60s * config::timeScale());
        EXPECT_TRUE(run.ended) << describe(run.driver);
        EXPECT_EQ(run.exitCode, 0u) << "removed";
        EXPECT_EQ(run.windows, std::vector<std::string>{}) << "a silent removal shows nothing";
        EXPECT_EQ(waitForTempNames(wine, temp, 20s * config::timeScale()), std::set<std::string>{})
            << "the self-removal script is gone\n" << leftBehind(folder, uninstaller);
        for (int wait = 0; wait < 200 && exists(wine, folder); ++wait) std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(exists(wine, folder)) << "the product folder goes with the uninstaller\n"
                                           << leftBehind(folder, uninstaller);
        return run.ended && run.exitCode == 0 && !exists(wine, folder);
    }

    // For a removal that did not end: what is still in the product folder, the script's text if
    // it is still there, and the prefix's Windows processes that are still running.
    std::string leftBehind(const std::string& folder, const std::string& uninstaller) {
        std::ostringstream out;
        std::error_code error;
        out << "product folder:";
        for (const auto& entry : std::filesystem::recursive_directory_iterator(wine.hostPath(folder), error))
            out << " " << entry.path().lexically_relative(wine.hostPath(folder)).string();
        out << "\n" << uninstaller << (exists(wine, folder + "\\" + uninstaller) ? " is still there" : " is gone");
        for (const std::string& name : tempNames(wine))
            if (name.size() > 4 && name.substr(name.size() - 4) == ".bat") {
                Bytes script = readBytes(tempFolder(wine) / name);
                out << "\n" << name << ":\n" << std::string(script.begin(), script.end());
            }
        out << "\nprocesses of this prefix:" << prefixProcesses();
        return out.str();
    }

    std::chrono::steady_clock::time_point started;
};

// The test package: every folder token it uses is the one the version calls for, its files and
// links land there, the Uninstall entry names its uninstaller, and the removal leaves the prefix
// as it found it.
TEST_P(WindowsVersions, TestPackageInstallsAndGoesAgainSilently) {
    const Version& version = GetParam();
    Folders folders(userName(wine));
    const std::string install = folders.programFiles + "\\Velkorin Versions";
    const std::string key = std::string(uninstallRoot) + "Velkorin Versions";
    const std::string foldersKey = "HKLM\\Software\\Velkorin Versions\\Folders";
    const std::string programs = version.allUsers ? folders.commonPrograms : folders.programs;
    const std::string otherPrograms = version.allUsers ? folders.programs : folders.commonPrograms;
    const std::string desktop = version.allUsers ? folders.commonDesktop : folders.desktop;
    const std::string otherDesktop = version.allUsers ? folders.desktop : folders.commonDesktop;
    Outcome& row = outcomes()[version.setting];

    std::filesystem::path setup = built(config::root() / "tests/e2e/projects/versions/project.toml", "versions");
    ASSERT_FALSE(setup.empty());
    PrefixPicture before = takePicture(wine);
    wine.copyIn(setup, "C:\\versions\\setup.exe");
    WindowsRun run = wine.runWatched("C:\\versions\\setup.exe", {"S"}, 60s * config::timeScale());
    std::filesystem::remove_all(wine.hostPath("C:\\versions"));
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u) << version.name << ": installed";
    EXPECT_EQ(run.windows, std::vector<std::string>{}) << "a silent installation shows nothing";

    // What each folder token resolved to, as the package recorded it.
    EXPECT_EQ(text(wine.registryValue(foldersKey, "ProgramFiles")), "REG_SZ " + folders.programFiles);
    EXPECT_EQ(text(wine.registryValue(foldersKey, "Programs")), "REG_SZ " + folders.programs);
    EXPECT_EQ(text(wine.registryValue(foldersKey, "CommonPrograms")), "REG_SZ " + programs);
    EXPECT_EQ(text(wine.registryValue(foldersKey, "CommonStartMenu")),
              "REG_SZ " + (version.allUsers ? folders.commonStartMenu : folders.startMenu));
    EXPECT_EQ(text(wine.registryValue(foldersKey, "CommonDesktop")), "REG_SZ " + desktop);
    EXPECT_EQ(text(wine.registryValue(foldersKey, "CommonDocuments")),
              "REG_SZ " + (version.commonDocuments ? folders.commonDocuments : folders.documents));
    EXPECT_EQ(text(wine.registryValue(foldersKey, "CommonAppData")),
              "REG_SZ " + (version.builtAppData ? folders.builtAppData : folders.commonAppData));

    // The table shows what the installation chose, whatever was expected.
    std::optional<RegistryValue> chosenPrograms = wine.registryValue(foldersKey, "CommonPrograms");
    std::optional<RegistryValue> chosenDesktop = wine.registryValue(foldersKey, "CommonDesktop");
    row.programs = chosenPrograms ? chosenPrograms->data : "<none>";
    row.desktop = chosenDesktop ? chosenDesktop->data : "<none>";
    row.choice = row.programs == folders.commonPrograms ? "all users"
                 : row.programs == folders.programs    ? "per user"
                                                       : "neither";

    // The files, the links in the chosen folders (and none in the others), the Uninstall entry.
    EXPECT_EQ(contents(wine, install + "\\readme.txt"), "Velkorin Versions readme\r\n");
    EXPECT_EQ(contents(wine, install + "\\docs\\guide.txt"), "Velkorin Versions guide\r\n");
    EXPECT_TRUE(exists(wine, install + "\\uninstall.exe"));
    EXPECT_TRUE(exists(wine, install + "\\uninstall.log"));
    EXPECT_TRUE(exists(wine, programs + "\\Velkorin Versions\\Guide.lnk")) << programs;
    EXPECT_FALSE(exists(wine, otherPrograms + "\\Velkorin Versions")) << otherPrograms;
    EXPECT_TRUE(exists(wine, desktop + "\\Velkorin Versions.lnk")) << desktop;
    EXPECT_FALSE(exists(wine, otherDesktop + "\\Velkorin Versions.lnk")) << otherDesktop;
    EXPECT_EQ(text(wine.registryValue(key, "DisplayName")), "REG_SZ Velkorin Versions 1.0");
    EXPECT_EQ(text(wine.registryValue(key, "UninstallString")), "REG_SZ \"" + install + "\\uninstall.exe\"");
    EXPECT_EQ(text(wine.registryValue(key, "QuietUninstallString")), "REG_SZ \"" + install + "\\uninstall.exe\" S");
    row.install = run.ended && run.exitCode == 0 && !HasFailure() ? "ok" : "FAILED";

    bool removed = removeSilently(install, "uninstall.exe");
    EXPECT_FALSE(wine.registryValue(key, "DisplayName")) << "the Uninstall entry is gone";
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)), std::vector<std::string>{})
        << version.name << ": the prefix is as it was before the installation";
    row.removal = removed && !HasFailure() ? "ok" : "FAILED";
}

// The demo: from Windows 2000 on it installs and goes again like the test package; on older
// versions it shows its one warning about the version, exits with 2 and changes nothing.
TEST_P(WindowsVersions, DemoInstallsWhereItsRequirementsAllow) {
    const Version& version = GetParam();
    Folders folders(userName(wine));
    const std::string install = folders.programFiles + "\\Velkorin Demo";
    const std::string key = std::string(uninstallRoot) + "Velkorin Demo";
    std::filesystem::path setup = built(config::root() / "examples/demo/demo.toml", "demo");
    ASSERT_FALSE(setup.empty());
    PrefixPicture before = takePicture(wine);
    wine.copyIn(setup, "C:\\demo\\setup.exe");

    if (!version.demoInstalls) {
        BackgroundRun started = wine.start("C:\\demo\\setup.exe", {"S"}, 60s * config::timeScale());
        std::optional<DialogDump> box = wine.waitDialog("Velkorin Demo 1.0 Setup", 20s * config::timeScale());
        ASSERT_TRUE(box) << version.name << ": no warning";
        EXPECT_EQ(box->text(messageTextId).value_or("<no text>"),
                  "You need at least Microsoft Windows 2000 for the program to be working.");
        wine.driver({"use", box->handle, "click", std::to_string(okButtonId), "wait-gone", "5000"});
        WindowsRun run = started.wait(30s * config::timeScale());
        std::filesystem::remove_all(wine.hostPath("C:\\demo"));
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, exitFailed) << "requirements not met";
        EXPECT_EQ(pictureDifferences(before, takePicture(wine)), std::vector<std::string>{}) << "nothing changed";
        outcomes()[version.setting].demo = HasFailure() ? "FAILED" : "refused (needs 2000), nothing changed";
        return;
    }

    WindowsRun run = wine.runWatched("C:\\demo\\setup.exe", {"S"}, 60s * config::timeScale());
    std::filesystem::remove_all(wine.hostPath("C:\\demo"));
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u) << version.name << ": the demo installed";
    EXPECT_EQ(run.windows, std::vector<std::string>{});
    for (std::string file : {"readme.txt", "bin/data.bin", "docs/guide.txt", "docs/notes/changes.txt"}) {
        Bytes source = readBytes(config::root() / "examples/demo/files" / file);
        ASSERT_FALSE(source.empty()) << file;
        std::replace(file.begin(), file.end(), '/', '\\');
        EXPECT_EQ(wine.readFile(install + "\\" + file), source) << file;
    }
    EXPECT_TRUE(exists(wine, folders.programs + "\\Velkorin Demo\\Demo Guide.lnk"));
    EXPECT_TRUE(exists(wine, folders.desktop + "\\Velkorin Demo Readme.lnk"));
    EXPECT_EQ(text(wine.registryValue("HKLM\\Software\\Velkorin\\Demo", "InstallPath")), "REG_SZ " + install);
    EXPECT_EQ(text(wine.registryValue(key, "DisplayName")), "REG_SZ Velkorin Demo 1.0");
    EXPECT_EQ(text(wine.registryValue(key, "UninstallString")), "REG_SZ \"" + install + "\\uninstall.exe\"");

    removeSilently(install, "uninstall.exe");
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)), std::vector<std::string>{})
        << version.name << ": the demo left nothing behind";
    outcomes()[version.setting].demo = HasFailure() ? "FAILED" : "installed and removed";
}

INSTANTIATE_TEST_SUITE_P(Wine, WindowsVersions, ::testing::ValuesIn(versions),
                         [](const ::testing::TestParamInfo<Version>& info) { return std::string(info.param.setting); });

}  // namespace
}  // namespace e2e
