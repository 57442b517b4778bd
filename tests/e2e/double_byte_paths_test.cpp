// double_byte_paths_test.cpp -- a Japanese package installed silently and removed silently under
// Wine in a Japanese locale (ANSI code page 932), into folders whose names hold 表 (95 5C) and
// ソ (83 5C): characters whose second byte is the backslash, as do a packaged folder and file
// (ソ\表.txt). Its product name (and so its Uninstall key) and its program group end in such a
// character; a multi-string value holds ポ (83 7C), whose second byte is the bar that separates
// the strings. The files land in those folders, no folder is made from a name cut at a second
// byte, and the removal leaves the prefix as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "prefix_snapshot.h"
#include "removal_support.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

// UTF-8 texts (the test's and Wine's Unix side); the package holds them in code page 932.
const std::string product = "ソフト表";        // 83 5C 83 74 83 67 95 5C
const std::string installPath = "C:\\Program Files\\ソフト表\\データソ";
const std::string group = "表ソ";
const char uninstallKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Runs Wine's programs under a locale while it lives.
class LocaleScope {
public:
    explicit LocaleScope(const char* locale) {
        const char* old = std::getenv("LC_ALL");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("LC_ALL", locale, 1);
    }
    ~LocaleScope() {
        if (had_) setenv("LC_ALL", old_.c_str(), 1);
        else unsetenv("LC_ALL");
    }

private:
    bool had_ = false;
    std::string old_;
};

std::string userName(WineSession& wine) {
    for (const auto& entry : std::filesystem::directory_iterator(wine.prefix() / "drive_c/users"))
        if (entry.path().filename() != "Public") return entry.path().filename().string();
    return "";
}

// A UTF-16LE text (a .reg export) as UTF-8; every character of these tests is in the BMP.
std::string utf8Of(const std::string& utf16) {
    std::string out;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        unsigned c = static_cast<unsigned char>(utf16[i]) | static_cast<unsigned char>(utf16[i + 1]) << 8;
        if (c < 0x80) out += static_cast<char>(c);
        else if (c < 0x800) out += static_cast<char>(0xC0 | c >> 6), out += static_cast<char>(0x80 | (c & 0x3F));
        else
            out += static_cast<char>(0xE0 | c >> 12), out += static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// A key exported with `reg export` (its name given in UTF-8), as UTF-8 text; "" when it is missing.
std::string exportedKey(WineSession& wine, const std::string& key) {
    std::filesystem::path file = wine.scratch() / "key.reg";
    std::filesystem::remove(file);
    wine.wine({"reg", "export", key, WineSession::windowsPathOf(file), "/y"});
    std::ifstream in(file, std::ios::binary);
    return utf8Of(std::string(std::istreambuf_iterator<char>(in), {}));
}

std::string contents(WineSession& wine, const std::string& path) {
    std::optional<Bytes> bytes = wine.readFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
}

class DoubleBytePaths : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();
    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
};

TEST_F(DoubleBytePaths, InstallsIntoAndRemovesFoldersWhoseNamesEndInA5CSecondByte) {
    LocaleScope japanese("ja_JP.UTF-8");
    prepareForPictures(wine);
    std::filesystem::path project = wine.scratch() / "dbcs";
    std::filesystem::create_directories(project / "app/docs");
    std::ofstream(project / "app/readme.txt", std::ios::binary) << "readme\r\n";
    std::ofstream(project / "app/docs/guide.txt", std::ios::binary) << "guide\r\n";
    std::filesystem::create_directories(project / "app/ソ");
    std::ofstream(project / "app/ソ/表.txt", std::ios::binary) << "hyo\r\n";
    std::ofstream(project / "project.toml")
        << "[product]\nname = \"" << product << "\"\ntitle = \"" << product << " 1.0\"\n"
        << "create_uninstaller = true\n\n[languages]\noffered = [\"Japanese\"]\n\n"
        << "[[variables]]\nname = \"InstallPath\"\nvalue = \"<ProgramFiles>\\\\ソフト表\\\\データソ\"\n\n"
        << "[[variables]]\nname = \"ShortcutsGroup\"\nvalue = \"" << group << "\"\n\n"
        << "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"app\"\n\n"
        << "[[shortcuts]]\nlink = \"<Programs>\\\\%ShortcutsGroup%\\\\Guide.lnk\"\n"
        << "target = \"%InstallPath%\\\\docs\\\\guide.txt\"\n\n"
        << "[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\" << product << "\"\nname = \"Path\"\n"
        << "data = \"%InstallPath%\"\n\n"
        << "[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\" << product << "\"\nname = \"List\"\n"
        << "type = \"multi-string\"\ndata = [\"ポ\", \"表\"]\n\n"
        << "[[ini]]\nfile = \"%InstallPath%\\\\設定.ini\"\nsection = \"Paths\"\nkey = \"Docs\"\n"
        << "value = \"%InstallPath%\\\\docs\"\n";
    std::string error;
    std::filesystem::path setup = wine.scratch() / "dbcs-setup.exe";
    ASSERT_TRUE(buildSetupFile(project / "project.toml", setup, wine.scratch(), &error)) << error;

    PrefixPicture before = takePicture(wine);
    wine.copyIn(setup, "C:\\dbcs\\setup.exe");
    WindowsRun run = wine.runWatched("C:\\dbcs\\setup.exe", {"S"}, 60s * config::timeScale());
    std::filesystem::remove_all(wine.hostPath("C:\\dbcs"));
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u) << "installed";
    EXPECT_EQ(run.windows, std::vector<std::string>{});

    // Exactly these files and folders are new on drive C:, under the whole names.
    const std::string programs = "users/" + userName(wine) + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs";
    const std::string folder = "Program Files/ソフト表/データソ";
    PrefixPicture installed = takePicture(wine);
    std::vector<std::string> added;
    for (const std::string& line : linesOnlyIn(installed.files, before.files)) added.push_back(line);
    std::string log = contents(wine, installPath + "\\uninstall.log");
    std::string ini = contents(wine, installPath + "\\設定.ini");
    std::vector<std::string> expected = {
        "Program Files/ソフト表",
        folder,
        folder + "/docs",
        folder + "/docs/guide.txt = guide\r\n",
        folder + "/readme.txt = readme\r\n",
        folder + "/ソ",
        folder + "/ソ/表.txt = hyo\r\n",
        folder + "/uninstall.exe = " + contents(wine, installPath + "\\uninstall.exe"),
        folder + "/uninstall.log = " + log,
        folder + "/設定.ini = " + ini,
        programs + "/表ソ",
        programs + "/表ソ/Guide.lnk",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(added, expected) << "nothing lands in a folder cut at a second byte";
    EXPECT_NE(log, "<missing>");
    EXPECT_NE(ini.find("Docs="), std::string::npos) << ini;

    // The Uninstall key is named after the whole product name, and points at the uninstaller.
    std::string entry = exportedKey(wine, uninstallKey + product);
    EXPECT_NE(entry.find("[" + std::string(uninstallKey) + product + "]"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"DisplayName\"=\"" + product + " 1.0\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"UninstallString\"=\"\\\"C:\\\\Program Files\\\\ソフト表\\\\データソ\\\\uninstall.exe\\\"\""),
              std::string::npos)
        << entry;
    std::string value = exportedKey(wine, "HKEY_CURRENT_USER\\Software\\" + product);
    EXPECT_NE(value.find("\"Path\"=\"C:\\\\Program Files\\\\ソフト表\\\\データソ\""), std::string::npos) << value;
    // ポ (83 7C) and 表 as two strings: U+30DD, U+8868, each ended, then the list's end.
    EXPECT_NE(value.find("\"List\"=hex(7):dd,30,00,00,68,88,00,00,00,00"), std::string::npos) << value;

    std::set<std::string> temp = tempNames(wine);
    WindowsRun removal = wine.runWatched(installPath + "\\uninstall.exe", {"S"}, 60s * config::timeScale());
    ASSERT_TRUE(removal.ended) << describe(removal.driver);
    EXPECT_EQ(removal.exitCode, 0u) << "removed";
    EXPECT_EQ(removal.windows, std::vector<std::string>{});
    EXPECT_EQ(waitForTempNames(wine, temp, 20s * config::timeScale()), std::set<std::string>{});
    for (int wait = 0; wait < 200 && std::filesystem::exists(wine.hostPath(installPath)); ++wait)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(exportedKey(wine, uninstallKey + product), "");
    EXPECT_EQ(pictureDifferences(before, takePicture(wine)), std::vector<std::string>{})
        << "the removal leaves the prefix as it was";
}

}  // namespace
}  // namespace e2e
