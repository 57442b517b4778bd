// Round trips of every record type: the builder reads a project and writes its script, the stub's
// own walk and interpreter read it, and SetupState holds what the project said.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "project.h"
#include "script/languages.h"
#include "script/variables.h"
#include "script_test_support.h"
#include "script_writer.h"
#include "startup/package.h"

namespace {

class BuilderRoundTrip : public ScriptStateTest {
protected:
    void SetUp() override {
        ScriptStateTest::SetUp();
        resolveTokens();
        doubleInstallFont("Verdana");
        char pattern[] = "/tmp/velkorin-records-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override {
        std::system(("rm -rf '" + root + "'").c_str());
        ScriptStateTest::TearDown();
    }
    void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream(root + "/" + name, std::ios::binary) << bytes;
    }
    // Builds the project's script and hands it to the stub's walk; returns the records read.
    DWORD load(const std::string& toml) {
        Project project;
        std::string err;
        EXPECT_TRUE(loadProjectText(toml, root + "/p.toml", &project, &err)) << err;
        Bytes script = buildScript(project);
        return walkScript(script.data(), static_cast<DWORD>(script.size()), applyRecord);
    }
    static std::string textOf(uint32_t table, uint16_t language, int item) {
        const char* t = listAt(textTable(table, language), item);
        return t ? t : "<null>";
    }
    std::string root;
};

const char* const products = R"(
[product]
name = "Tool"
title = "Tool 3.1"
previous_install = { root = "HKLM", key = "Software\\Tool", value = "Dir" }
finish_program = "<ProgramFiles>\\Tool\\tool.exe"
finish_readme = "%InstallPath%\\readme.txt"
restart = true
create_uninstaller = false
license_file = "license.rtf"
readme_file = "readme.txt"

[appearance]
text_font = "Verdana"
text_color = "#102030"
title_font = "Nonexistent Face"
title_color = "#505050"
page_color = "#A0B0C0"
accent_color = "#405060"
compact_dialogs = true
hide_maker_link = true

[pages]
license = true
finish = false

[[variables]]
name = "InstallPath"
value = "<ProgramFiles>\\Tool"

[background]
top_color = "#102030"
bottom_color = "#505050"

[[background.texts]]
text = "Tool, the best"
horizontal = "right"
vertical = "bottom"
x = 10
y = 20
font = "Arial"
size = 30
weight = 7
italic = true
color = "#FFEEDD"
shadow = 2
shadow_color = "#010203"
)";

TEST_F(BuilderRoundTrip, ProductAppearancePagesDocumentsAndBackgroundReachTheState) {
    writeFile("license.rtf", "{\\rtf1\\ansi Terms\\par}");
    writeFile("readme.txt", "Read me\r\nplease\n");
    doubleSetRegistryString(2, "Software\\Tool", "Dir", "D:\\Old Tool");
    load(products);
    EXPECT_STREQ(state.productName, "Tool");
    EXPECT_STREQ(state.setupCaption, "Tool 3.1 Setup");
    EXPECT_STREQ(lookupVariable("%InstallPath%"), "D:\\Old Tool");  // the previous installation wins
    EXPECT_STREQ(state.finishProgram, "C:\\Program Files\\Tool\\tool.exe");
    EXPECT_TRUE(state.launchFinishProgram && state.openFinishReadme);
    EXPECT_TRUE(state.rebootRequired && state.restartAtEnd);
    EXPECT_FALSE(state.createUninstaller);
    EXPECT_EQ(state.hideMakerLink, 1);
    EXPECT_STREQ(state.textFontFace, "Verdana");
    EXPECT_STREQ(state.titleFontFace, "MS Sans Serif");
    // One project colour gives one COLORREF, whether it travels in type 7 or in type 9's texts.
    EXPECT_EQ(state.textColor, 0x00302010u);
    EXPECT_EQ(state.gradientTopColor, state.textColor);
    EXPECT_EQ(state.titleColor, 0x00505050u);
    EXPECT_EQ(state.gradientBottomColor, state.titleColor);
    EXPECT_EQ(state.pageColor, 0x00C0B0A0u);
    EXPECT_EQ(state.accentColor, 0x00605040u);
    EXPECT_TRUE(state.showBackground);
    EXPECT_EQ(state.dialogIdBase, 20);
    EXPECT_TRUE(state.pages[2].enabled);
    EXPECT_FALSE(state.pages[11].enabled);
    EXPECT_EQ(state.pages[2].dialogId, 20 + 129 + 2);
    EXPECT_STREQ(state.licenseText, "{\\rtf1\\ansi Terms\\par}");
    EXPECT_STREQ(state.readmeText, "Read me\r\nplease\n");
    ASSERT_EQ(listCount(&state.backgroundTexts), 1);
    EXPECT_EQ(at(state.backgroundTexts, 0), "\"Tool, the best\",right,bottom,10,20,Arial,30,0,7,1,0,0xFFEEDD,2,0x010203");
}

const char* const actions = R"(
[product]
name = "Tool"
title = "Tool 3.1"

[[shortcuts]]
link = "<Programs>\\%ShortcutsGroup%\\Tool.lnk"
target = "%InstallPath%\\tool.exe"
arguments = "/fast"
icon_file = "%InstallPath%\\tool.ico"
icon_index = 2
show = "minimized"
hotkey = 1604
shared = true

[[shortcuts]]
link = "<Desktop>\\Tool.lnk"
target = "%InstallPath%\\tool.exe"

[[registry]]
root = "HKCU"
key = "Software\\Tool"
name = "Path"
data = "<ProgramFiles>\\Tool"

[[registry]]
root = 2
key = "Software\\Tool"
name = "Count"
type = "dword"
data = 4294967295

[[registry]]
root = "HKLM"
key = "Software\\Tool"
type = 7
data = ["a", "b"]

[[registry]]
root = "HKLM"
key = "Software\\Tool"
name = "Blob"
type = "binary"
data = "0aFF"

[[ini]]
file = "<Windows>\\tool.ini"
section = "Main"
key = "Dir"
value = "%InstallPath%"
append = true

[[associations]]
extension = ".tl"
prog_id = "Tool.File"
description = "Tool file"
open_command = "<ProgramFiles>\\Tool\\tool.exe \"%1\""
icon_file = "<ProgramFiles>\\Tool\\tool.exe"
icon_index = 3

[[launches]]
open = "<Programs>\\%ShortcutsGroup%"
page = "finish"

[[launches]]
program = "%InstallPath%\\setup-helper.exe"
arguments = "/init"
working_folder = "%InstallPath%"
wait = false
once = false
window = "maximized"

[[launches]]
program = "%InstallPath%\\first.exe"
page = "start"

[[launches]]
program = "%InstallPath%\\cleanup.exe"
page = "uninstall"

[[dll_calls]]
library = "%InstallPath%\\tool.dll"
function = "DllRegisterServer"

[[dll_calls]]
library = "<System>\\x.dll"
function = "Prepare"
argument1 = "one"
argument2 = "two"
page = "destination"
once = false

[[dll_calls]]
library = "%InstallPath%\\tool.dll"
function = "DllUnregisterServer"
page = "uninstall"

[requirements]
os = "XP"
directx = "9.0"
ie = "5.01SP2"
access = "2000SR1"
admin = true
)";

TEST_F(BuilderRoundTrip, ListRecordsAndRequirementsReachTheState) {
    load(actions);
    ASSERT_EQ(listCount(&state.shortcuts), 2);
    EXPECT_EQ(at(state.shortcuts, 0),
              "<Programs>\\%ShortcutsGroup%\\Tool.lnk,%InstallPath%\\tool.exe,/fast,,%InstallPath%\\tool.ico,2,7,1604,1");
    EXPECT_TRUE(state.hasGroupShortcuts && state.hasDesktopShortcuts);
    EXPECT_FALSE(state.hasQuickLaunchShortcuts);
    ASSERT_EQ(listCount(&state.registryEntries), 4);
    EXPECT_EQ(at(state.registryEntries, 0), "1,Software\\Tool,Path,1,C:\\Program Files\\Tool");
    EXPECT_EQ(at(state.registryEntries, 1), "2,Software\\Tool,Count,4,4294967295");
    EXPECT_EQ(at(state.registryEntries, 2), "2,Software\\Tool,,7,a|b");
    EXPECT_EQ(at(state.registryEntries, 3), "2,Software\\Tool,Blob,3,0aFF");
    EXPECT_EQ(at(state.iniEntries, 0), "C:\\Token25\\tool.ini,Main,Dir,%InstallPath%,1");
    EXPECT_EQ(at(state.fileAssociations, 0),
              ".tl,Tool.File,,Tool file,,C:\\Program Files\\Tool\\tool.exe \"%1\",C:\\Program Files\\Tool\\tool.exe,3");
    // Launches and calls land in the list of their page, without the page field.
    EXPECT_EQ(at(state.pages[11].launchesAfter, 0), "open,C:\\Start\\Programs\\%ShortcutsGroup%,,1,1,0");
    EXPECT_EQ(at(state.pages[10].launchesAfter, 0), "%InstallPath%\\setup-helper.exe,/init,%InstallPath%,0,0,2");
    EXPECT_EQ(at(state.startLaunches, 0), "%InstallPath%\\first.exe,,,1,1,0");
    EXPECT_EQ(at(state.uninstallLaunches, 0), "%InstallPath%\\cleanup.exe,,,1,1,0");
    EXPECT_EQ(at(state.pages[10].dllCallsAfter, 0), "%InstallPath%\\tool.dll,DllRegisterServer,,,1");
    EXPECT_EQ(at(state.pages[6].dllCallsAfter, 0), "C:\\Token22\\x.dll,Prepare,one,two,0");
    EXPECT_EQ(at(state.uninstallDllCalls, 0), "%InstallPath%\\tool.dll,DllUnregisterServer,,,1");
    EXPECT_STREQ(state.requiredOs, "XP");
    EXPECT_STREQ(state.requiredDirectX, "9.0");
    EXPECT_STREQ(state.requiredIe, "5.01SP2");
    EXPECT_STREQ(state.requiredAccess, "2000SR1");
    EXPECT_EQ(state.requireAdmin, 1);
}

const char* const twoLanguages = R"(
[product]
name = "Tool"
title = "Tool 3.1"

[languages]
offered = ["English", "German"]
auto_select = true

[texts.German.messages]
9 = "Fehler: ä ö ü ß €"

[texts.English.pages.destination]
2 = "Tool goes to <ProgramFiles>\\Tool on %DISK%."
)";

TEST_F(BuilderRoundTrip, BothLanguagesCarryEveryTextAndAutoSelectPicksTheUsers) {
    doubleSetUserLanguage(0x0407);
    EXPECT_EQ(load(twoLanguages), 4u + 2 * 127u);  // uninstaller's name, product, pages, languages, texts
    ASSERT_EQ(state.languageCount, 2);
    EXPECT_EQ(offeredLanguage(0), 9);
    EXPECT_EQ(offeredLanguage(1), 7);
    EXPECT_EQ(state.languageId, 7);
    EXPECT_EQ(textOf(tableMessages, 9, 9), "The installation completed with errors. The application may not function propetly.");
    EXPECT_EQ(textOf(tableMessages, 9, 0),
              "Setup is not complete. If you quit the setup program now, the application will not be installed.  \n"
              "You may run the setup program the later time to complete the installation.  \n \n"
              "Are you sure you want to quit the setup?");
    // The override arrives as its code-page bytes.
    EXPECT_EQ(textOf(tableMessages, 7, 9), "Fehler: \xE4 \xF6 \xFC \xDF \x80");
    EXPECT_EQ(textOf(tableButtons, 7, 0), "< &Zur\xFC" "ck");
    EXPECT_EQ(textOf(tableButtons, 9, 7), "&Browse...");
    EXPECT_EQ(textOf(tableErrors, 9, 23), "Error mappnig view of a file  \n'%s'.");
    // Page texts: captions from the title, folder tokens expanded, variables kept for show time.
    EXPECT_EQ(textOf(1, 9, 0), "Tool 3.1 Setup");
    EXPECT_EQ(textOf(6, 9, 2), "Tool goes to C:\\Program Files\\Tool on %DISK%.");
    EXPECT_EQ(textOf(6, 7, 6), "Freier Speicherplatz auf Laufwerk %DISK%:");
    EXPECT_EQ(textOf(10, 9, 13), "Finishing setup...");
    EXPECT_EQ(textOf(11, 9, 4), "Start Tool 3.1 now");
    // Exactly the catalogue: the last items are present and nothing lies beyond them.
    EXPECT_EQ(listCount(textTable(tableErrors, 7)), 40);
    EXPECT_EQ(listCount(textTable(10, 7)), 15);
    EXPECT_EQ(listCount(textTable(4, 9)), 0);
    EXPECT_EQ(listCount(textTable(12, 9)), 0);
}

TEST_F(BuilderRoundTrip, WithoutAutoSelectTheFirstOfferedLanguageStarts) {
    doubleSetUserLanguage(0x0409);
    std::string project = twoLanguages;
    project.replace(project.find("[\"English\", \"German\"]"), 21, "[\"German\", \"English\"]");
    project.replace(project.find("auto_select = true"), 18, "auto_select = false");
    load(project);
    EXPECT_EQ(offeredLanguage(0), 7);
    EXPECT_EQ(state.languageId, 7);
}

const char* const twelveLanguages = R"(
[product]
name = "Tool"
title = "Tool 3.1"

[languages]
offered = ["English", "German", "French", "Spanish", "Italian", "Dutch", "Portuguese", "Polish", "Czech",
           "Russian", "Turkish", "Japanese"]
auto_select = true
)";

TEST_F(BuilderRoundTrip, APackageWithTwelveLanguagesCarriesEachInItsCodePage) {
    doubleSetUserLanguage(0x0419);  // Russian
    EXPECT_EQ(load(twelveLanguages), 4u + 12 * 127u);
    ASSERT_EQ(state.languageCount, 12);
    const int numbers[] = {9, 7, 12, 10, 16, 19, 22, 21, 5, 25, 31, 17};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(offeredLanguage(i), numbers[i]);
    EXPECT_EQ(state.languageId, 25);
    // Next and Back as each language's Windows writes them, in the bytes of its code page.
    EXPECT_EQ(textOf(tableButtons, 12, 1), "&Suivant >");
    EXPECT_EQ(textOf(tableButtons, 12, 0), "< &Pr\xE9" "c\xE9" "dent");
    EXPECT_EQ(textOf(tableButtons, 10, 0), "< &Atr\xE1s");
    EXPECT_EQ(textOf(tableButtons, 16, 1), "&Avanti >");
    EXPECT_EQ(textOf(tableButtons, 19, 0), "< Vo&rige");
    EXPECT_EQ(textOf(tableButtons, 22, 1), "&Avan\xE7" "ar >");
    EXPECT_EQ(textOf(tableButtons, 21, 7), "&Przegl\xB9" "daj...");
    EXPECT_EQ(textOf(tableButtons, 5, 0), "< &Zp\xECt");
    EXPECT_EQ(textOf(tableButtons, 25, 1), "&\xC4\xE0\xEB\xE5\xE5 >");
    EXPECT_EQ(textOf(tableButtons, 31, 1), "\xDD&leri >");
    EXPECT_EQ(textOf(tableButtons, 17, 0), "< \x96\xDF\x82\xE9(&B)");
    // Captions carry the title in every language; Japanese double-byte text whose second bytes
    // are 0x5C (the backslash) arrives unchanged: "構成" and "可能性".
    EXPECT_EQ(textOf(1, 25, 0), "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 \x97 Tool 3.1");
    EXPECT_EQ(textOf(1, 17, 0), "Tool 3.1 \x83\x5A\x83\x62\x83\x67\x83\x41\x83\x62\x83\x76");
    EXPECT_EQ(textOf(11, 17, 10).substr(0, 12), "\x83V\x83X\x83" "e\x83\x80\x8D\x5C\x90\xAC");
    EXPECT_NE(textOf(tableMessages, 17, 9).find("\x89\xC2\x94\x5C\x90\xAB"), std::string::npos);
    for (int number : numbers) {
        EXPECT_EQ(listCount(textTable(tableErrors, static_cast<uint16_t>(number))), 40) << number;
        EXPECT_EQ(listCount(textTable(10, static_cast<uint16_t>(number))), 15) << number;
    }
}

}  // namespace
