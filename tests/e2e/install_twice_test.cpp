// install_twice_test.cpp -- the same package installed again into the same folder.
//
// The second run's final log lists again everything the installation consists of, except the
// intermediate registry key level that the first run created (it existed already). Its temporary
// log lists only what the second run created.
//
// The package (tests/e2e/projects/twice) has an association that always fails, before the one that
// works: each run stops there with a question. That is where the temporary log is read: by then
// the run has logged its files, link, registry values and keys. Runs 1 and 2 answer Yes and
// complete; run 3 answers No and rolls back, which must leave everything the earlier runs
// installed as it was -- the rollback replays the temporary log, so this is the log's effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "e2e_config.h"
#include "setup_files.h"
#include "prefix_snapshot.h"
#include "wine_session.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

const int messageTextId = 0xFFFF, yesButtonId = 6, noButtonId = 7;
const unsigned long exitSuccess = 0, exitFailed = 2;
const char setupPath[] = "C:\\twice\\setup.exe";
const char caption[] = "Velkorin Twice 1.0 Setup";
const char finalLog[] = "C:\\Program Files\\Velkorin Twice\\remove.log";
const char logHeader[] = "=== Velkorin log file ===";
const char intermediateKey[] = "e,1,Software\\VelkorinTwice";
const char lastKey[] = "e,1,Software\\VelkorinTwice\\Settings";

Lines linesOf(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string contentOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The install logs in the temporary folders (VKR*.tmp files that begin with the log header).
std::vector<std::filesystem::path> temporaryLogs() {
    std::filesystem::path drive = WineSession::current().prefix() / "drive_c";
    std::vector<std::filesystem::path> folders = {drive / "windows" / "temp"};
    for (const auto& user : std::filesystem::directory_iterator(drive / "users")) folders.push_back(user.path() / "Temp");
    std::vector<std::filesystem::path> logs;
    for (const auto& folder : folders) {
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name.rfind("VKR", 0) == 0 && name.size() > 7 &&
                name.substr(name.size() - 4) == ".tmp" &&
                contentOf(entry.path()).rfind(std::string(logHeader) + "\n", 0) == 0)
                logs.push_back(entry.path());
        }
    }
    return logs;
}

std::set<std::string> wholeRegistry() {
    std::set<std::string> all;
    for (const char* root : {"HKLM", "HKCU", "HKCR"}) all.merge(registrySnapshot(WineSession::current(), root));
    return all;
}

Lines difference(const std::set<std::string>& a, const std::set<std::string>& b) {
    Lines out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

// What one run showed and left.
struct RunSeen {
    std::string question;   // the text of the association's question
    Lines temporaryLog;     // the temporary log while the question was shown
    size_t temporaryLogs = 0;
    unsigned long exitCode = 99;
    bool ended = false;
    std::string failure;    // set when the run could not be driven
};

// Runs the package silently and answers the association's question with the button.
RunSeen install(int button) {
    WineSession& wine = WineSession::current();
    RunSeen result;
    BackgroundRun setup = wine.start(setupPath, {"S"}, 60s);
    std::optional<DialogDump> box = wine.waitDialog(caption, 60s);
    if (box) {
        result.question = box->text(messageTextId).value_or("<no text>");
        std::vector<std::filesystem::path> logs = temporaryLogs();
        result.temporaryLogs = logs.size();
        if (logs.size() == 1) result.temporaryLog = linesOf(contentOf(logs.front()));
        ProcessResult pressed = wine.driver({"use", box->handle, "click", std::to_string(button), "wait-gone", "5000"});
        if (pressed.exitCode != 0) result.failure = "cannot answer the question: " + describe(pressed);
    } else {
        result.failure = "no question at the association step";
    }
    WindowsRun ended = setup.wait(60s);
    result.ended = ended.ended;
    result.exitCode = ended.exitCode;
    if (!ended.ended && result.failure.empty()) result.failure = "did not end: " + describe(ended.driver);
    return result;
}

// The prefix's user (the folder under C:\users that is not Public).
std::string userName() {
    for (const auto& entry : std::filesystem::directory_iterator(WineSession::current().prefix() / "drive_c/users"))
        if (entry.path().filename() != "Public") return entry.path().filename().string();
    return "";
}

Lines finalLogLines() {
    auto bytes = WineSession::current().readFile(finalLog);
    return bytes ? linesOf(std::string(bytes->begin(), bytes->end())) : Lines{};
}

class InstallTwice : public ::testing::Test {
protected:
    static inline std::string failure;
    static inline std::set<std::string> registryBeforeFirst;
    static inline RunSeen first, second, third;
    static inline Lines firstLog, secondLog;
    static inline size_t logsLeftAfterSecond = 0;
    static inline std::set<std::string> filesBeforeThird, filesAfterThird, registryBeforeThird, registryAfterThird;

    static void SetUpTestSuite() {
        WineSession& wine = WineSession::current();
        if (!config::packer()) return;
        std::filesystem::path out = wine.scratch() / "twice.exe";
        if (!buildSetupFile(config::root() / "tests/e2e/projects/twice/project.toml", out, wine.scratch(), &failure))
            return;
        wine.copyIn(out, setupPath);
        registryBeforeFirst = registrySnapshot(wine, "HKCU");

        first = install(yesButtonId);
        firstLog = finalLogLines();
        second = install(yesButtonId);
        secondLog = finalLogLines();
        logsLeftAfterSecond = temporaryLogs().size();

        filesBeforeThird = driveSnapshot(wine.prefix() / "drive_c");
        registryBeforeThird = wholeRegistry();
        third = install(noButtonId);
        filesAfterThird = driveSnapshot(wine.prefix() / "drive_c");
        registryAfterThird = wholeRegistry();
    }

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        ASSERT_EQ(failure, "");
    }

    static void expectDriven(const RunSeen& run, const char* which) {
        EXPECT_EQ(run.failure, "") << which;
        EXPECT_EQ(run.question, "Error creating the association for '.vktwicestop'. Continue?") << which;
        EXPECT_EQ(run.temporaryLogs, 1u) << which << ": one temporary log while the run waits";
    }
};

TEST_F(InstallTwice, BothRunsComplete) {
    expectDriven(first, "first run");
    expectDriven(second, "second run");
    EXPECT_TRUE(first.ended && second.ended);
    EXPECT_EQ(first.exitCode, exitSuccess) << "a failed association leaves the result a success";
    EXPECT_EQ(second.exitCode, exitSuccess);
    EXPECT_EQ(logsLeftAfterSecond, 0u) << "a completed run deletes its temporary log";
}

TEST_F(InstallTwice, FirstFinalLogListsTheNewKeyLevels) {
    ASSERT_FALSE(firstLog.empty()) << "no final log after the first run";
    for (const std::string& line : registryBeforeFirst)
        ASSERT_EQ(line.find("VelkorinTwice"), std::string::npos) << "the key existed before: " << line;
    EXPECT_EQ(std::count(firstLog.begin(), firstLog.end(), intermediateKey), 1);
    EXPECT_EQ(std::count(firstLog.begin(), firstLog.end(), lastKey), 1);
    // Every kind of entry the package makes is there: folders, files, the link, values, keys.
    for (const char* kind : {"a,", "b,", "h,", "c,", "e,"})
        EXPECT_TRUE(std::any_of(firstLog.begin(), firstLog.end(),
                                [&](const std::string& line) { return line.rfind(kind, 0) == 0; }))
            << "no line of kind " << kind;
}

TEST_F(InstallTwice, SecondFinalLogIsTheFirstWithoutTheIntermediateKeyLevel) {
    ASSERT_FALSE(secondLog.empty()) << "no final log after the second run";
    Lines expected = firstLog;
    expected.erase(std::remove(expected.begin(), expected.end(), intermediateKey), expected.end());
    ASSERT_EQ(expected.size() + 1, firstLog.size());
    // The association's keys were there at the second run: it logs the values it set in them and
    // their last key levels, never the whole trees.
    auto extension = std::find(expected.begin(), expected.end(), "e,0,.vktwice,1");
    ASSERT_NE(extension, expected.end());
    ASSERT_EQ(*(extension + 1), "e,0,Velkorin.TwiceDocument,1");
    extension = expected.erase(extension, extension + 2);
    expected.insert(extension, {"e,0,.vktwice", "c,0,.vktwice,", "c,0,.vktwice,Content Type",
                                "e,0,Velkorin.TwiceDocument", "c,0,Velkorin.TwiceDocument,",
                                "e,0,Velkorin.TwiceDocument\\shell\\open\\command",
                                "c,0,Velkorin.TwiceDocument\\shell\\open\\command,"});
    EXPECT_EQ(secondLog, expected);
}

// The first run's temporary log holds everything the final log holds up to the associations.
TEST_F(InstallTwice, FirstTemporaryLogListsEverythingLoggedSoFar) {
    auto associations = std::find_if(firstLog.begin(), firstLog.end(),
                                     [](const std::string& line) { return line.rfind("e,0,", 0) == 0; });
    ASSERT_NE(associations, firstLog.end()) << "the final log has no association";
    EXPECT_EQ(first.temporaryLog, Lines(firstLog.begin(), associations));
}

// Of what the second run logged, only the header and the folders reach its temporary log: every
// file, link, value and key level existed already.
TEST_F(InstallTwice, SecondTemporaryLogListsOnlyWhatTheSecondRunCreated) {
    ASSERT_GE(first.temporaryLog.size(), 4u);
    Lines expected(first.temporaryLog.begin(), first.temporaryLog.begin() + 4);
    std::copy_if(first.temporaryLog.begin() + 4, first.temporaryLog.end(), std::back_inserter(expected),
                 [](const std::string& line) { return line.rfind("a,", 0) == 0; });
    ASSERT_LT(expected.size(), first.temporaryLog.size());
    EXPECT_EQ(second.temporaryLog, expected);
}

TEST_F(InstallTwice, ThirdRunRolledBackLeavesTheEarlierInstallationInPlace) {
    EXPECT_EQ(third.failure, "");
    EXPECT_EQ(third.temporaryLog, second.temporaryLog) << "again nothing new but the folders";
    ASSERT_TRUE(third.ended);
    EXPECT_EQ(third.exitCode, exitFailed) << "an aborted installation is a failure";
    EXPECT_EQ(difference(filesBeforeThird, filesAfterThird), Lines{}) << "lost";
    EXPECT_EQ(difference(filesAfterThird, filesBeforeThird), Lines{}) << "left behind";
    EXPECT_EQ(difference(registryBeforeThird, registryAfterThird), Lines{}) << "lost";
    EXPECT_EQ(difference(registryAfterThird, registryBeforeThird), Lines{}) << "left behind";
    // What the snapshots must hold for the comparison to mean something.
    EXPECT_EQ(filesAfterThird.count("Program Files/Velkorin Twice/docs/guide.txt = Velkorin Twice guide.\r\n"), 1u);
    EXPECT_EQ(filesAfterThird.count("users/" + userName() +
                                    "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Velkorin Twice/Guide.lnk"),
              1u);
    EXPECT_TRUE(std::any_of(registryAfterThird.begin(), registryAfterThird.end(), [](const std::string& line) {
        return line.rfind("[HKEY_CURRENT_USER\\Software\\VelkorinTwice\\Settings] \"Runs\"", 0) == 0;
    }));
    EXPECT_TRUE(registryAfterThird.count("[HKEY_CLASSES_ROOT\\.vktwice]"));
}

}  // namespace
}  // namespace e2e
