// The project file reader: settings reach the Project, and every mistake is reported as
// "file:line: field: what is wrong".
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "project.h"
#include "script_writer.h"

namespace {

const std::string file = "/tmp/p.toml";

std::string errorOf(const std::string& text) {
    Project project;
    std::string err;
    EXPECT_FALSE(loadProjectText(text, file, &project, &err));
    return err;
}

const std::string names = "[product]\nname = \"N\"\ntitle = \"T\"\n";

TEST(ProjectFile, ReportsMistakesWithFileLineAndField) {
    EXPECT_EQ(errorOf(names + "colour = 1\n"), "/tmp/p.toml:4: product.colour: unknown field");
    EXPECT_EQ(errorOf("[product]\nname = 5\ntitle = \"T\"\n"), "/tmp/p.toml:2: product.name: expected a text");
    EXPECT_EQ(errorOf("\n[product]\nname = \"N\"\n"), "/tmp/p.toml:2: product.title: required field is missing");
    EXPECT_EQ(errorOf("[appearance]\n"), "/tmp/p.toml:1: product: required table is missing");
    EXPECT_EQ(errorOf(names + "uninstaller = \"bin\\\\remove.exe\"\n"),
              "/tmp/p.toml:4: product.uninstaller: expected a file name without a folder");
    EXPECT_EQ(errorOf(names + "[extras]\n"), "/tmp/p.toml:4: extras: unknown field");
    EXPECT_EQ(errorOf(names + "restart = \"yes\"\n"), "/tmp/p.toml:4: product.restart: expected true or false");
    EXPECT_EQ(errorOf(names + "[appearance]\npage_color = \"#12345\"\n"),
              "/tmp/p.toml:5: appearance.page_color: expected a colour \"#RRGGBB\", \"window\" or \"button-face\"");
    EXPECT_EQ(errorOf(names + "[appearance]\ntext_font = \"A,B\"\n"),
              "/tmp/p.toml:5: appearance.text_font: must not contain ','");
    EXPECT_EQ(errorOf(names + "[pages]\nwelcome = true\nslot4 = true\n"), "/tmp/p.toml:6: pages.slot4: unknown field");
    EXPECT_EQ(errorOf(names + "[[variables]]\nname = \"%X%\"\nvalue = \"v\"\n"),
              "/tmp/p.toml:5: variables[0].name: expected a name of letters, digits and '_' (written without percent "
              "signs)");
    EXPECT_EQ(errorOf(names + "[[variables]]\nname = \"A\"\nvalue = \"v\"\n[[variables]]\nname = \"B\"\n"),
              "/tmp/p.toml:7: variables[1].value: required field is missing");
    EXPECT_EQ(errorOf(names + "variables = 3\n"), "/tmp/p.toml:4: product.variables: unknown field");
}

TEST(ProjectFile, RefusesAProductNameThatIsNoRegistryKeyName) {
    // The name is the Uninstall entry's key: empty, it would be the list of every product.
    EXPECT_EQ(errorOf("[product]\nname = \"\"\ntitle = \"T\"\n"),
              "/tmp/p.toml:2: product.name: expected a name without backslashes, not empty");
    EXPECT_EQ(errorOf("[product]\nname = \"Maker\\\\Product\"\ntitle = \"T\"\n"),
              "/tmp/p.toml:2: product.name: expected a name without backslashes, not empty");
}

// In code page 932 ソ is 83 5C and 表 95 5C: their second byte is no backslash of the name.
TEST(ProjectFile, DoubleByteNamesWhoseSecondByteIsABackslashAreNames) {
    Project project;
    std::string err;
    ASSERT_TRUE(loadProjectText("[product]\nname = \"ソフト表\"\ntitle = \"T\"\nuninstaller = \"表.exe\"\n"
                                "[languages]\noffered = [\"Japanese\"]\n",
                                file, &project, &err))
        << err;
    EXPECT_EQ(project.productName, "\x83\x5C\x83\x74\x83\x67\x95\x5C");
    EXPECT_EQ(project.uninstallerName, "\x95\x5C.exe");
    EXPECT_EQ(errorOf("[product]\nname = \"ソ\\\\表\"\ntitle = \"T\"\n[languages]\noffered = [\"Japanese\"]\n"),
              "/tmp/p.toml:2: product.name: expected a name without backslashes, not empty");
}

TEST(ProjectFile, ReportsMistakesInNestedTablesAndGroups) {
    EXPECT_EQ(errorOf(names + "previous_install = { root = \"HKXX\", key = \"K\", value = \"V\" }\n"),
              "/tmp/p.toml:4: product.previous_install.root: expected one of HKCR, HKCU, HKLM, HKU, HKPD, HKCC, HKDD");
    EXPECT_EQ(errorOf(names + "previous_install = { root = \"HKLM\", value = \"V\" }\n"),
              "/tmp/p.toml:4: product.previous_install.key: required field is missing");
    EXPECT_EQ(errorOf(names + "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"no-such-folder\"\n"),
              "/tmp/p.toml:6: files[0].source: folder 'no-such-folder' does not exist");
    EXPECT_EQ(errorOf(names + "[[files]]\ndestination = \"D\"\nsource = \"/tmp\"\noverwrite = \"sometimes\"\n"),
              "/tmp/p.toml:7: files[0].overwrite: expected one of always, if-newer, if-newer-or-equal, if-older, never");
    EXPECT_EQ(errorOf(names + "[[files]]\nsource = \"/tmp\"\n"), "/tmp/p.toml:4: files[0].destination: required field is missing");
    EXPECT_EQ(errorOf(names + "[[files]]\ndestination = \"D\"\nsource = \"/tmp\"\nstore = [\"a\", 1]\n"),
              "/tmp/p.toml:7: files[0].store: expected a list of texts");
    EXPECT_EQ(errorOf(names + "files = \"x\"\n"), "/tmp/p.toml:4: product.files: unknown field");
    EXPECT_EQ(errorOf("files = \"x\"\n" + names), "/tmp/p.toml:1: files: expected [[files]] tables");
}

TEST(ProjectFile, ReportsMistakesInRecordSections) {
    EXPECT_EQ(errorOf(names + "license_file = \"nope.rtf\"\n"), "/tmp/p.toml:4: product.license_file: file 'nope.rtf' does not exist");
    EXPECT_EQ(errorOf(names + "[appearance]\naccent_color = \"window\"\n"),
              "/tmp/p.toml:5: appearance.accent_color: expected a colour \"#RRGGBB\"");
    EXPECT_EQ(errorOf(names + "[requirements]\nos = \"Vista\"\n"),
              "/tmp/p.toml:5: requirements.os: expected one of \"\", NT, 95OSR2, NT4, 98, 98SE, ME, 2000, XP, 2003");
    EXPECT_EQ(errorOf(names + "[requirements]\nie = \"6.0sp1\"\n").substr(0, 47), "/tmp/p.toml:5: requirements.ie: expected one of");
    EXPECT_EQ(errorOf(names + "[requirements]\naccess = \"2003\"\n"),
              "/tmp/p.toml:5: requirements.access: expected one of \"\", 97, 97SR1, 97SR2, 2000, 2000SR1, 2000SR2, XP");
    EXPECT_EQ(errorOf(names + "[requirements]\ndirectx = 9\n").substr(0, 52), "/tmp/p.toml:5: requirements.directx: expected one of");
    std::string shortcut = names + "[[shortcuts]]\nlink = \"L\"\ntarget = \"T\"\n";
    EXPECT_EQ(errorOf(shortcut + "show = \"hidden\"\n"), "/tmp/p.toml:7: shortcuts[0].show: expected one of normal, maximized, minimized");
    EXPECT_EQ(errorOf(shortcut + "hotkey = 70000\n"), "/tmp/p.toml:7: shortcuts[0].hotkey: expected a whole number from 0 to 65535");
    EXPECT_EQ(errorOf(shortcut + "arguments = \"a,b\"\n"), "/tmp/p.toml:7: shortcuts[0].arguments: must not contain ','");
    EXPECT_EQ(errorOf(names + "[[shortcuts]]\nlink = \"L\"\n"), "/tmp/p.toml:4: shortcuts[0].target: required field is missing");
    std::string registry = names + "[[registry]]\nroot = \"HKLM\"\nkey = \"K\"\n";
    EXPECT_EQ(errorOf(names + "[[registry]]\nroot = 7\nkey = \"K\"\n"),
              "/tmp/p.toml:5: registry[0].root: expected one of HKCR, HKCU, HKLM, HKU, HKPD, HKCC, HKDD or a number 0 to 6");
    EXPECT_EQ(errorOf(registry + "type = \"qword\"\n"),
              "/tmp/p.toml:7: registry[0].type: expected one of string, expand-string, binary, dword, multi-string or 1, 2, 3, 4, 7");
    EXPECT_EQ(errorOf(registry + "type = 5\n").substr(0, 39), "/tmp/p.toml:7: registry[0].type: expect");
    EXPECT_EQ(errorOf(registry + "type = \"binary\"\ndata = \"0aF\"\n"), "/tmp/p.toml:8: registry[0].data: expected pairs of hexadecimal digits");
    EXPECT_EQ(errorOf(registry + "type = \"dword\"\ndata = 4294967296\n"),
              "/tmp/p.toml:8: registry[0].data: expected a whole number from -2147483648 to 4294967295");
    EXPECT_EQ(errorOf(registry + "type = \"multi-string\"\ndata = [\"a|b\"]\n"),
              "/tmp/p.toml:8: registry[0].data: an item must not contain ',' or '|'");
    EXPECT_EQ(errorOf(names + "[[ini]]\nfile = \"f.ini\"\n"), "/tmp/p.toml:4: ini[0].section: required field is missing");
    EXPECT_EQ(errorOf(names + "[[associations]]\nextension = \"txt\"\nprog_id = \"P\"\n"),
              "/tmp/p.toml:5: associations[0].extension: expected a dot and the extension, e.g. \".txt\"");
    EXPECT_EQ(errorOf(names + "[[launches]]\nprogram = \"p.exe\"\nopen = \"x\"\n"), "/tmp/p.toml:4: launches[0]: expected either program or open");
    EXPECT_EQ(errorOf(names + "[[launches]]\nprogram = \"OPEN\"\n"), "/tmp/p.toml:5: launches[0].program: expected the path of a program");
    EXPECT_EQ(errorOf(names + "[[launches]]\nopen = \"x\"\narguments = \"y\"\n"),
              "/tmp/p.toml:6: launches[0].arguments: only a program takes arguments");
    EXPECT_EQ(errorOf(names + "[[launches]]\nprogram = \"p.exe\"\npage = \"slot4\"\n"),
              "/tmp/p.toml:6: launches[0].page: expected one of start, uninstall, after-install, language, welcome, license, "
              "readme, destination, start_menu, ready, installing, finish");
    EXPECT_EQ(errorOf(names + "[[dll_calls]]\nlibrary = \"l.dll\"\nfunction = \"F\"\nargument2 = \"x\"\n"),
              "/tmp/p.toml:7: dll_calls[0].argument2: needs argument1");
    EXPECT_EQ(errorOf(names + "[background]\ntop_color = \"#000000\"\n"), "/tmp/p.toml:4: background.bottom_color: required field is missing");
    std::string background = names + "[background]\ntop_color = \"#000000\"\nbottom_color = \"#FFFFFF\"\n";
    EXPECT_EQ(errorOf(background + "[[background.texts]]\ntext = \"a\"\n[[background.texts]]\ntext = \"b\"\n"
                                   "[[background.texts]]\ntext = \"c\"\n"),
              "/tmp/p.toml:7: background.texts: at most two texts are shown on the background");
    EXPECT_EQ(errorOf(background + "[[background.texts]]\ntext = \"say \\\"hi\\\"\"\n"),
              "/tmp/p.toml:8: background.texts[0].text: must not contain '\"'");
    EXPECT_EQ(errorOf(background + "[[background.texts]]\ntext = \"a\"\nweight = 10\n"),
              "/tmp/p.toml:9: background.texts[0].weight: expected a whole number from 0 to 9");
}

TEST(ProjectFile, ReportsSyntaxErrorsWithTheirLine) {
    std::string err = errorOf(names + "\nname = = 3\n");
    EXPECT_EQ(err.rfind("/tmp/p.toml:5: syntax: ", 0), 0u) << err;
    Project project;
    EXPECT_FALSE(loadProject("/tmp/velkorin-no-such-project.toml", &project, &err));
    EXPECT_EQ(err, "/tmp/velkorin-no-such-project.toml: cannot open the project file");
}

TEST(ProjectFile, DefaultsAndSettingsReachTheProductRecord) {
    Project p;
    std::string err;
    ASSERT_TRUE(loadProjectText(names, file, &p, &err)) << err;
    Bytes defaults = productPayload(p);
    Bytes expected;
    putText(&expected, "N");
    putText(&expected, "T");
    putText(&expected, ",0x000000");
    putU32(&expected, colorSystemButtonFace);
    putU32(&expected, colorSystemButtonFace);
    putText(&expected, ",0x000000");
    putU32(&expected, colorSystemWindow);
    putU8(&expected, 0);
    putText(&expected, "");
    putText(&expected, "");
    putText(&expected, "");
    putU8(&expected, productCreateUninstaller);
    putU8(&expected, 0);
    EXPECT_EQ(defaults, expected);

    ASSERT_TRUE(loadProjectText(names + R"(previous_install = { root = "HKLM", key = "\\Software\\X", value = "Dir" }
finish_program = "<Programs>\\x.exe"
finish_readme = "r.txt"
restart = true
create_uninstaller = false
[appearance]
text_font = "Verdana"
text_color = "#102030"
title_font = "Arial"
title_color = "#A0B0C0"
page_color = "#112233"
frame_color = "window"
header_color = "#FF0000"
welcome_header_fill = true
background_caption = true
compact_dialogs = true
hide_maker_link = true
[choices]
group = true
desktop = false
quick_launch = true
)", file, &p, &err)) << err;
    expected.clear();
    putText(&expected, "N");
    putText(&expected, "T");
    putText(&expected, "Verdana,0x102030");
    putU32(&expected, 0x00332211);  // red in the low byte
    putU32(&expected, colorSystemWindow);
    putText(&expected, "Arial,0xA0B0C0");
    putU32(&expected, 0x000000FF);
    putU8(&expected, productWelcomeHeaderFill | productBackgroundCaption);
    putText(&expected, "HKLM,\\Software\\X,Dir");
    putText(&expected, "<Programs>\\x.exe");
    putText(&expected, "r.txt");
    putU8(&expected, productCompactDialogs | productGroupChoice | productQuickLaunchChoice | productRestart);
    putU8(&expected, 1);
    EXPECT_EQ(productPayload(p), expected);
}

TEST(ProjectFile, ScriptHoldsVariablesProductPagesLanguagesThenTexts) {
    Project p;
    std::string err;
    ASSERT_TRUE(loadProjectText(names + "[pages]\nlanguage = true\nwelcome = false\n[[variables]]\nname = \"A_1\"\n"
                                "value = \"x\"\n", file, &p, &err)) << err;
    EXPECT_EQ(p.folder, "/tmp/");
    Bytes script = buildScript(p);
    Bytes expected;
    Bytes variable, uninstaller, product = productPayload(p), pages = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1},
                                 languages = {0, 9, 0};
    putText(&variable, "%A_1%");
    putText(&variable, "x");
    putText(&uninstaller, "%UninstallerFileName%");
    putText(&uninstaller, "uninstall.exe");
    for (auto [type, payload] : {std::pair<uint32_t, Bytes*>{recordVariable, &variable},
                                 {recordVariable, &uninstaller}, {recordProduct, &product},
                                 {recordPages, &pages}, {recordLanguages, &languages}}) {
        putU32(&expected, type);
        putU32(&expected, static_cast<uint32_t>(payload->size()));
        expected.insert(expected.end(), payload->begin(), payload->end());
    }
    ASSERT_GT(script.size(), expected.size());
    EXPECT_EQ(Bytes(script.begin(), script.begin() + expected.size()), expected);
    // Then English's texts, one record each, and the terminator.
    size_t at = expected.size(), texts = 0;
    while (at + 8 <= script.size() && loadU32(script.data() + at) == recordText) {
        at += 8 + loadU32(script.data() + at + 4);
        ++texts;
    }
    EXPECT_EQ(texts, 127u);
    EXPECT_EQ(at + 4, script.size());
    EXPECT_EQ(loadU32(script.data() + at), scriptEnd);
}

}  // namespace
