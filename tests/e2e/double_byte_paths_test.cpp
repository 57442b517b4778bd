// double_byte_paths_test.cpp -- packages installed silently and removed silently under Wine in
// the locale of their language, so that Wine's ANSI code page is the package's: 932 (Japanese),
// 1251 (Russian), 1250 (Polish).
//
// The Japanese case is the one that matters: its folders hold 表 (95 5C) and ソ (83 5C),
// characters whose second byte is the backslash, as do a packaged folder and file (ソ\表.txt);
// its product name (and so its Uninstall key) and its program group end in such a character; a
// multi-string value holds ポ (83 7C), whose second byte is the bar that separates the strings.
// The single-byte cases show that their high bytes stay plain characters. In each case the files
// land under the whole names, no folder is made from a name cut at a second byte, and the removal
// leaves the prefix as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "locale_scope.h"
#include "prefix_snapshot.h"
#include "removal_support.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

// A package's names, in UTF-8 (the test's and Wine's Unix side); the package holds them in the
// language's code page.
struct Names {
    const char* language;  // the offered language
    const char* locale;    // Wine's programs run under it
    const char* product;   // also the Uninstall key's name
    const char* top;       // <ProgramFiles>\top\sub is the installation folder
    const char* sub;
    const char* group;     // the program group
    const char* folder;    // a packaged folder, holding
    const char* file;      // a packaged file
    const char* ini;       // an INI file the package writes
    const char* items[2];  // a multi-string value's strings
};

const Names cases[] = {
    // ソフト表 = 83 5C 83 74 83 67 95 5C; ポ = 83 7C
    {"Japanese", "ja_JP.UTF-8", "ソフト表", "ソフト表", "データソ", "表ソ", "ソ", "表.txt", "設定.ini", {"ポ", "表"}},
    {"Russian", "ru_RU.UTF-8", "Программа Ю", "Программы", "Папка Ж", "Группа", "Данные", "Файл я.txt",
     "Настройки.ini", {"Один", "Два"}},
    {"Polish", "pl_PL.UTF-8", "Zażółć", "Programy ąę", "Łódź", "Grupa ś", "Źródła", "Plik ż.txt", "Ustawienia ń.ini",
     {"Łąka", "Pół"}},
};

const char uninstallKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string userName(WineSession& wine) {
    for (const auto& entry : std::filesystem::directory_iterator(wine.prefix() / "drive_c/users"))
        if (entry.path().filename() != "Public") return entry.path().filename().string();
    return "";
}

// A UTF-8 text as UTF-16 code units; every character of these tests is in the BMP.
std::vector<unsigned> utf16Of(const std::string& utf8) {
    std::vector<unsigned> out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : 2;
        unsigned code = extra == 0 ? c : extra == 1 ? c & 0x1F : c & 0x0F;
        for (int k = 1; k <= extra; ++k) code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(code);
        i += extra + 1;
    }
    return out;
}

// How `reg export` writes a multi-string value of these strings: hex(7): and the UTF-16LE bytes
// of each string and its terminator, then the list's terminator.
std::string multiStringExport(const std::string& name, const char* const* items, int count) {
    std::string line = "\"" + name + "\"=hex(7):";
    char hex[16];
    auto put = [&](unsigned unit) {
        std::snprintf(hex, sizeof(hex), "%02x,%02x,", unit & 0xFF, unit >> 8);
        line += hex;
    };
    for (int i = 0; i < count; ++i) {
        for (unsigned unit : utf16Of(items[i])) put(unit);
        put(0);
    }
    put(0);
    line.pop_back();
    return line;
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

class DoubleBytePaths : public ::testing::TestWithParam<Names> {
protected:
    WineSession& wine = WineSession::current();
    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    }
};

TEST_P(DoubleBytePaths, InstallsIntoAndRemovesFoldersNamedInTheCodePage) {
    const Names& n = GetParam();
    const std::string product = n.product, top = n.top, sub = n.sub, group = n.group;
    const std::string installPath = "C:\\Program Files\\" + top + "\\" + sub;
    LocaleScope locale(n.locale);
    prepareForPictures(wine);
    std::filesystem::path project = wine.scratch() / (std::string("project-") + n.language);
    std::filesystem::create_directories(project / "app/docs");
    std::ofstream(project / "app/readme.txt", std::ios::binary) << "readme\r\n";
    std::ofstream(project / "app/docs/guide.txt", std::ios::binary) << "guide\r\n";
    std::filesystem::create_directories(project / "app" / n.folder);
    std::ofstream(project / "app" / n.folder / n.file, std::ios::binary) << "packaged\r\n";
    std::ofstream(project / "project.toml")
        << "[product]\nname = \"" << product << "\"\ntitle = \"" << product << " 1.0\"\n"
        << "create_uninstaller = true\n\n[languages]\noffered = [\"" << n.language << "\"]\n\n"
        << "[[variables]]\nname = \"InstallPath\"\nvalue = \"<ProgramFiles>\\\\" << top << "\\\\" << sub << "\"\n\n"
        << "[[variables]]\nname = \"ShortcutsGroup\"\nvalue = \"" << group << "\"\n\n"
        << "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"app\"\n\n"
        << "[[shortcuts]]\nlink = \"<Programs>\\\\%ShortcutsGroup%\\\\Guide.lnk\"\n"
        << "target = \"%InstallPath%\\\\docs\\\\guide.txt\"\n\n"
        << "[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\" << product << "\"\nname = \"Path\"\n"
        << "data = \"%InstallPath%\"\n\n"
        << "[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\" << product << "\"\nname = \"List\"\n"
        << "type = \"multi-string\"\ndata = [\"" << n.items[0] << "\", \"" << n.items[1] << "\"]\n\n"
        << "[[ini]]\nfile = \"%InstallPath%\\\\" << n.ini << "\"\nsection = \"Paths\"\nkey = \"Docs\"\n"
        << "value = \"%InstallPath%\\\\docs\"\n";
    std::string error;
    std::filesystem::path setup = wine.scratch() / (std::string(n.language) + "-setup.exe");
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
    const std::string folder = "Program Files/" + top + "/" + sub;
    PrefixPicture installed = takePicture(wine);
    std::vector<std::string> added;
    for (const std::string& line : linesOnlyIn(installed.files, before.files)) added.push_back(line);
    std::string log = contents(wine, installPath + "\\uninstall.log");
    std::string ini = contents(wine, installPath + "\\" + n.ini);
    std::vector<std::string> expected = {
        "Program Files/" + top,
        folder,
        folder + "/docs",
        folder + "/docs/guide.txt = guide\r\n",
        folder + "/readme.txt = readme\r\n",
        folder + "/" + n.folder,
        folder + "/" + n.folder + "/" + n.file + " = packaged\r\n",
        folder + "/uninstall.exe = " + contents(wine, installPath + "\\uninstall.exe"),
        folder + "/uninstall.log = " + log,
        folder + "/" + n.ini + " = " + ini,
        programs + "/" + group,
        programs + "/" + group + "/Guide.lnk",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(added, expected) << "nothing lands in a folder cut at a second byte";
    EXPECT_NE(log, "<missing>");
    EXPECT_NE(ini.find("Docs="), std::string::npos) << ini;

    // The Uninstall key is named after the whole product name, and points at the uninstaller.
    std::string entry = exportedKey(wine, uninstallKey + product);
    EXPECT_NE(entry.find("[" + std::string(uninstallKey) + product + "]"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"DisplayName\"=\"" + product + " 1.0\""), std::string::npos) << entry;
    const std::string exported = "C:\\\\Program Files\\\\" + top + "\\\\" + sub;  // backslashes doubled
    EXPECT_NE(entry.find("\"UninstallString\"=\"\\\"" + exported + "\\\\uninstall.exe\\\"\""), std::string::npos) << entry;
    std::string value = exportedKey(wine, "HKEY_CURRENT_USER\\Software\\" + product);
    EXPECT_NE(value.find("\"Path\"=\"" + exported + "\""), std::string::npos) << value;
    // The two strings whole (ポ among them in 932), each ended, then the list's end.
    EXPECT_NE(value.find(multiStringExport("List", n.items, 2)), std::string::npos) << value;

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

INSTANTIATE_TEST_SUITE_P(CodePages, DoubleBytePaths, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Names>& info) { return std::string(info.param.language); });

}  // namespace
}  // namespace e2e
