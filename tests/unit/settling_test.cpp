// Settling the variables before the installation, and the user's shortcut choices.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include "install/shortcuts.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/pointer_array.h"

namespace {
class Settling : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
    }
    void TearDown() override {
        closeFreshState();
    }
    void define(const char* name, const char* value) {
        listAppend(&state.variableNames, name);
        listAppend(&state.variableValues, value);
    }
};

TEST_F(Settling, ValuesReferringToEarlierVariablesAreResolved) {
    define("%ShortcutsGroup%", "Demo");
    define("%ShortcutsFolder%", "<Programs>\\%SHORTCUTSGROUP%");
    define("%Docs%", "%ShortcutsFolder%\\Docs");
    settleVariables();
    EXPECT_STREQ(lookupVariable("%ShortcutsFolder%"), "<Programs>\\Demo");
    EXPECT_STREQ(lookupVariable("%Docs%"), "<Programs>\\Demo\\Docs");
}

TEST_F(Settling, ASelfReferenceEndsAfterBoundedPasses) {
    define("%Loop%", "x%Loop%");
    define("%Other%", "plain");
    settleVariables();  // must return
    std::string value = lookupVariable("%Loop%");
    EXPECT_EQ(value.rfind("x", 0), 0u);
    EXPECT_NE(value.find("%Loop%"), std::string::npos) << "a cycle cannot settle; it is left as it stands";
    EXPECT_LE(value.size(), 20u) << "the number of passes is bounded by the number of variables";
    EXPECT_STREQ(lookupVariable("%Other%"), "plain");
}

TEST_F(Settling, ShortcutChoicesFilterTheRawRecord) {
    state.createGroupShortcuts = state.createDesktopShortcuts = state.createQuickLaunchShortcuts = true;
    EXPECT_FALSE(shortcutFilteredOut("<Programs>\\%ShortcutsGroup%\\App.lnk,%InstallPath%\\app.exe"));
    state.createGroupShortcuts = false;
    EXPECT_TRUE(shortcutFilteredOut("<Programs>\\%SHORTCUTSGROUP%\\App.lnk,x"));
    state.createDesktopShortcuts = false;
    EXPECT_TRUE(shortcutFilteredOut("<desktop>\\App.lnk,x"));
    EXPECT_TRUE(shortcutFilteredOut("<CommonDesktop>\\App.lnk,x"));
    EXPECT_FALSE(shortcutFilteredOut("<QuickLaunch>\\App.lnk,x"));
    state.createQuickLaunchShortcuts = false;
    EXPECT_TRUE(shortcutFilteredOut("<QuickLaunch>\\App.lnk,x"));
    EXPECT_FALSE(shortcutFilteredOut("<StartMenu>\\App.lnk,x"));
}
}  // namespace
