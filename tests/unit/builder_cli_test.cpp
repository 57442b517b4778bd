// velkorin-pack as a user runs it: build and inspect, their exit codes, messages and reports.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "byte_buffer.h"
#include "package_dump.h"
#include "shell_command.h"

namespace {

CommandResult run(const std::string& arguments) {
    return runShellCommand(std::string(VELKORIN_PACK_EXE) + " " + arguments);
}
Bytes readFile(const std::string& path) { return readFileBytes(path); }
void writeFile(const std::string& path, const Bytes& bytes) { writeFileBytes(path, bytes); }
bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class PackCommand : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkorin-cli-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        Bytes stub(3000, 0x90);
        stub[0] = 'M', stub[1] = 'Z';
        writeFile(root + "/stub.exe", stub);
        mkdir((root + "/files").c_str(), 0755);
        mkdir((root + "/files/docs").c_str(), 0755);
        writeFile(root + "/files/docs/a.txt", Bytes(5000, 'a'));
        std::ofstream(root + "/p.toml") << "[product]\nname = \"Cli\"\ntitle = \"Cli 1\"\n"
                                           "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"files\"\n";
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }
    std::string build(const std::string& extra = "") {
        return "build " + root + "/p.toml -o " + root + "/setup.exe --stub " + root + "/stub.exe -q " + extra;
    }
    std::string root;
};

TEST_F(PackCommand, BuildsAndInspectsASetupFile) {
    CommandResult built = run(build());
    ASSERT_EQ(built.code, 0) << built.output;
    EXPECT_EQ(built.output, "");
    CommandResult inspected = run("inspect " + root + "/setup.exe");
    EXPECT_EQ(inspected.code, 0) << inspected.output;
    for (const char* expected :
         {"DOS fields: packageOffset 3000, ", "package header: fileAreaOffset 12, ", "type 9 product", "productName \"Cli\"",
          "type 2 pages", "enabled: welcome, destination, ready, installing, finish", "end of script",
          "group 0: destination \"%InstallPath%\", overwriteMode 0, compareBy 0, sharedGroup 0",
          "folder depth 0 \"docs\"", "file depth 1 \"a.txt\": flags 0x03 (compressed), size 5000, ", "\nchecksum: ok\n"})
        EXPECT_NE(inspected.output.find(expected), std::string::npos) << expected << "\n" << inspected.output;
}

TEST_F(PackCommand, OneAndTwoCompressionThreadsWriteTheSameFile) {
    Bytes large(2 * 1024 * 1024 + 4321);
    uint32_t seed = 5;
    for (uint8_t& b : large) b = static_cast<uint8_t>("abcdefgh"[(seed = seed * 1103515245u + 12345u) >> 29]);
    writeFile(root + "/files/large.txt", large);
    CommandResult one = run(build("-j1"));
    ASSERT_EQ(one.code, 0) << one.output;
    Bytes first = readFile(root + "/setup.exe");
    CommandResult two = run(build("-j 2"));
    ASSERT_EQ(two.code, 0) << two.output;
    EXPECT_EQ(readFile(root + "/setup.exe"), first);
    CommandResult inspected = run("inspect " + root + "/setup.exe");
    EXPECT_NE(inspected.output.find("file depth 0 \"large.txt\": flags 0x03 (compressed), size 2101473, "),
              std::string::npos) << inspected.output;
    EXPECT_NE(inspected.output.find("\nchecksum: ok\n"), std::string::npos) << inspected.output;
}

TEST_F(PackCommand, InspectReportsADamagedFileAndFailsOnMismatch) {
    ASSERT_EQ(run(build()).code, 0);
    Bytes file = readFile(root + "/setup.exe");
    uint32_t stored = loadU32(file.data() + 36);
    file[file.size() - 10] ^= 0xFF;
    writeFile(root + "/damaged.exe", file);
    CommandResult inspected = run("inspect " + root + "/damaged.exe");
    EXPECT_EQ(inspected.code, 1);
    char expected[80];
    std::snprintf(expected, sizeof(expected), "checksum: MISMATCH (stored 0x%08X, computed 0x", stored);
    EXPECT_NE(inspected.output.find(expected), std::string::npos) << inspected.output;
}

TEST_F(PackCommand, InspectSurvivesEveryTruncationAndCorruptedOffsets) {
    ASSERT_EQ(run(build()).code, 0);
    const Bytes file = readFile(root + "/setup.exe");
    std::string report;
    for (size_t size = 0; size < file.size(); size += (size < 3200 ? 1 : 97)) {
        report.clear();
        InspectResult result = inspectSetup(Bytes(file.begin(), file.begin() + size), &report);
        EXPECT_NE(result, InspectResult::checksumOk) << size;
    }
    for (size_t at : {size_t{18}, size_t{3004}, size_t{3008}, size_t{3012}, size_t{3012 + 25}}) {
        Bytes damaged = file;
        damaged[at] ^= 0xFF;
        damaged[at + 1] ^= 0x7F;
        report.clear();
        inspectSetup(damaged, &report);
        EXPECT_NE(report.find("checksum:"), std::string::npos) << at;
    }
}

TEST_F(PackCommand, BadProjectExitsOneWithTheMessageAndWritesNothing) {
    std::ofstream(root + "/p.toml", std::ios::app) << "overwrite = \"maybe\"\n";
    CommandResult built = run(build());
    EXPECT_EQ(built.code, 1);
    EXPECT_EQ(built.output, "velkorin-pack: " + root + "/p.toml:7: files[0].overwrite: expected one of always, "
                            "if-newer, if-newer-or-equal, if-older, never\n");
    EXPECT_FALSE(exists(root + "/setup.exe"));
    CommandResult missingStub = run("build " + root + "/p.toml -o " + root + "/setup.exe --stub " + root + "/none.exe");
    EXPECT_EQ(missingStub.code, 1);
    EXPECT_FALSE(exists(root + "/setup.exe"));
    EXPECT_EQ(run("inspect " + root + "/none.exe").code, 1);
    EXPECT_EQ(run("frobnicate").code, 2);
}

}  // namespace

namespace {

TEST_F(PackCommand, TextErrorsExitOneAndInspectShowsEveryRecordKind) {
    std::ofstream(root + "/p.toml", std::ios::app)
        << "[languages]\noffered = [\"English\", \"German\"]\n[texts.German.buttons]\n2 = \"Abbrechen \xE2\x9C\x97\"\n";
    CommandResult refused = run(build());
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.output, "velkorin-pack: " + root + "/p.toml:10: texts.German.buttons.2: character U+2717 '\xE2\x9C\x97' "
                              "is not in code page 1252\n");
    EXPECT_FALSE(exists(root + "/setup.exe"));

    std::ofstream(root + "/p.toml") << "[product]\nname = \"Cli\"\ntitle = \"Cli 1\"\n[languages]\noffered = [\"German\"]\n"
                                       "[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\Cli\"\nname = \"N\"\ndata = \"v\"\n"
                                       "[requirements]\nos = \"NT4\"\n";
    ASSERT_EQ(run(build()).code, 0);
    CommandResult inspected = run("inspect " + root + "/setup.exe");
    for (const char* expected :
         {"type 6 languages, length 3\n    autoSelect 0, offered: German(7)\n",
          "    German(7) buttons.0 \"< &Zur\\xFCck\"\n", "    German(7) pages.finish.0 \"Setup \\x96 Cli 1\"\n",
          "type 11 registry", "    root \"1\", key \"Software\\Cli\", name \"N\", type \"1\", data \"v\"\n",
          "    os \"NT4\", directx \"\", ie \"\", access \"\", admin 0\n"})
        EXPECT_NE(inspected.output.find(expected), std::string::npos) << expected << "\n" << inspected.output;
}

}  // namespace

namespace {

TEST_F(PackCommand, APublishersPackWithMistakesStopsTheBuildWithEachOnItsLine) {
    mkdir((root + "/packs").c_str(), 0755);
    std::ofstream(root + "/packs/Russian.toml") << "[buttons]\n0 = \"< &\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xB4\"\n"
                                                   "1 = \"&\xD0\x94\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xB5 \xE2\x86\x92\"\n"
                                                   "12 = \"?\"\n";
    std::ofstream(root + "/p.toml", std::ios::app) << "[languages]\noffered = [\"English\", \"Russian\"]\npacks = \"packs\"\n";
    CommandResult refused = run(build());
    EXPECT_EQ(refused.code, 1);
    std::string pack = root + "/packs/Russian.toml";
    EXPECT_EQ(refused.output.substr(0, refused.output.find('\n') + 1),
              "velkorin-pack: " + pack + ":1: messages.0: missing (English has it)\n");
    EXPECT_NE(refused.output.find("\n" + pack + ":1: buttons.2: missing (English has it)\n"), std::string::npos);
    EXPECT_NE(refused.output.find("\n" + pack + ":3: buttons.1: character U+2192 '\xE2\x86\x92' is not in code page 1251\n" +
                                  pack + ":4: buttons.12: English has no such text\n"),
              std::string::npos)
        << refused.output;
    EXPECT_NE(refused.output.find("\n" + pack + ":1: pages.welcome.6: missing (English has it)\n"), std::string::npos);
    EXPECT_FALSE(exists(root + "/setup.exe"));
}

TEST_F(PackCommand, ASetupFileWithAllTwelveShippedLanguages) {
    std::ofstream(root + "/p.toml", std::ios::app)
        << "[languages]\noffered = [\"English\", \"German\", \"French\", \"Spanish\", \"Italian\", \"Dutch\", "
           "\"Portuguese\", \"Polish\", \"Czech\", \"Russian\", \"Turkish\", \"Japanese\"]\n";
    ASSERT_EQ(run(build()).code, 0);
    CommandResult inspected = run("inspect " + root + "/setup.exe");
    EXPECT_EQ(inspected.code, 0) << "the checksum holds";
    for (const char* expected :
         {"offered: English(9), German(7), French(12), Spanish(10), Italian(16), Dutch(19), Portuguese(22), "
          "Polish(21), Czech(5), Russian(25), Turkish(31), Japanese(17)\n",
          "    Russian(25) buttons.1 \"&\\xC4\\xE0\\xEB\\xE5\\xE5 >\"\n", "    Czech(5) buttons.0 \"< &Zp\\xECt\"\n",
          "    Polish(21) buttons.8 \"Zako\\xF1" "cz\"\n", "    Turkish(31) buttons.2 \"\\xDDptal\"\n",
          "    Japanese(17) buttons.0 \"< \\x96\\xDF\\x82\\xE9(&B)\"\n", "    French(12) buttons.0 \"< &Pr\\xE9" "c\\xE9" "dent\"\n"})
        EXPECT_NE(inspected.output.find(expected), std::string::npos) << expected;
}

}  // namespace
