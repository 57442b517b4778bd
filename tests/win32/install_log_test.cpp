// The install log's duplicate test with the system's own upper-casing of the ANSI code page.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <string>

#include "install/install_log.h"

namespace {
class SystemInstallLog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(openFreshState()); }
    void TearDown() override { closeFreshState(); }
};

char systemUpper(unsigned char c) {
    return static_cast<char>(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(c)))));
}

TEST_F(SystemInstallLog, LettersAboveAsciiAreOneLineInEitherCase) {
    ASSERT_EQ(GetACP(), 1252u) << "the lines below are letters of the Western code page";
    ASSERT_EQ(systemUpper(0xE4), '\xC4');
    EXPECT_STREQ(recordLogLine("b", "C:\\App\\\xE4rger.txt", false), "b,C:\\App\\\xE4rger.txt\n");
    EXPECT_EQ(recordLogLine("B", "c:\\APP\\\xC4RGER.TXT", false), nullptr);
    EXPECT_STREQ(recordLogLine("b", "C:\\App\\\xE5rger.txt", false), "b,C:\\App\\\xE5rger.txt\n");
    EXPECT_EQ(listCount(&state.logLines), 2);
}

TEST_F(SystemInstallLog, ThousandsOfLinesEachOnce) {
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 3000; ++i) {
            std::string path = std::string(pass ? "C:\\PROGRAM FILES\\\xC9T\xC9\\F" : "C:\\Program Files\\\xE9t\xE9\\f") +
                               std::to_string(i);
            const char* line = recordLogLine("b", path.c_str(), false);
            if (pass) ASSERT_EQ(line, nullptr) << path;
            else ASSERT_NE(line, nullptr) << path;
        }
    EXPECT_EQ(listCount(&state.logLines), 3000);
    EXPECT_STREQ(listAt(&state.logLines, 2999), "b,C:\\Program Files\\\xE9t\xE9\\f2999\n");
}
}  // namespace
