// driver_windows.cpp -- finding and reading another process's windows for the e2e driver.
#include "driver_windows.h"

#include <stdio.h>
#include <string.h>

static const DWORD pollInterval = 10;
// How long a text read waits for the other process. Generous, and without SMTO_ABORTIFHUNG: on a
// loaded machine under emulation a program may not look at its queue for seconds (a box whose
// texts read as empty was seen so), and a slow answer is still the right answer.
static const UINT messageTimeout = 20000;

HWND findDialog(const char* caption) {
    const char* wanted = strcmp(caption, "*") == 0 ? nullptr : caption;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", wanted)) != nullptr)
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

// A message box holds its text in static 65535 and has nothing but statics and buttons; a
// program's own window of the same caption may hold a static of id 65535 (-1) as well, next to
// progress bars, lists or pages.
static bool isMessageBox(HWND window) {
    if (!GetDlgItem(window, 0xFFFF)) return false;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64];
        windowClass(child, name, sizeof(name));
        if (lstrcmpiA(name, "Static") != 0 && lstrcmpiA(name, "Button") != 0) return false;
    }
    return true;
}

HWND findMessageBox(const char* caption) {
    const char* wanted = strcmp(caption, "*") == 0 ? nullptr : caption;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", wanted)) != nullptr)
        if (IsWindowVisible(window) && isMessageBox(window)) return window;
    return nullptr;
}

HWND findPage(HWND dialog) {
    HWND page = nullptr;
    while ((page = FindWindowExA(dialog, page, "#32770", nullptr)) != nullptr)
        if (IsWindowVisible(page)) return page;
    return nullptr;
}

struct ControlSearch {
    int id;
    HWND visible;
    HWND hidden;
};

static BOOL CALLBACK matchControl(HWND window, LPARAM context) {
    ControlSearch* search = reinterpret_cast<ControlSearch*>(context);
    if (GetDlgCtrlID(window) != search->id) return TRUE;
    if (IsWindowVisible(window)) {
        search->visible = window;
        return FALSE;
    }
    if (!search->hidden) search->hidden = window;
    return TRUE;
}

HWND findControl(HWND dialog, int id) {
    ControlSearch search = {id, nullptr, nullptr};
    EnumChildWindows(dialog, matchControl, reinterpret_cast<LPARAM>(&search));
    return search.visible ? search.visible : search.hidden;
}

HWND waitForDialog(const char* caption, DWORD timeout) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND dialog = findDialog(caption);
        if (dialog || GetTickCount() - start >= timeout) return dialog;
        Sleep(pollInterval);
    }
}

HWND waitForControl(HWND dialog, int id, DWORD timeout) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND control = findControl(dialog, id);
        if (control || !IsWindow(dialog) || GetTickCount() - start >= timeout) return control;
        Sleep(pollInterval);
    }
}

void windowText(HWND window, char* text, int size) {
    text[0] = 0;
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                             messageTimeout, &copied))
        text[0] = 0;
    text[size - 1] = 0;
}

void windowClass(HWND window, char* name, int size) {
    if (!GetClassNameA(window, name, size)) name[0] = 0;
}

bool isComboBox(HWND control) {
    char name[64];
    windowClass(control, name, sizeof(name));
    return lstrcmpiA(name, "ComboBox") == 0;
}

static bool isListBox(HWND control) {
    char name[64];
    windowClass(control, name, sizeof(name));
    return lstrcmpiA(name, "ListBox") == 0;
}

int listItemCount(HWND control) {
    if (isComboBox(control)) return static_cast<int>(SendMessageA(control, CB_GETCOUNT, 0, 0));
    if (isListBox(control)) return static_cast<int>(SendMessageA(control, LB_GETCOUNT, 0, 0));
    return -1;
}

bool listItemText(HWND control, int index, char* text, int size) {
    bool combo = isComboBox(control);
    LRESULT length = SendMessageW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
    if (length < 0) return false;
    WCHAR* wide = static_cast<WCHAR*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (length + 1) * sizeof(WCHAR)));
    if (!wide) return false;
    SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide));
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, text, size, nullptr, nullptr)) text[0] = 0;
    text[size - 1] = 0;
    HeapFree(GetProcessHeap(), 0, wide);
    return true;
}

void printEscaped(const char* text) {
    for (const char* at = text; *at; ++at) {
        switch (*at) {
        case '\\': fputs("\\\\", stdout); break;
        case '\t': fputs("\\t", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        default: fputc(*at, stdout);
        }
    }
}
