// startup_test.cpp -- the program's first moments, end to end under Wine: the bare stub as the
// uninstaller, setup files that are damaged, cut short or intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "e2e_config.h"
#include "format/package_format.h"
#include "message_boxes.h"
#include "pe_fields.h"
#include "prefix_snapshot.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

const unsigned long exitCancelled = 1, exitFailed = 2;
const char demoCaption[] = "Velkorin Demo 1.0 Setup";
const int okButtonId = 1;
const char startupCaption[] = "Velkorin";
const char damagedText[] = "The installer file is damaged!";
const char unreadableText[] = "Error verifying the file CRC.";

std::string listWindows(const WindowsRun& run) {
    std::string text;
    for (const std::string& window : run.windows) text += "\n  " + window;
    return text;
}

// The demo's setup file, built once per process with velkorin-pack; empty when that failed.
const Bytes& demoSetupFile(std::string* error) {
    static Bytes file;
    static std::string failure;
    static bool tried = false;
    if (!tried) {
        tried = true;
        std::filesystem::path out = WineSession::current().scratch() / "demo-setup.exe";
        if (buildSetupFile(config::root() / "examples/demo/demo.toml", out, WineSession::current().scratch(),
                           &failure))
            file = readBytes(out);
    }
    *error = failure;
    return file;
}

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void putLe32(Bytes* file, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*file)[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// Expects the snapshot taken after a run to hold the lines it held before, and no others.
void expectSameLines(const std::set<std::string>& after, const std::set<std::string>& before, const std::string& what) {
    for (const std::string& line : linesOnlyIn(after, before)) ADD_FAILURE() << what << " gained " << line;
    for (const std::string& line : linesOnlyIn(before, after)) ADD_FAILURE() << what << " lost " << line;
}

// A copy of the file with the inflated script size (the word at the script block) replaced, and
// the package checksum recomputed with the builder's own function, so that only the size check
// can refuse it.
Bytes withScriptSize(const Bytes& file, uint32_t scriptSize) {
    Bytes changed = file;
    size_t packageStart = packageOffsetOf(file);
    putLe32(&changed, packageStart + le32(file, packageStart + 4), scriptSize);
    SigningLayout layout;
    std::string error;
    if (!signingLayoutOf(changed.data(), changed.size(), changed.size(), static_cast<uint32_t>(packageStart), &layout,
                         &error)) {
        ADD_FAILURE() << "the setup file's layout: " << error;
        return changed;
    }
    putLe32(&changed, dosFileChecksumAt, tolerantChecksum(changed, layout));
    return changed;
}

// The middle of the image's resource section (icon, dialogs): data no code runs before the check.
size_t resourceSectionMiddle(const Bytes& file) {
    size_t pe = le32(file, 0x3C);
    size_t count = file[pe + 6] | file[pe + 7] << 8;
    size_t sections = pe + 24 + (file[pe + 20] | file[pe + 21] << 8);
    for (size_t i = 0; i < count; ++i) {
        size_t s = sections + 40 * i;
        if (std::string(reinterpret_cast<const char*>(&file[s]), 5) == ".rsrc")
            return le32(file, s + 20) + le32(file, s + 16) / 2;
    }
    return 0;
}

class StartupTest : public ::testing::Test {
protected:
    WineSession& wine = WineSession::current();

    // The demo setup file, or empty after a failure that names the builder's complaint.
    const Bytes& setupFile() {
        std::string error;
        const Bytes& file = demoSetupFile(&error);
        if (file.empty()) ADD_FAILURE() << error;
        return file;
    }

    // Runs the file and expects the start-up message box: caption "Velkorin", one of the texts,
    // an OK button that closes it, then the end of the run with the failure code.
    void expectStartupMessage(const Bytes& file, const std::string& name, const std::vector<std::string>& texts,
                              bool takePicture) {
        std::string path = "C:\\damaged\\" + name + ".exe";
        wine.writeFile(path, file);
        BackgroundRun setup = wine.start(path, {}, 30s);
        std::optional<DialogDump> box = wine.waitDialog(startupCaption, 15s);
        if (takePicture) wine.screenshot(name);
        if (box) {
            EXPECT_EQ(box->caption, startupCaption) << name;
            std::optional<std::string> text = box->text(messageTextId);
            ASSERT_TRUE(text.has_value()) << name << ": the box has no message text";
            EXPECT_NE(std::find(texts.begin(), texts.end(), *text), texts.end()) << name << ": shows \"" << *text << "\"";
            ASSERT_NE(box->find(okButtonId), nullptr) << name << ": no OK button";
        }
        pressOkAndExpectFailure(wine, setup, box, startupCaption, name, 30s);
    }
};

TEST_F(StartupTest, BareStubTakesTheUninstallRoadWithoutAWindow) {
    Bytes stub = readBytes(config::stub());
    ASSERT_GT(stub.size(), 64u);
    ASSERT_EQ(packageOffsetOf(stub), 0) << "the stub as built carries no package";
    wine.copyIn(config::stub(), "C:\\velkorin\\velkorin.exe");

    WindowsRun run = wine.runWatched("C:\\velkorin\\velkorin.exe", {}, 20s);

    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, exitFailed) << "nothing can be removed yet";
    EXPECT_TRUE(run.windows.empty()) << "windows shown:" << listWindows(run);
    EXPECT_FALSE(wine.waitDialog("*", 0ms).has_value()) << "a dialog is still open";
    std::cout << "[ timing   ] one watched run of the stub: " << run.driver.elapsed.count() << " ms\n";
    RecordProperty("stub_run_ms", static_cast<int>(run.driver.elapsed.count()));
}

TEST_F(StartupTest, AnyChangedByteFromOffset40OnIsReportedAsDamage) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    size_t packageStart = packageOffsetOf(file);
    ASSERT_GT(packageStart, 40u);
    ASSERT_GT(file.size(), packageStart + 16);
    // The first summed byte, one inside the image's resources, the package header and the very
    // last byte. (A changed byte of code that runs before the check can break that code itself:
    // no program can report damage to the instructions it is executing.)
    size_t resources = resourceSectionMiddle(file);
    ASSERT_GT(resources, 40u);
    ASSERT_LT(resources, packageStart);
    const size_t offsets[] = {40, resources, packageStart + 4, file.size() - 1};
    bool first = true;
    for (size_t offset : offsets) {
        expectStartupMessage(withChangedByte(file, offset), "changed-at-" + std::to_string(offset), {damagedText},
                             first);
        first = false;
    }
}

TEST_F(StartupTest, FileCutShortInsideThePackageIsReported) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    size_t packageStart = packageOffsetOf(file);
    ASSERT_GT(file.size(), packageStart + 16);
    Bytes cut(file.begin(), file.begin() + static_cast<long>(packageStart + (file.size() - packageStart) / 2));
    expectStartupMessage(cut, "cut-short", {damagedText, unreadableText}, false);
}

TEST_F(StartupTest, ScriptSizeBeyondWhatTheFileHoldsIsReportedAndNothingIsWritten) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    size_t packageStart = packageOffsetOf(file);
    size_t scriptBlock = packageStart + le32(file, packageStart + 4);
    ASSERT_LT(scriptBlock + scriptSizeFieldSize, file.size());
    // A deflate stream yields at most 1032 bytes per input byte: one byte of compressed script
    // more than the file holds behind the size field is a size it cannot inflate to.
    uint32_t held = static_cast<uint32_t>(std::min<size_t>(le32(file, dosScriptReadSizeAt),
                                                           file.size() - scriptBlock - scriptSizeFieldSize));
    ASSERT_EQ(withScriptSize(file, le32(file, scriptBlock)), file) << "the recomputed checksum is not the builder's";
    // The installation would write here and below the Uninstall key.
    const char target[] = "C:\\Program Files\\Velkorin Demo";
    ASSERT_FALSE(wine.readFile(std::string(target) + "\\readme.txt").has_value()) << "installed before the test";
    // Wine records its display devices and creates a folder the first time a window is shown in
    // the prefix: a damaged file that the checksum refuses shows the same box before the snapshots.
    expectStartupMessage(withChangedByte(file, file.size() - 1), "first-window", {damagedText}, false);
    const std::pair<uint32_t, std::string> sizes[] = {{0xFFFFFFFFu, "script-size-all-ones"},
                                                      {(held + 1) * 1032u, "script-size-one-byte-beyond"}};
    for (const auto& [size, name] : sizes) {
        Bytes damaged = withScriptSize(file, size);
        wine.writeFile("C:\\damaged\\" + name + ".exe", damaged);
        auto filesBefore = driveSnapshot(wine.prefix() / "drive_c");
        auto machineBefore = registrySnapshot(wine, "HKLM"), userBefore = registrySnapshot(wine, "HKCU");

        expectStartupMessage(damaged, name, {damagedText}, false);

        expectSameLines(driveSnapshot(wine.prefix() / "drive_c"), filesBefore, name + ": files");
        expectSameLines(registrySnapshot(wine, "HKLM"), machineBefore, name + ": the machine's registry");
        expectSameLines(registrySnapshot(wine, "HKCU"), userBefore, name + ": the user's registry");
        EXPECT_FALSE(wine.readFile(std::string(target) + "\\readme.txt").has_value()) << name;
    }
}

TEST_F(StartupTest, IntactSetupFileInstallsSilently) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    wine.writeFile("C:\\intact\\setup.exe", file);

    WindowsRun run = wine.runWatched("C:\\intact\\setup.exe", {"S"}, 15s);

    ASSERT_TRUE(run.ended) << "the program did not end by itself: " << describe(run.driver);
    EXPECT_TRUE(run.windows.empty()) << "windows shown:" << listWindows(run);
    EXPECT_EQ(run.exitCode, 0u) << "verified, read and installed";
    EXPECT_TRUE(wine.readFile("C:\\Program Files\\Velkorin Demo\\readme.txt").has_value());
}

TEST_F(StartupTest, AnyWordStartingWithSSelectsTheSilentInstall) {
    if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
    const Bytes& file = setupFile();
    if (file.empty()) return;
    wine.writeFile("C:\\modes\\setup.exe", file);
    // A slash or dash in front is no silent request: the wizard opens (and is cancelled here).
    std::filesystem::path drive = wine.prefix() / "drive_c";
    std::set<std::string> before = driveSnapshot(drive);
    BackgroundRun slash = wine.start("C:\\modes\\setup.exe", {"/S"}, 30s);
    ProcessResult frame = wine.driver({"wait-dialog", demoCaption, "15000", "wait-page", "*", "5000", "click", "1012",
                                       "wait-box", demoCaption, "5000", "click", "6", "wait-gone", "5000"});
    EXPECT_EQ(frame.exitCode, 0) << "no wizard, or no question on Cancel: " << describe(frame);
    WindowsRun cancelled = slash.wait(30s);
    ASSERT_TRUE(cancelled.ended);
    EXPECT_EQ(cancelled.exitCode, exitCancelled) << "the wizard was cancelled";
    std::set<std::string> added = linesOnlyIn(driveSnapshot(drive), before);
    EXPECT_TRUE(added.empty()) << "the cancelled wizard left " << added.size() << " entries, the first: "
                               << (added.empty() ? "" : *added.begin());
    WindowsRun word = wine.runWatched("C:\\modes\\setup.exe", {"silent"}, 15s);
    ASSERT_TRUE(word.ended);
    EXPECT_EQ(word.exitCode, 0u) << "a lower-case word beginning with s installs silently";
    EXPECT_TRUE(word.windows.empty());
}

TEST_F(StartupTest, MissingRichEditLibraryIsReportedByName) {
    // An empty DLL override disables the library for every later process of the prefix.
    wine.setRegistryText("HKCU\\Software\\Wine\\DllOverrides", "riched32", "");
    wine.copyIn(config::stub(), "C:\\velkorin\\no-richedit.exe");
    BackgroundRun stub = wine.start("C:\\velkorin\\no-richedit.exe", {}, 30s);
    std::optional<DialogDump> box = wine.waitDialog(startupCaption, 15s);
    if (box) {
        EXPECT_EQ(box->text(messageTextId).value_or(""), "Error loading riched32.dll library.");
        wine.driver({"use", box->handle, "click", std::to_string(okButtonId), "wait-gone", "5000"});
    } else {
        ADD_FAILURE() << "no message about the rich-edit library";
    }
    WindowsRun run = stub.wait(30s);
    wine.deleteRegistry({}, {{"HKCU\\Software\\Wine\\DllOverrides", "riched32"}});
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, exitFailed);
}

}  // namespace
}  // namespace e2e
