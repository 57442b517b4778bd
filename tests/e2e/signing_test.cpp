// signing_test.cpp -- a setup file signed with osslsigncode (certificate made here) under Wine:
// it installs, its uninstaller copy carries no security entry and a valid PE CheckSum, a changed
// package byte still gives the damaged message, and a certificate table that does not start
// right behind the package is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "e2e_config.h"
#include "format/package_format.h"
#include "pe_fields.h"
#include "process.h"
#include "setup_files.h"
#include "message_boxes.h"
#include "wine_session.h"

namespace e2e {
namespace {

const char startupCaption[] = "Velkorin";
const char damagedText[] = "The installer file is damaged!";
const char installPath[] = "C:\\Program Files\\Velkorin Signed";

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void put32(Bytes* b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
std::filesystem::path project() { return config::root() / "tests/e2e/projects/signed"; }

class SignedSetup : public ::testing::Test {
protected:
    static inline std::string failure;
    static inline Bytes plain, signedFile;  // the same build, unsigned and signed
    static inline std::filesystem::path folder;

    static ProcessResult tool(const std::vector<std::string>& argv) { return runProcess(argv, 120s, folder); }

    static void SetUpTestSuite() {
        WineSession& wine = WineSession::current();
        folder = wine.scratch() / "signing";
        std::filesystem::create_directories(folder);
        auto packer = config::packer();
        if (!packer) return;
        std::string key = (folder / "key.pem").string(), cert = (folder / "cert.pem").string();
        ProcessResult made = tool({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
                                   cert, "-days", "2", "-subj", "/CN=Velkorin Test Publisher"});
        if (made.exitCode != 0) return void(failure = "openssl: " + describe(made));
        std::string base = packer->string(), toml = (project() / "project.toml").string();
        for (bool sign : {false, true}) {
            std::filesystem::path out = folder / (sign ? "signed.exe" : "plain.exe");
            std::vector<std::string> argv = {base, "build", toml, "-o", out.string(), "--stub", config::stub().string()};
            if (sign) argv.insert(argv.end(), {"--sign", "--certificate", cert, "--key", key});
            ProcessResult built = tool(argv);
            if (built.exitCode != 0) return void(failure = "velkorin-pack: " + describe(built));
            (sign ? signedFile : plain) = readBytes(out);
        }
    }

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        ASSERT_TRUE(failure.empty()) << failure;
        ASSERT_FALSE(signedFile.empty());
    }

    WineSession& wine = WineSession::current();

    // Starts the file, expects the damaged message, presses OK and expects the failure code.
    void expectDamagedMessage(const Bytes& file, const std::string& name) {
        std::string path = "C:\\signing\\" + name + ".exe";
        wine.writeFile(path, file);
        BackgroundRun setup = wine.start(path, {"S"}, 90s);
        std::optional<DialogDump> box = wine.waitDialog(startupCaption, 60s);
        if (box) {
            EXPECT_EQ(box->text(messageTextId).value_or("(no text)"), damagedText) << name;
        }
        pressOkAndExpectFailure(wine, setup, box, startupCaption, name, 60s);
    }
};

TEST_F(SignedSetup, InstallsAndItsUninstallerCopyCarriesNoSecurityEntryAndAValidCheckSum) {
    uint32_t pe = le32(signedFile, dosPeOffsetAt);
    ASSERT_EQ(le32(signedFile, pe + peSecurityEntryAt), plain.size()) << "the table starts right behind the package";
    wine.writeFile("C:\\signing\\setup.exe", signedFile);
    WindowsRun run = wine.runWatched("C:\\signing\\setup.exe", {"S"}, 60s);
    ASSERT_TRUE(run.ended) << describe(run.driver);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.windows.empty()) << run.windows.front();
    for (const char* name : {"readme.txt", "data.bin"})
        EXPECT_EQ(wine.readFile(std::string(installPath) + "\\" + name), readBytes(project() / "app" / name)) << name;

    auto copy = wine.readFile(std::string(installPath) + "\\uninstall.exe");
    ASSERT_TRUE(copy);
    uint16_t image = packageOffsetOf(signedFile);
    ASSERT_EQ(copy->size(), image) << "the copy is the image alone";
    EXPECT_EQ(packageOffsetOf(*copy), 0u);
    EXPECT_EQ(le32(*copy, pe + peSecurityEntryAt), 0u) << "no security entry pointing past the copy's end";
    EXPECT_EQ(le32(*copy, pe + peSecurityEntryAt + 4), 0u);
    EXPECT_EQ(le32(*copy, pe + peCheckSumAt), peCheckSumOf(*copy, pe + peCheckSumAt)) << "the copy's own PE CheckSum";
    // Everything else is the signed file's image.
    Bytes expected(signedFile.begin(), signedFile.begin() + image);
    expected[dosPackageOffsetAt] = expected[dosPackageOffsetAt + 1] = 0;
    std::fill_n(expected.begin() + pe + peSecurityEntryAt, peSecurityEntrySize, 0);
    std::copy_n(copy->begin() + pe + peCheckSumAt, 4, expected.begin() + pe + peCheckSumAt);
    EXPECT_EQ(*copy, expected);
}

TEST_F(SignedSetup, ChangedPackageByteOfTheSignedFileGivesTheDamagedMessage) {
    // In the file area and in the script stream; the signature is not checked by the stub.
    size_t package = packageOffsetOf(signedFile);
    for (size_t offset : {package + 40, plain.size() - 3})
        expectDamagedMessage(withChangedByte(signedFile, offset), "changed-" + std::to_string(offset));
}

TEST_F(SignedSetup, CertificateTableThatDoesNotStartRightBehindThePackageIsRefused) {
    // Eight bytes appended to the package before signing: the table starts behind them.
    Bytes longer = plain;
    longer.insert(longer.end(), 8, 0);
    std::ofstream(folder / "longer.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(longer.data()), static_cast<std::streamsize>(longer.size()));
    ProcessResult signedLonger =
        tool({"osslsigncode", "sign", "-certs", (folder / "cert.pem").string(), "-key", (folder / "key.pem").string(),
              "-in", (folder / "longer.exe").string(), "-out", (folder / "longer-signed.exe").string()});
    ASSERT_EQ(signedLonger.exitCode, 0) << describe(signedLonger);
    expectDamagedMessage(readBytes(folder / "longer-signed.exe"), "junk-before-table");

    // The entry moved eight bytes into the table (still aligned and to the end of the file).
    Bytes moved = signedFile;
    uint32_t pe = le32(moved, dosPeOffsetAt);
    put32(&moved, pe + peSecurityEntryAt, le32(moved, pe + peSecurityEntryAt) + 8);
    put32(&moved, pe + peSecurityEntryAt + 4, le32(moved, pe + peSecurityEntryAt + 4) - 8);
    expectDamagedMessage(moved, "table-moved");

    // A table that stops short of the end of the file.
    Bytes shortTable = signedFile;
    put32(&shortTable, pe + peSecurityEntryAt + 4, le32(shortTable, pe + peSecurityEntryAt + 4) - 8);
    expectDamagedMessage(shortTable, "table-short");
}

}  // namespace
}  // namespace e2e
