// silent_install_test.cpp -- `setup.exe S` with a package that uses every install feature, and
// every effect checked where the system keeps it: files, links, registry, INI files,
// associations, shared counts, the Uninstall entry, the uninstaller and the final install log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "e2e_config.h"
#include "format/package_format.h"
#include "pe_fields.h"
#include "setup_files.h"
#include "shell_link.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char installPath[] = "C:\\Program Files\\Velkorin Full";
const char sharedPath[] = "C:\\Program Files\\Common Files\\Velkorin Shared\\common.dat";
const char setupPath[] = "C:\\full\\setup.exe";
const char sharedCounts[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char uninstallKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velkorin Full";

std::filesystem::path project() { return config::root() / "tests/e2e/projects/full"; }

std::string join(const std::string& a, const std::string& b) { return a + "\\" + b; }

std::vector<std::string> linesOf(const Bytes& bytes) {
    std::vector<std::string> lines;
    std::string text(bytes.begin(), bytes.end()), line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// The prefix's user (the folder under C:\users that is not Public).
std::string userName() {
    for (const auto& entry : std::filesystem::directory_iterator(WineSession::current().prefix() / "drive_c/users"))
        if (entry.path().filename() != "Public") return entry.path().filename().string();
    return "";
}

std::string userFolder(const std::string& below) { return "C:\\users\\" + userName() + "\\" + below; }

// Installs the full package once per process; every test below reads what it left behind.
class SilentInstall : public ::testing::Test {
protected:
    static inline bool installed = false;
    static inline std::string failure;
    static inline WindowsRun run;
    static inline Bytes setupFile;
    static inline std::filesystem::path source;  // the project as built (a copy in the scratch folder)

    static void SetUpTestSuite() {
        WineSession& wine = WineSession::current();
        std::filesystem::path out = wine.scratch() / "full-setup.exe";
        // A copy of the project with one read-only source file: the attribute travels with it.
        std::filesystem::path copy = source = wine.scratch() / "full";
        std::filesystem::copy(project(), copy, std::filesystem::copy_options::recursive);
        std::filesystem::permissions(copy / "app/data.bin", std::filesystem::perms::owner_write |
                                                                std::filesystem::perms::group_write |
                                                                std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
        if (!config::packer() || !buildSetupFile(copy / "project.toml", out, wine.scratch(), &failure)) return;
        setupFile = readBytes(out);
        wine.copyIn(out, setupPath);
        // A Quick Launch folder (a fresh prefix has none) and an INI file the package appends to.
        std::filesystem::create_directories(
            wine.hostPath(userFolder("AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch")));
        std::string existing = "[Options]\r\nList=a;b\r\n";
        wine.writeFile("C:\\velkorin-e2e\\existing.ini", Bytes(existing.begin(), existing.end()));
        run = wine.runWatched(setupPath, {"S"}, 60s);
        installed = true;
    }

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        ASSERT_TRUE(installed) << failure;
    }

    WineSession& wine = WineSession::current();

    std::optional<std::string> value(const std::string& key, const std::string& name) {
        auto found = wine.registryValue(key, name);
        if (!found) return std::nullopt;
        return found->type + " " + found->data;
    }
    ShellLink link(const std::string& path) {
        auto bytes = wine.readFile(path);
        if (!bytes) ADD_FAILURE() << "no link at " << path;
        auto parsed = bytes ? readShellLink(*bytes) : std::nullopt;
        if (bytes && !parsed) ADD_FAILURE() << "not a shell link: " << path;
        return parsed.value_or(ShellLink{});
    }
};

TEST_F(SilentInstall, EndsSuccessfullyWithoutAWindow) {
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.windows.empty()) << run.windows.size() << " windows, first: " << run.windows.front();
}

TEST_F(SilentInstall, FilesArriveWithTheirBytesAndTimes) {
    for (const char* relative : {"readme.txt", "data.bin", "docs\\big.txt", "docs\\deep\\note.txt"}) {
        std::string source = relative;
        std::replace(source.begin(), source.end(), '\\', '/');
        Bytes expected = readBytes(SilentInstall::source / "app" / source);
        auto installedBytes = wine.readFile(join(installPath, relative));
        ASSERT_TRUE(installedBytes) << relative;
        EXPECT_EQ(*installedBytes, expected) << relative;
        struct stat from, to;
        ASSERT_EQ(stat((SilentInstall::source / "app" / source).c_str(), &from), 0);
        ASSERT_EQ(stat(wine.hostPath(join(installPath, relative)).c_str(), &to), 0);
        // File times travel as 100-ns ticks.
        long long a = from.st_mtim.tv_sec * 10000000LL + from.st_mtim.tv_nsec / 100;
        long long b = to.st_mtim.tv_sec * 10000000LL + to.st_mtim.tv_nsec / 100;
        EXPECT_EQ(a, b) << relative << ": last-write time";
    }
    EXPECT_EQ(wine.readFile(sharedPath), readBytes(project() / "shared/common.dat"));
    // Attributes: the read-only source file arrives read-only, the others writable.
    auto writable = [&](const char* relative) {
        auto mode = std::filesystem::status(wine.hostPath(join(installPath, relative))).permissions();
        return (mode & std::filesystem::perms::owner_write) != std::filesystem::perms::none;
    };
    EXPECT_FALSE(writable("data.bin"));
    EXPECT_TRUE(writable("readme.txt"));
}

TEST_F(SilentInstall, SharedFilesAreCounted) {
    EXPECT_EQ(value(sharedCounts, sharedPath), "REG_DWORD 0x1");
}

TEST_F(SilentInstall, LinksPointWhereTheProjectSays) {
    ShellLink group = link(userFolder("AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Velkorin Full\\Readme.lnk"));
    EXPECT_EQ(group.target, join(installPath, "readme.txt"));
    EXPECT_EQ(group.arguments, "/view");
    EXPECT_EQ(group.workingFolder, installPath) << "an empty working folder means the install folder";
    EXPECT_EQ(group.iconLocation, "C:\\windows\\system32\\shell32.dll");
    EXPECT_EQ(group.iconIndex, 3);
    ShellLink desktop = link(userFolder("Desktop\\Velkorin Full.lnk"));
    EXPECT_EQ(desktop.target, join(installPath, "docs\\big.txt"));
    EXPECT_EQ(desktop.workingFolder, join(installPath, "docs")) << "the trailing backslash is dropped";
    EXPECT_EQ(desktop.showCommand, 3u);
    ShellLink quick = link(userFolder("AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\Velkorin Full.lnk"));
    EXPECT_EQ(quick.target, join(installPath, "readme.txt"));
    EXPECT_EQ(quick.showCommand, 7u);
}

TEST_F(SilentInstall, RegistryValuesOfEveryType) {
    EXPECT_EQ(value("HKLM\\Software\\Velkorin\\Full", "InstallPath"), std::string("REG_SZ ") + installPath);
    EXPECT_EQ(value("HKLM\\Software\\Velkorin\\Full", "Expanding"), "REG_EXPAND_SZ %SystemRoot%\\velkorin");
    EXPECT_EQ(value("HKCU\\Software\\Velkorin\\Full\\Settings", "Window"), "REG_BINARY 0AFF");
    EXPECT_EQ(value("HKCU\\Software\\Velkorin\\Full\\Settings", "Count"), "REG_DWORD 0x1234");
    EXPECT_EQ(value("HKCU\\Software\\Velkorin\\Full\\Settings", "Recent"), "REG_MULTI_SZ x\\0y");
}

TEST_F(SilentInstall, IniFilesAreWrittenAndAppendedTo) {
    auto created = wine.readFile(join(installPath, "full.ini"));
    ASSERT_TRUE(created);
    std::string text(created->begin(), created->end());
    EXPECT_NE(text.find("[Paths]"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string("Data=") + installPath + "\\docs"), std::string::npos) << text;
    auto existing = wine.readFile("C:\\velkorin-e2e\\existing.ini");
    ASSERT_TRUE(existing);
    EXPECT_NE(std::string(existing->begin(), existing->end()).find("List=a;b;added"), std::string::npos);
}

TEST_F(SilentInstall, AssociationKeys) {
    EXPECT_EQ(value("HKCR\\.vkfull", ""), "REG_SZ Velkorin.FullDocument");
    EXPECT_EQ(value("HKCR\\.vkfull", "Content Type"), "REG_SZ text/plain");
    EXPECT_EQ(value("HKCR\\Velkorin.FullDocument", ""), "REG_SZ Velkorin full document");
    EXPECT_EQ(value("HKCR\\Velkorin.FullDocument", "InfoTip"), "REG_EXPAND_SZ A document of the full test");
    EXPECT_EQ(value("HKCR\\Velkorin.FullDocument\\shell\\open\\command", ""),
              std::string("REG_SZ \"") + installPath + "\\readme.txt\" \"%1\"");
    EXPECT_EQ(value("HKCR\\Velkorin.FullDocument\\DefaultIcon", ""), std::string("REG_SZ ") + installPath + "\\data.bin,2");
}

TEST_F(SilentInstall, UninstallEntryAndUninstaller) {
    EXPECT_EQ(value(uninstallKey, "DisplayName"), "REG_SZ Velkorin Full 2.0");
    EXPECT_EQ(value(uninstallKey, "UninstallString"), std::string("REG_SZ \"") + installPath + "\\remove.exe\"");
    EXPECT_EQ(value(uninstallKey, "QuietUninstallString"),
              std::string("REG_SZ \"") + installPath + "\\remove.exe\" S");
    auto uninstaller = wine.readFile(join(installPath, "remove.exe"));
    ASSERT_TRUE(uninstaller);
    size_t image = packageOffsetOf(setupFile);
    Bytes expected(setupFile.begin(), setupFile.begin() + static_cast<long>(image));
    expected[18] = expected[19] = 0;  // no package: the copy starts as the uninstaller
    // ... with the PE CheckSum of the copy itself.
    ASSERT_GE(expected.size(), dosHeaderSize);
    uint32_t checkSumAt = loadU32(expected.data() + dosPeOffsetAt) + peCheckSumAt;
    ASSERT_LT(checkSumAt + 4, uninstaller->size());
    EXPECT_EQ(loadU32(uninstaller->data() + checkSumAt), peCheckSumOf(*uninstaller, checkSumAt));
    std::copy_n(uninstaller->begin() + checkSumAt, 4, expected.begin() + checkSumAt);
    EXPECT_EQ(*uninstaller, expected);
    EXPECT_FALSE(wine.readFile(join(installPath, "remove.tmp"))) << "nothing else beside it";
}

TEST_F(SilentInstall, FinalLogListsEveryChangeInOrder) {
    auto log = wine.readFile(join(installPath, "remove.log"));
    ASSERT_TRUE(log);
    std::string programs = userFolder("AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
    std::string app = installPath;
    std::vector<std::string> expected = {
        "=== Velkorin log file ===",
        "Velkorin Full 2.0",
        "Velkorin Full",
        "0,0xC88C00,0x2000000,0x1000000,0x1000000,MS Sans Serif,0x0,MS Sans Serif,0x0",
        // the file area: destination chains, then folders and files in table order
        "a," + app,
        "b," + app + "\\data.bin",
        "a," + app + "\\docs",
        "b," + app + "\\docs\\big.txt",
        "a," + app + "\\docs\\deep",
        "b," + app + "\\docs\\deep\\note.txt",
        "b," + app + "\\readme.txt",
        "a,C:\\Program Files\\Common Files\\Velkorin Shared",
        std::string("g,") + sharedPath,
        // the uninstaller and its log
        "b," + app + "\\remove.exe",
        "b," + app + "\\remove.log",
        // shortcuts: the new program group folder, then the links
        "a," + programs + "\\Velkorin Full",
        "h," + programs + "\\Velkorin Full\\Readme.lnk",
        "h," + userFolder("Desktop\\Velkorin Full.lnk"),
        "h," + userFolder("AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\Velkorin Full.lnk"),
        // registry: each new key level once, then the values
        "e,2,Software\\Velkorin",
        "e,2,Software\\Velkorin\\Full",
        "c,2,Software\\Velkorin\\Full,InstallPath",
        "c,2,Software\\Velkorin\\Full,Expanding",
        "e,1,Software\\Velkorin",
        "e,1,Software\\Velkorin\\Full",
        "e,1,Software\\Velkorin\\Full\\Settings",
        "c,1,Software\\Velkorin\\Full\\Settings,Window",
        "c,1,Software\\Velkorin\\Full\\Settings,Count",
        "c,1,Software\\Velkorin\\Full\\Settings,Recent",
        // INI: the new file only
        "b," + app + "\\full.ini",
        // the association's two keys
        "e,0,.vkfull,1",
        "e,0,Velkorin.FullDocument,1",
        // removal-time actions, variables expanded
        "d," + app + "\\cleanup.exe,/quiet," + app + ",1,0,0",
        "f," + app + "\\component.dll,DllUnregisterServer,,,1",
        "e,2,Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velkorin Full,1",
    };
    EXPECT_EQ(linesOf(*log), expected);
    std::string text(log->begin(), log->end());
    EXPECT_EQ(text.find('\r'), std::string::npos) << "lines end with a line feed alone";
}

}  // namespace
}  // namespace e2e
