// damaged_file_test.cpp -- the real setup file, damaged, run silently under Wine: a sample of
// changed bytes and cuts from every part of a small setup file (headers, image, package header,
// file area, script, the very end). Each run shows the damaged-file message, ends with exit code 2
// once it is answered, and leaves drive C: and the registry as they were. The every-offset run of
// the same checks is tests/damage/every-byte.sh; the locator's own check of every offset is the
// unit test DamagedPackage.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "e2e_config.h"
#include "format/package_format.h"
#include "prefix_snapshot.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char damagedText[] = "The installer file is damaged!";

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

struct Variant {
    std::string name;
    Bytes bytes;
};

// One driver call per run: start it silently, read the message box, answer OK, wait for the end.
struct DamagedRun {
    std::string message;
    std::optional<unsigned long> exitCode;
    std::string output;
};

DamagedRun runDamaged(WineSession& wine, const std::string& path) {
    std::string scaled = std::to_string(60000 * config::timeScale());
    ProcessResult result = wine.driver({"launch", windowsCommandLine({path, "S"}), "wait-box", "Velkorin", scaled, "dump",
                                        "click", "1", "wait-gone", scaled, "wait-exit", scaled},
                                       std::chrono::milliseconds(200000 * config::timeScale()));
    DamagedRun run;
    run.output = describe(result);
    run.message = parseDialogDump(result.output).text(messageTextId).value_or("(no message box)");
    WindowsRun ended = parseRun(result);
    if (ended.ended) run.exitCode = ended.exitCode;
    return run;
}

TEST(DamagedFile, SampleOfEveryRegionShowsTheMessageAndWritesNothing) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    WineSession& wine = WineSession::current();
    std::string error;
    std::filesystem::path out = wine.scratch() / "damage-setup.exe";
    ASSERT_TRUE(buildSetupFile(config::root() / "tests/damage/project/project.toml", out, wine.scratch(), &error)) << error;
    Bytes file = readBytes(out);
    ASSERT_GT(file.size(), 4096u);
    size_t pe = le32(file, dosPeOffsetAt);
    size_t headersEnd = le32(file, pe + 24 + 60);
    size_t sectionTable = pe + 24 + (file[pe + 20] | file[pe + 21] << 8);
    size_t package = packageOffsetOf(file);
    size_t fileArea = package + sizeof(PackageHeader);
    size_t script = package + le32(file, package + 4);
    ASSERT_LT(headersEnd, package);
    ASSERT_LT(fileArea, script);

    // Bytes whose change the loader does not notice, so that the program itself must: the DOS
    // stub's text, a section's name, the middle of the last section (the resources), and every
    // part of the package.
    size_t lastSection = sectionTable + 40 * ((file[pe + 6] | file[pe + 7] << 8) - 1);
    size_t resources = le32(file, lastSection + 20), resourcesSize = le32(file, lastSection + 16);
    std::vector<Variant> variants;
    auto changed = [&](const std::string& name, size_t offset) {
        Bytes bytes = file;
        bytes.at(offset) ^= 0xFF;
        variants.push_back({name + "-" + std::to_string(offset), bytes});
    };
    auto cut = [&](const std::string& name, size_t length) {
        variants.push_back({"cut-" + name + "-" + std::to_string(length), Bytes(file.begin(), file.begin() + length)});
    };
    changed("dos-stub", 0x4E);
    changed("section-name", sectionTable + 1);
    changed("resources", resources + resourcesSize / 2);
    changed("package-header", package + 1);
    changed("file-area", (fileArea + script) / 2);
    changed("script-size", script);
    changed("script", (script + file.size()) / 2);
    changed("last-byte", file.size() - 1);
    cut("package-header", package + 6);
    cut("file-area", (fileArea + script) / 2);
    cut("script", (script + file.size()) / 2);
    cut("last-byte", file.size() - 1);

    // Start-up leaves traces on a fresh prefix (special folders, Wine's own keys): a run of the
    // intact-image-less stub makes them before the snapshots.
    wine.copyIn(config::stub(), "C:\\damage\\velkorin.exe");
    wine.run("C:\\damage\\velkorin.exe", {}, 30s);
    for (const Variant& v : variants) wine.writeFile("C:\\damage\\" + v.name + ".exe", v.bytes);
    std::filesystem::path drive = wine.prefix() / "drive_c";
    auto filesBefore = driveSnapshot(drive);
    auto userBefore = registrySnapshot(wine, "HKCU"), machineBefore = registrySnapshot(wine, "HKLM");

    for (const Variant& v : variants) {
        DamagedRun run = runDamaged(wine, "C:\\damage\\" + v.name + ".exe");
        EXPECT_EQ(run.message, damagedText) << v.name << ": " << run.output;
        EXPECT_EQ(run.exitCode, std::optional<unsigned long>(2)) << v.name << ": " << run.output;
    }

    auto filesAfter = driveSnapshot(drive);
    EXPECT_EQ(linesOnlyIn(filesAfter, filesBefore), std::set<std::string>{}) << "written to drive C:";
    EXPECT_EQ(linesOnlyIn(filesBefore, filesAfter), std::set<std::string>{}) << "removed from drive C:";
    EXPECT_EQ(linesOnlyIn(registrySnapshot(wine, "HKCU"), userBefore), std::set<std::string>{});
    EXPECT_EQ(linesOnlyIn(registrySnapshot(wine, "HKLM"), machineBefore), std::set<std::string>{});
    EXPECT_FALSE(wine.registryValue("HKCU\\Software\\VelkorinDamage", "Path"));
}

}  // namespace
}  // namespace e2e
