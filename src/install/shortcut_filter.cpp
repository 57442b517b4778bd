// shortcut_filter.cpp -- the user's shortcut choices applied to a record's raw text.
#include "install/shortcuts.h"
#include "script/setup_state.h"
#include "script/text_tools.h"

bool shortcutFilteredOut(const char* text) {
    if (!state.createGroupShortcuts && findText(text, "%ShortcutsGroup%", -1, false)) return true;
    if (!state.createDesktopShortcuts &&
        (findText(text, "<Desktop>", -1, false) || findText(text, "<CommonDesktop>", -1, false)))
        return true;
    return !state.createQuickLaunchShortcuts && findText(text, "<QuickLaunch>", -1, false);
}
