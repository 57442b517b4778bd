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

TEST(ProjectFile, ScriptHoldsVariablesThenProductThenPagesThenTheTerminator) {
    Project p;
    std::string err;
    ASSERT_TRUE(loadProjectText(names + "[pages]\nlanguage = true\nwelcome = false\n[[variables]]\nname = \"A_1\"\n"
                                "value = \"x\"\n", file, &p, &err)) << err;
    EXPECT_EQ(p.folder, "/tmp/");
    Bytes script = buildScript(p);
    Bytes expected;
    Bytes variable, product = productPayload(p), pages = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1};
    putText(&variable, "%A_1%");
    putText(&variable, "x");
    for (auto [type, payload] : {std::pair<uint32_t, Bytes*>{recordVariable, &variable}, {recordProduct, &product},
                                 {recordPages, &pages}}) {
        putU32(&expected, type);
        putU32(&expected, static_cast<uint32_t>(payload->size()));
        expected.insert(expected.end(), payload->begin(), payload->end());
    }
    putU32(&expected, scriptEnd);
    EXPECT_EQ(script, expected);
}

}  // namespace
