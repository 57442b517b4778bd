// shortcuts.h -- shell links (".lnk" files) in the program group, on the Desktop and in Quick
// Launch, created from the script's shortcut records.
#pragma once
#include "support/platform.h"

struct ShortcutRequest {
    const char* linkPath;
    const char* target;
    const char* arguments;
    const char* workingFolder;
    const char* iconFile;     // empty: no icon set
    int iconIndex;
    int showCommand;          // 0: not set
    WORD hotKey;              // 0: not set
};

// Creates (or overwrites) the link; COM must be initialised on the thread. False on failure.
bool createShortcut(const ShortcutRequest& request);
// Whether the user's choices on the shortcut page drop this record (tested on the raw text).
bool shortcutFilteredOut(const char* recordText);
// The shortcut step of the worker: every record that passes the filter, with its folder chain,
// its link and its log line. False when the user chose to abort.
bool createShortcuts(HWND page);
