// driver_windows.h -- finding and reading another process's windows for the e2e driver.
#pragma once
#include <windows.h>

// ---- Finding windows ---------------------------------------------------------------------------
// A top-level dialog ("#32770") with this caption ("*": any caption), or null.
HWND findDialog(const char* caption);
// A top-level message box (a dialog holding the text static 65535 and only statics and buttons)
// with this caption, or null.
HWND findMessageBox(const char* caption);
// The visible child dialog (a wizard page) of the dialog, or null.
HWND findPage(HWND dialog);
// The control with this id anywhere below the dialog (pages are child dialogs); a visible one
// is preferred over a hidden one of the same id. Null when there is none.
HWND findControl(HWND dialog, int id);
// Polls for findDialog / findControl until the timeout (ms); null when nothing appeared.
HWND waitForDialog(const char* caption, DWORD timeout);
HWND waitForControl(HWND dialog, int id, DWORD timeout);

// ---- Reading windows ---------------------------------------------------------------------------
// The window's text through WM_GETTEXT (works across processes, also for edits).
void windowText(HWND window, char* text, int size);
// The window's class name.
void windowClass(HWND window, char* name, int size);
// Item INDEX of a list box or combo box, read with the W messages (the A ones come back as
// UTF-16 across processes under Wine) and converted to the ANSI code page. False past the end.
bool listItemText(HWND control, int index, char* text, int size);
// Number of items of a list box or combo box, or -1 when the control is neither.
int listItemCount(HWND control);
// True when the class is a combo box (else a list box is assumed by the list helpers).
bool isComboBox(HWND control);

// ---- Output ------------------------------------------------------------------------------------
// Writes the text with backslash, tab, carriage return and line feed escaped as \\ \t \r \n.
void printEscaped(const char* text);
