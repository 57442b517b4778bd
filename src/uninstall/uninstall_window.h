// uninstall_window.h -- the uninstaller window's own behaviour (page type 141), called by the
// shared page procedure.
#pragma once
#include "support/platform.h"

// Sets up the uninstaller window after its texts are loaded (creation of page type 141).
void setUpUninstallWindow(HWND window);
// Handles a WM_COMMAND of the uninstaller window; true when handled.
bool uninstallWindowCommand(HWND window, WORD id, WORD code);
// Handles a WM_NOTIFY of the uninstaller window.
INT_PTR uninstallWindowNotify(HWND window, const NMHDR* header);
