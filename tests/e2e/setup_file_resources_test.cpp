// setup_file_resources_test.cpp -- the setup file's icon, version information and manifest as
// Windows reads them (GetFileVersionInfo, the icon group and CreateIconFromResourceEx, the
// activation context's run level) in the built file and in the uninstaller an installation
// writes; each execution level and the default rule; a signed file with the new resources; and an
// icon that cannot fit, refused with nothing written.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "e2e_config.h"
#include "format/package_format.h"
#include "icon_maker.h"
#include "pe_fields.h"
#include "process.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char installPath[] = "C:\\Program Files\\Velkorin Resources";
const char uninstallKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velkorin Resources";

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The icon of the main project: every common size and depth; the 256x256 and 48x48 images and
// the 32x32 image in 32 bits cannot fit below 64 KiB beside the program.
std::vector<icon_maker::Image> fullIcon() {
    using icon_maker::bitmap;
    return {icon_maker::png(256), bitmap(48, 32), bitmap(32, 32), bitmap(32, 8),
            bitmap(32, 4),        bitmap(16, 32), bitmap(16, 8),  bitmap(16, 4)};
}

// The lines the driver's resources command printed, split at tabs.
using Lines = std::vector<std::vector<std::string>>;
Lines splitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t')) fields.push_back(field);
        if (!fields.empty()) lines.push_back(fields);
    }
    return lines;
}
Lines linesOf(const Lines& all, const std::string& kind) {
    Lines out;
    for (const auto& line : all)
        if (line[0] == kind) out.push_back(line);
    return out;
}

class SetupFileResources : public ::testing::Test {
protected:
    static inline std::string failure;
    static inline std::filesystem::path folder;
    static inline std::map<std::string, ProcessResult> builds;  // project name -> velkorin-pack's run

    static void writeProject(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(folder / name / "app");
        std::ofstream(folder / name / "app" / "readme.txt") << "The " << name << " product.\n";
        std::ofstream(folder / name / "project.toml") << text;
    }

    static ProcessResult pack(const std::string& name, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv = {config::packer()->string(), "build", (folder / name / "project.toml").string(),
                                         "-o", (folder / (name + ".exe")).string(), "--stub", config::stub().string()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return runProcess(argv, 120s, folder);
    }

    static std::string project(const std::string& product, const std::string& installFolder, const std::string& rest) {
        return "[product]\nname = \"" + product + "\"\ntitle = \"" + product + " 3.1\"\n" + rest +
               "[[variables]]\nname = \"InstallPath\"\nvalue = \"" + installFolder +
               "\"\n[[files]]\ndestination = \"%InstallPath%\"\nsource = \"app\"\n";
    }

    static void SetUpTestSuite() {
        WineSession& wine = WineSession::current();
        folder = wine.scratch() / "resources";
        if (!config::packer()) return;
        writeProject("main", project("Velkorin Resources", "<ProgramFiles>\\\\Velkorin Resources",
                                     "[setup_file]\nicon = \"setup.ico\"\nversion = \"3.1.4.15\"\n"
                                     "product_name = \"Velkorin Resources\"\ncompany = \"Velkorin Test Company\"\n"
                                     "description = \"Velkorin Resources Setup\"\n"
                                     "copyright = \"Copyright 2026 Velkorin Test Company\"\n"));
        std::ofstream(folder / "main" / "setup.ico", std::ios::binary) << std::string(
            reinterpret_cast<const char*>(icon_maker::iconFile(fullIcon()).data()), icon_maker::iconFile(fullIcon()).size());
        for (const char* level : {"admin", "highest", "user"})
            writeProject(level, project(std::string("Level ") + level, "<ProgramFiles>\\\\Level",
                                        std::string("[setup_file]\nexecution_level = \"") + level + "\"\n"));
        writeProject("per-user", project("Per User", "<AppData>\\\\Per User", "create_uninstaller = false\n"));
        writeProject("too-big", project("Too Big", "<ProgramFiles>\\\\Too Big", "[setup_file]\nicon = \"big.ico\"\n"));
        Bytes big = icon_maker::iconFile({icon_maker::png(32, 20000), icon_maker::bitmap(16, 4)});
        std::ofstream(folder / "too-big" / "big.ico", std::ios::binary)
            .write(reinterpret_cast<const char*>(big.data()), static_cast<std::streamsize>(big.size()));
        for (const char* name : {"main", "admin", "highest", "user", "per-user", "too-big"}) {
            builds[name] = pack(name);
            bool fits = std::string(name) != "too-big";
            if (fits && builds[name].exitCode != 0) return void(failure = name + (": " + describe(builds[name])));
            if (fits) wine.copyIn(folder / (std::string(name) + ".exe"), std::string("C:\\res\\") + name + ".exe");
        }
    }

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        ASSERT_TRUE(failure.empty()) << failure;
    }

    WineSession& wine = WineSession::current();

    // What the system reads of each file's resources (one driver run per file).
    std::vector<Lines> systemView(const std::vector<std::string>& paths) {
        std::vector<Lines> out;
        for (const std::string& path : paths) {
            ProcessResult run = wine.driver({"resources", path}, 60s);
            EXPECT_EQ(run.exitCode, 0) << path << ": " << describe(run);
            out.push_back(splitLines(run.output));
        }
        return out;
    }

    // The checks of the main setup file's resources as the system reads them.
    void expectMainResources(const Lines& lines, const std::string& what) {
        Lines fixed = linesOf(lines, "fixed");
        ASSERT_EQ(fixed.size(), 1u) << what;
        EXPECT_EQ(fixed[0], (std::vector<std::string>{"fixed", "0x00030001", "0x0004000F", "0x00030001", "0x0004000F"}))
            << what;
        std::map<std::string, std::string> strings;
        for (const auto& line : linesOf(lines, "string")) strings[line.at(1)] = line.at(2);
        EXPECT_EQ(strings, (std::map<std::string, std::string>{
                               {"CompanyName", "Velkorin Test Company"},
                               {"FileDescription", "Velkorin Resources Setup"},
                               {"FileVersion", "3.1.4.15"},
                               {"LegalCopyright", "Copyright 2026 Velkorin Test Company"},
                               {"ProductName", "Velkorin Resources"},
                               {"ProductVersion", "3.1.4.15"}}))
            << what;
        EXPECT_EQ(linesOf(lines, "translation"), (Lines{{"translation", "0x0409", "0x04B0"}})) << what;
        Lines icons = linesOf(lines, "icon");
        bool has32 = false, has16 = false;
        for (const auto& icon : icons) {
            EXPECT_EQ(icon.at(5), "1") << what << ": the system makes an icon of the " << icon[1] << "x" << icon[2]
                                       << " image in " << icon[3] << " bits";
            has32 = has32 || icon[1] == "32";
            has16 = has16 || icon[1] == "16";
            EXPECT_TRUE(icon[1] == "32" || icon[1] == "16") << what << ": a " << icon[1] << " image cannot fit";
        }
        EXPECT_TRUE(has32 && has16) << what;
        EXPECT_EQ(icons.size() + notesOf(builds["main"]).size(), fullIcon().size()) << what;
        EXPECT_EQ(linesOf(lines, "level"), (Lines{{"level", "3", "0"}})) << what << ": requireAdministrator";
    }

    // The builder's lines about icon images it left out.
    static std::vector<std::string> notesOf(const ProcessResult& build) {
        std::vector<std::string> notes;
        std::istringstream in(build.errors + build.output);
        std::string line;
        while (std::getline(in, line))
            if (line.find(" left out: ") != std::string::npos) notes.push_back(line);
        return notes;
    }
};

TEST_F(SetupFileResources, SystemReadsIconVersionAndExecutionLevelOfTheSetupFile) {
    std::vector<Lines> view = systemView({"C:\\res\\main.exe"});
    expectMainResources(view[0], "setup file");
    // The builder named each image it left out: 256x256, 48x48 and at least the 32-bit 32x32 one.
    std::vector<std::string> notes = notesOf(builds["main"]);
    for (const char* image : {"image 256x256, 32 bits PNG, ", "image 48x48, 32 bits, 9,640 bytes", "image 32x32, 32 bits, 4,264 bytes"})
        EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::string& n) { return n.find(image) != std::string::npos; }))
            << image << "\n" << builds["main"].errors;
    for (const std::string& note : notes) EXPECT_EQ(note.rfind("velkorin-pack: setup.ico: image ", 0), 0u) << note;
    // Vista, 7, 8, 8.1 and 10 (and later): the activation context holds five systems.
    EXPECT_EQ(linesOf(view[0], "supported-os"), (Lines{{"supported-os", "5"}}));
    Bytes file = readBytes(folder / "main.exe");
    EXPECT_LT(packageOffsetOf(file), maxStubSize);
}

TEST_F(SetupFileResources, SilentInstallWritesAnUninstallerWithTheSameResourcesThatStillRemoves) {
    WindowsRun run = wine.runWatched("C:\\res\\main.exe", {"S"}, 90s);
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u) << "the checksum holds and the installation succeeds";
    auto readme = wine.readFile(std::string(installPath) + "\\readme.txt");
    ASSERT_TRUE(readme);
    EXPECT_EQ(std::string(readme->begin(), readme->end()), "The main product.\n");

    std::string uninstaller = std::string(installPath) + "\\uninstall.exe";
    auto copy = wine.readFile(uninstaller);
    ASSERT_TRUE(copy);
    Bytes setup = readBytes(folder / "main.exe");
    ASSERT_EQ(copy->size(), packageOffsetOf(setup)) << "the copy is the image with the new resources";
    uint32_t pe = le32(*copy, dosPeOffsetAt);
    EXPECT_EQ(le32(*copy, pe + peCheckSumAt), peCheckSumOf(*copy, pe + peCheckSumAt)) << "the copy's own PE CheckSum";
    std::vector<Lines> views = systemView({"C:\\res\\main.exe", uninstaller});
    expectMainResources(views[1], "uninstaller");
    EXPECT_EQ(views[1], views[0]) << "the uninstaller shows what the setup file shows";
    // The builder's own reader agrees.
    ProcessResult inspected =
        runProcess({config::packer()->string(), "inspect", wine.hostPath(uninstaller).string()}, 60s, folder);
    EXPECT_EQ(inspected.exitCode, 0) << describe(inspected);
    for (const std::string& expected :
         {std::string("no package attached"), "icon 100: " + std::to_string(linesOf(views[0], "icon").size()) + " images",
          std::string("CompanyName \"Velkorin Test Company\""),
          std::string("execution level requireAdministrator, 5 supportedOS entries")})
        EXPECT_NE(inspected.output.find(expected), std::string::npos) << expected << "\n" << inspected.output;

    WindowsRun removal = wine.runWatched(uninstaller, {"S"}, 90s);
    ASSERT_TRUE(removal.ended) << describe(removal.driver);
    EXPECT_EQ(removal.exitCode, 0u);
    EXPECT_FALSE(wine.readFile(std::string(installPath) + "\\readme.txt")) << "removed by the uninstaller";
    EXPECT_FALSE(wine.registryValue(uninstallKey, "DisplayName")) << "its Uninstall entry is gone";
}

TEST_F(SetupFileResources, EachExecutionLevelAndTheDefaultRuleReachTheManifest) {
    std::vector<Lines> views = systemView({"C:\\res\\admin.exe", "C:\\res\\highest.exe", "C:\\res\\user.exe",
                                           "C:\\res\\per-user.exe"});
    // 3 requireAdministrator, 2 highestAvailable, 1 asInvoker.
    EXPECT_EQ(linesOf(views[0], "level"), (Lines{{"level", "3", "0"}}));
    EXPECT_EQ(linesOf(views[1], "level"), (Lines{{"level", "2", "0"}}));
    EXPECT_EQ(linesOf(views[2], "level"), (Lines{{"level", "1", "0"}}));
    EXPECT_EQ(linesOf(views[3], "level"), (Lines{{"level", "1", "0"}})) << "per user by default";
    EXPECT_NE(builds["per-user"].errors.find("execution level user (by default)"), std::string::npos)
        << builds["per-user"].errors;
    EXPECT_NE(builds["main"].errors.find("execution level admin (by default)"), std::string::npos) << builds["main"].errors;
    // No version fields, no version resource; the stub's own icon stays.
    EXPECT_TRUE(linesOf(views[3], "fixed").empty());
    EXPECT_EQ(linesOf(views[3], "icon"), (Lines{{"icon", "32", "32", "4", "744", "1"}}));
    // A per-user package installs as the user asked for: no administrator needed.
    WindowsRun run = wine.runWatched("C:\\res\\per-user.exe", {"S"}, 90s);
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(SetupFileResources, SignedSetupFileWithTheNewResourcesVerifiesAndInstalls) {
    std::string key = (folder / "key.pem").string(), cert = (folder / "cert.pem").string();
    ProcessResult made = runProcess({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
                                     cert, "-days", "2", "-subj", "/CN=Velkorin Test Publisher", "-addext",
                                     "extendedKeyUsage=codeSigning"},
                                    120s, folder);
    ASSERT_EQ(made.exitCode, 0) << describe(made);
    ProcessResult built = runProcess({config::packer()->string(), "build", (folder / "main" / "project.toml").string(),
                                      "-o", (folder / "signed.exe").string(), "--stub", config::stub().string(),
                                      "--sign", "--certificate", cert, "--key", key},
                                     120s, folder);
    ASSERT_EQ(built.exitCode, 0) << describe(built);
    ProcessResult verified = runProcess({"osslsigncode", "verify", "-CAfile", cert, "-in", (folder / "signed.exe").string()},
                                        120s, folder);
    EXPECT_EQ(verified.exitCode, 0) << describe(verified);
    EXPECT_NE(verified.output.find("Signature verification: ok"), std::string::npos) << verified.output;
    Bytes signedFile = readBytes(folder / "signed.exe"), plain = readBytes(folder / "main.exe");
    uint32_t pe = le32(signedFile, dosPeOffsetAt);
    EXPECT_EQ(le32(signedFile, pe + peSecurityEntryAt), plain.size()) << "the table starts right behind the package";

    wine.copyIn(folder / "signed.exe", "C:\\res\\signed.exe");
    std::vector<Lines> view = systemView({"C:\\res\\signed.exe"});
    expectMainResources(view[0], "signed setup file");
    WindowsRun run = wine.runWatched("C:\\res\\signed.exe", {"S"}, 90s);
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u) << "the stub proves the signed file's package";
    EXPECT_TRUE(wine.readFile(std::string(installPath) + "\\uninstall.exe"));
}

TEST_F(SetupFileResources, IconThatCannotFitIsRefusedWithTheMissingBytesAndNothingIsWritten) {
    const ProcessResult& built = builds["too-big"];
    EXPECT_EQ(built.exitCode, 1);
    const std::string start = "velkorin-pack: " + (folder / "too-big" / "project.toml").string() +
                              ": setup_file.icon: 'big.ico': its smallest images (32x32 and 16x16) do not fit: the "
                              "setup program needs ";
    EXPECT_EQ(built.errors.rfind(start, 0), 0u) << built.errors;
    EXPECT_NE(built.errors.find(" bytes more than it has room for below 65,536 bytes\n"), std::string::npos) << built.errors;
    EXPECT_FALSE(std::filesystem::exists(folder / "too-big.exe"));
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().find("too-big.exe"), std::string::npos) << "no temporary file left";
}

}  // namespace
}  // namespace e2e
