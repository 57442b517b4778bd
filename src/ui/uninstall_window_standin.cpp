// uninstall_window_standin.cpp -- stands in for the uninstaller window's behaviour until that
// window is built: the window then only shows its texts.
#include "uninstall/uninstall_window.h"

void setUpUninstallWindow(HWND) {}

bool uninstallWindowCommand(HWND, WORD, WORD) { return false; }

INT_PTR uninstallWindowNotify(HWND, const NMHDR*) { return 0; }
