// Install-log lines: one of each, special folders never, and the header's look line.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <cstring>
#include <string>

#include "install/install_log.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"

namespace {
class InstallLog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        listAppend(&state.folderPaths, "C:\\Program Files");
        listAppend(&state.folderPaths, "C:\\users\\Public\\Desktop");
    }
    void TearDown() override {
        closeFreshState();
    }
    std::string lines() {
        std::string all;
        for (int i = 0; i < listCount(&state.logLines); ++i) all += listAt(&state.logLines, i);
        return all;
    }
};

TEST_F(InstallLog, EveryLineOccursOnceIgnoringCase) {
    EXPECT_STREQ(recordLogLine("a", "C:\\Program Files\\App", true), "a,C:\\Program Files\\App\n");
    EXPECT_EQ(recordLogLine("a", "c:\\PROGRAM FILES\\app", true), nullptr);
    EXPECT_STREQ(recordLogLine("b", "C:\\Program Files\\App", false), "b,C:\\Program Files\\App\n")
        << "another kind is another line";
    EXPECT_STREQ(recordLogLine("e,2", "Software\\Vendor", false), "e,2,Software\\Vendor\n");
    EXPECT_EQ(recordLogLine("E,2", "software\\vendor", false), nullptr);
    EXPECT_EQ(lines(), "a,C:\\Program Files\\App\nb,C:\\Program Files\\App\ne,2,Software\\Vendor\n");
}

TEST_F(InstallLog, SpecialFoldersAreNeverListedForRemoval) {
    EXPECT_EQ(recordLogLine("a", "c:\\program files", true), nullptr);
    EXPECT_EQ(recordLogLine("a", "C:\\users\\Public\\Desktop", true), nullptr);
    EXPECT_STREQ(recordLogLine("a", "C:\\Program Files", false), "a,C:\\Program Files\n")
        << "only where the caller asks to skip them";
    EXPECT_STREQ(recordLogLine("a", "C:\\Program Files\\Sub", true), "a,C:\\Program Files\\Sub\n");
}

TEST_F(InstallLog, LineWithoutText) {
    EXPECT_STREQ(recordLogLine("=== Velkorin log file ===", nullptr, false), "=== Velkorin log file ===\n");
}

TEST_F(InstallLog, LookLineCarriesDialogSetColoursAndFonts) {
    char line[256];
    formatLogLook(line);
    EXPECT_STREQ(line, "0,0xC88C00,0x0,0x1000000,0x0,MS Sans Serif,0x0,MS Sans Serif,0x0");
    state.dialogIdBase = 20;
    state.headerColor = 0x00FFFFFF;
    std::strcpy(state.titleFontFace, "Tahoma");
    state.textColor = 0x00123456;
    formatLogLook(line);
    EXPECT_STREQ(line, "1,0xC88C00,0xFFFFFF,0x1000000,0x0,Tahoma,0x0,MS Sans Serif,0x123456");
}
}  // namespace
