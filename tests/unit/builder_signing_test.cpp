// Signed setup files: the builder's PE CheckSum and package end, signing through osslsigncode
// with a certificate made here, and the stub's own reader proving the signed file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "byte_buffer.h"
#include "deflate.h"
#include "format/package_format.h"
#include "pe_fields.h"
#include "shell_command.h"
#include "startup/package.h"

#ifdef VELKORIN_STUB_PATH
namespace {

CommandResult shell(const std::string& command) { return runShellCommand(command); }
Bytes readFile(const std::string& path) { return readFileBytes(path); }
void writeFile(const std::string& path, const Bytes& bytes) { writeFileBytes(path, bytes); }

uint32_t peOffset(const Bytes& file) { return loadU32(file.data() + dosPeOffsetAt); }

// The stub's reader over a file in memory: the plain and the tolerant sum as it takes them.
struct Reader {
    const Bytes* file;
    size_t at;
};
DWORD readMemory(void* context, BYTE* buffer, DWORD count) {
    Reader* r = static_cast<Reader*>(context);
    DWORD n = static_cast<DWORD>(std::min<size_t>(count, r->file->size() - r->at));
    std::memcpy(buffer, r->file->data() + r->at, n);
    r->at += n;
    return n;
}
DWORD stubTolerantSum(const Bytes& file, DWORD packageEnd) {
    SigningFields fields{};
    uint32_t pe = peOffset(file);
    fields.checkSumAt = pe + peCheckSumAt;
    fields.securityAt = pe + peSecurityEntryAt;
    std::memcpy(fields.checkSum, &file[fields.checkSumAt], 4);
    std::memcpy(fields.security, &file[fields.securityAt], 8);
    fields.packageEnd = packageEnd;
    Reader reader{&file, checksumStart};
    DWORD whole = 0, tolerant = 0;
    EXPECT_TRUE(computePackageChecksum(readMemory, &reader, static_cast<DWORD>(file.size()), &whole, &fields,
                                       &tolerant));
    return tolerant;
}

class Signing : public ::testing::Test {
protected:
    std::string root;

    void SetUp() override {
        char pattern[] = "/tmp/velkorin-signing-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        mkdir((root + "/files").c_str(), 0755);
        writeFile(root + "/files/a.txt", Bytes(7001, 'a'));
        std::ofstream(root + "/p.toml") << "[product]\nname = \"Signed\"\ntitle = \"Signed Product 1.0\"\n"
                                           "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"files\"\n";
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }

    CommandResult pack(const std::string& arguments) {
        return shell(std::string(VELKORIN_PACK_EXE) + " build " + root + "/p.toml --stub " VELKORIN_STUB_PATH " " +
                     arguments);
    }
    // A self-signed code-signing certificate and its key, also as a PKCS#12 file with a password.
    bool makeCertificate() {
        if (shell("command -v openssl && command -v osslsigncode").code != 0) return false;
        CommandResult made = shell("cd '" + root + "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem "
                                   "-out cert.pem -days 2 -subj '/CN=Velkorin Test Publisher' "
                                   "-addext extendedKeyUsage=codeSigning && openssl pkcs12 -export -inkey key.pem "
                                   "-in cert.pem -out cert.p12 -passout pass:s3cret -keypbe AES-256-CBC "
                                   "-certpbe AES-256-CBC && printf 's3cret\\n' > password.txt");
        EXPECT_EQ(made.code, 0) << made.output;
        return made.code == 0;
    }
};

TEST_F(Signing, BuiltFileHasAValidPeCheckSumAndItsPackageEndsOnAnEightByteBoundary) {
    CommandResult built = pack("-o " + root + "/setup.exe -q");
    ASSERT_EQ(built.code, 0) << built.output;
    Bytes file = readFile(root + "/setup.exe");
    uint32_t checkSumAt = peOffset(file) + peCheckSumAt;
    EXPECT_EQ(file.size() % certificateAlignment, 0u);
    EXPECT_NE(loadU32(&file[checkSumAt]), 0u);
    EXPECT_EQ(loadU32(&file[checkSumAt]), peCheckSumOf(file, checkSumAt));
    // The checksum the stub proves: the CheckSum field as zeros.
    EXPECT_EQ(stubTolerantSum(file, static_cast<DWORD>(file.size())), loadU32(&file[dosFileChecksumAt]));
}

TEST_F(Signing, SignedFileVerifiesAndTheStubStillProvesItsPackage) {
    if (!makeCertificate()) GTEST_SKIP() << "openssl or osslsigncode is not installed";
    CommandResult unsignedBuild = pack("-o " + root + "/plain.exe -q");
    ASSERT_EQ(unsignedBuild.code, 0) << unsignedBuild.output;
    setenv("VELKORIN_TEST_SIGNING_PASSWORD", "s3cret", 1);
    CommandResult built = pack("-o " + root + "/setup.exe --sign --pkcs12 " + root +
                               "/cert.p12 --password-env VELKORIN_TEST_SIGNING_PASSWORD");
    ASSERT_EQ(built.code, 0) << built.output;
    EXPECT_NE(built.output.find("setup.exe: signed"), std::string::npos) << built.output;
    CommandResult verified = shell("osslsigncode verify -CAfile " + root + "/cert.pem -in " + root + "/setup.exe");
    EXPECT_EQ(verified.code, 0) << verified.output;
    EXPECT_NE(verified.output.find("Signature verification: ok"), std::string::npos) << verified.output;
    EXPECT_NE(verified.output.find("Signed Product 1.0"), std::string::npos) << "the description is the title";

    Bytes plain = readFile(root + "/plain.exe"), file = readFile(root + "/setup.exe");
    ASSERT_GT(file.size(), plain.size());
    uint32_t pe = peOffset(file);
    EXPECT_EQ(loadU32(&file[pe + peSecurityEntryAt]), plain.size()) << "the table starts right behind the package";
    EXPECT_EQ(loadU32(&file[pe + peSecurityEntryAt + 4]), file.size() - plain.size());
    // osslsigncode writes the signed file's PE CheckSum itself: the builder's algorithm agrees.
    EXPECT_EQ(loadU32(&file[pe + peCheckSumAt]), peCheckSumOf(file, pe + peCheckSumAt));
    // Apart from the two fields the unsigned file is the signed one's start.
    Bytes start(file.begin(), file.begin() + static_cast<long>(plain.size()));
    for (uint32_t at : {pe + peCheckSumAt, pe + peSecurityEntryAt, pe + peSecurityEntryAt + 4})
        std::memcpy(&start[at], &plain[at], 4);
    EXPECT_EQ(start, plain);
    EXPECT_EQ(stubTolerantSum(file, static_cast<DWORD>(plain.size())), loadU32(&file[dosFileChecksumAt]));

    CommandResult inspected = shell(std::string(VELKORIN_PACK_EXE) + " inspect " + root + "/setup.exe");
    EXPECT_EQ(inspected.code, 0) << inspected.output;
    EXPECT_NE(inspected.output.find("right behind the package"), std::string::npos) << inspected.output;
    EXPECT_NE(inspected.output.find("checksum: ok"), std::string::npos) << inspected.output;

    // A changed byte of the package is still seen, by the stub's sum and by inspect.
    Bytes changed = file;
    changed[plain.size() - 100] ^= 0x01;
    EXPECT_NE(stubTolerantSum(changed, static_cast<DWORD>(plain.size())), loadU32(&file[dosFileChecksumAt]));
    writeFile(root + "/changed.exe", changed);
    CommandResult refused = shell(std::string(VELKORIN_PACK_EXE) + " inspect " + root + "/changed.exe");
    EXPECT_EQ(refused.code, 1) << refused.output;
    EXPECT_NE(refused.output.find("checksum: MISMATCH"), std::string::npos) << refused.output;
}

TEST_F(Signing, CertificateAndKeyWithAPasswordFileAndWithout) {
    if (!makeCertificate()) GTEST_SKIP() << "openssl or osslsigncode is not installed";
    CommandResult pair = pack("-o " + root + "/pair.exe -q --sign --certificate " + root + "/cert.pem --key " + root +
                              "/key.pem");
    EXPECT_EQ(pair.code, 0) << pair.output;
    CommandResult withFile = pack("-o " + root + "/p12.exe -q --sign --pkcs12 " + root + "/cert.p12 --password-file " +
                                  root + "/password.txt");
    EXPECT_EQ(withFile.code, 0) << withFile.output;
    for (const char* name : {"pair.exe", "p12.exe"}) {
        CommandResult verified = shell("osslsigncode verify -CAfile " + root + "/cert.pem -in " + root + "/" + name);
        EXPECT_EQ(verified.code, 0) << name << ": " << verified.output;
    }
    // A wrong password: the tool's refusal is reported and nothing is left behind.
    writeFile(root + "/wrong.txt", Bytes{'n', 'o', '\n'});
    CommandResult wrong = pack("-o " + root + "/wrong.exe -q --sign --pkcs12 " + root + "/cert.p12 --password-file " +
                               root + "/wrong.txt");
    EXPECT_EQ(wrong.code, 1) << wrong.output;
    EXPECT_NE(wrong.output.find("osslsigncode failed"), std::string::npos) << wrong.output;
    EXPECT_EQ(shell("ls " + root + " | grep -c wrong.exe").output, "0\n") << "no output and no temporary file";
}

TEST_F(Signing, WithASourceDateTheSignedFileIsTheSameOnEveryBuild) {
    if (!makeCertificate()) GTEST_SKIP() << "openssl or osslsigncode is not installed";
    std::string sign = " -q --sign --certificate " + root + "/cert.pem --key " + root + "/key.pem";
    setenv("SOURCE_DATE_EPOCH", "1765000000", 1);
    CommandResult first = pack("-o " + root + "/one.exe -j1" + sign), second = pack("-o " + root + "/two.exe -j2" + sign);
    unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(first.code, 0) << first.output;
    ASSERT_EQ(second.code, 0) << second.output;
    Bytes one = readFile(root + "/one.exe"), two = readFile(root + "/two.exe");
    EXPECT_GT(one.size(), 0u);
    EXPECT_EQ(one, two) << "signing time, thread count or anything else changed the bytes";
}

TEST_F(Signing, IncompleteSigningOptionsAreRefusedBeforeBuilding) {
    struct Case {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"--sign", "velkorin-pack: --sign needs --certificate and --key, or --pkcs12\n"},
        {"--sign --certificate c.pem", "velkorin-pack: --sign needs --certificate and --key, or --pkcs12\n"},
        {"--sign --pkcs12 x.p12 --key k.pem",
         "velkorin-pack: --sign: give --certificate and --key, or --pkcs12, not both\n"},
        {"--sign --pkcs12 x.p12 --password-file a --password-env B",
         "velkorin-pack: --sign: give --password-file or --password-env, not both\n"},
        {"--sign --pkcs12 /nonexistent.p12", "velkorin-pack: /nonexistent.p12: cannot open\n"},
        {"--sign --pkcs12 /etc/hostname --signer /nonexistent/osslsigncode",
         "velkorin-pack: --sign: the signing tool /nonexistent/osslsigncode was not found (install osslsigncode, or "
         "name it with --signer)\n"},
    };
    for (const Case& c : cases) {
        CommandResult result = pack("-o " + root + "/setup.exe " + c.arguments);
        EXPECT_EQ(result.code, 1) << c.arguments;
        EXPECT_EQ(result.output, c.message) << c.arguments;
    }
    EXPECT_NE(shell("test -e " + root + "/setup.exe").code, 0) << "nothing is written";
}

TEST(SyncStreamPadding, EmptyStoredBlocksBringTheEndToEveryBoundaryAndInflateToNothing) {
    Bytes input(3000);
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(i * i);
    Bytes stream;
    ASSERT_TRUE(deflateSync(input.data(), input.size(), &stream));
    for (uint64_t end = 1000; end < 1008; ++end) {
        Bytes padded = stream;
        padSyncStream(&padded, end, 8);
        uint64_t added = padded.size() - stream.size();
        EXPECT_EQ((end + added) % 8, 0u) << end;
        EXPECT_LE(added, 35u);
        Bytes out;
        EXPECT_TRUE(inflateSync(padded.data(), padded.size(), input.size() + 10, &out)) << end;
        EXPECT_EQ(out, input) << end;
    }
}

TEST(PeCheckSumPieces, ThePiecesGiveTheSumOfTheWhole) {
    Bytes file(10001);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 31 + 7);
    uint32_t whole = peCheckSumOf(file, 216);
    for (size_t piece : {1, 3, 4096, 5001}) {
        PeCheckSum sum(216);
        for (size_t at = 0; at < file.size(); at += piece) sum.update(&file[at], std::min(piece, file.size() - at));
        EXPECT_EQ(sum.value(), whole) << piece;
    }
    Bytes changed = file;
    changed[216] ^= 0xFF;  // the field itself is left out
    EXPECT_EQ(peCheckSumOf(changed, 216), whole);
    changed[220] ^= 0x01;
    EXPECT_NE(peCheckSumOf(changed, 216), whole);
}

}  // namespace
#endif
