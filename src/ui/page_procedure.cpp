// page_procedure.cpp -- the shared page procedure: what every page does, whatever its type; the
// page types' own set-up, commands and stored values live in wizard_pages.cpp and folder_pages.cpp,
// those of the uninstaller window in the uninstaller's module.
#include "ui/page_procedure.h"

#include "resources/ids.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "system/file_system.h"
#include "ui/page_painting.h"
#include "ui/wizard_pages.h"
#include "uninstall/uninstall_window.h"

// Per slot, the buttonTexts item shown on Back, Next, Cancel and Browse; -1 keeps the caption.
static const signed char buttonCaptions[13][4] = {
    {0, 1, 2, -1}, {0, 1, 2, -1},   {0, 5, 6, -1},    {0, 1, 2, -1},    {-1, -1, -1, -1},
    {-1, -1, -1, -1}, {0, 1, 2, 7}, {-1, -1, -1, -1}, {0, 1, 2, -1},    {0, 3, 2, -1},
    {-1, -1, 2, -1}, {-1, -1, 8, -1}, {-1, -1, 8, -1},
};

void setExpandedText(HWND window, const char* text) {
    if (!window || !text) return;
    char* expanded = expandVariables(text);
    SetWindowTextA(window, expanded ? expanded : text);
    heapFree(expanded);
}

static void setControlFonts(HWND page) {
    SendDlgItemMessageA(page, IDC_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(state.titleFont), FALSE);
    static const WORD textControls[] = {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1013, 1018, 1019};
    for (WORD id : textControls)
        SendDlgItemMessageA(page, id, WM_SETFONT, reinterpret_cast<WPARAM>(state.textFont), FALSE);
}

static void measureHeader(HWND page) {
    RECT line;
    windowRectInParent(GetDlgItem(page, IDC_HEADER_LINE), &line);
    state.headerHeight = line.bottom;
}

static void loadButtonCaptions(HWND page, HWND frame, int slot) {
    for (int i = 0; i < 4; ++i) {
        int item = buttonCaptions[slot][i];
        const char* caption = item >= 0 ? text(tableButtons, item) : nullptr;
        if (!caption) continue;
        HWND button = GetDlgItem(frame, IDC_BACK + i);
        if (!button) button = GetDlgItem(page, IDC_BACK + i);
        if (button) SetWindowTextA(button, caption);
    }
}

void loadPageTexts(HWND page, int slot) {
    state.pageSlot = slot;
    state.pageType = state.pages[slot].dialogId - state.dialogIdBase;
    HWND frame = GetParent(page);
    const char* caption = text(static_cast<DWORD>(slot), 0);
    if (state.backgroundWindow && caption) SetWindowTextA(state.backgroundWindow, caption);
    if (state.pageType != IDD_UNINSTALL_WINDOW) {
        setExpandedText(frame, caption);
        loadButtonCaptions(page, frame, slot);
    }
    for (int i = 1; i <= 19; ++i) setExpandedText(GetDlgItem(page, IDC_PAGE_TEXT + i), text(static_cast<DWORD>(slot), i));
}

// Redraws the title, subtitle and first text with their background: their texts are transparent.
static void redrawHeaderTexts(HWND page) {
    for (int id = IDC_TITLE; id <= IDC_TEXT3; ++id) {
        HWND control = GetDlgItem(page, id);
        if (!control) continue;
        RECT area;
        windowRectInParent(control, &area);
        InvalidateRect(page, &area, TRUE);
    }
}

static INT_PTR onInitPage(HWND page, int slot) {
    setControlFonts(page);
    measureHeader(page);
    loadPageTexts(page, slot);
    if (state.pageType == IDD_UNINSTALL_WINDOW) setUpUninstallWindow(page);
    else setUpPage(page);
    return FALSE;
}

static INT_PTR onEraseBackground(HWND page, HDC dc) {
    paintPageBackground(page, dc);
    return TRUE;
}

// Check boxes and the group box cannot be drawn transparently: they get the page brush.
static bool opaqueControl(int id) {
    switch (state.pageType) {
    case IDD_PAGE_START_MENU: return id >= IDC_TEXT3 && id <= IDC_TEXT5;
    case IDD_PAGE_FINISH: return id >= IDC_TEXT4 && id <= IDC_TEXT6;
    case IDD_PAGE_DESTINATION: return id == IDC_TEXT3;
    default: return false;
    }
}

// The uninstaller window's footer label and line: the frame colour, each channel / 4 * 3.
static COLORREF footerTextColor() {
    COLORREF frame = systemColor(state.frameColor);
    return RGB((GetRValue(frame) >> 2) * 3, (GetGValue(frame) >> 2) * 3, (GetBValue(frame) >> 2) * 3);
}

static INT_PTR onColorStatic(HDC dc, HWND control) {
    int id = GetDlgCtrlID(control);
    if (id == IDC_FOLDER_EDIT || id == IDC_CHOICE_LIST) return FALSE;
    COLORREF color = state.textColor;
    if (id == IDC_TITLE) color = state.titleColor;
    else if (state.pageType == IDD_UNINSTALL_WINDOW && (id == IDC_TEXT5 || id == IDC_TEXT6))
        color = footerTextColor();
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ brush = opaqueControl(id) ? state.pageBrush : GetStockObject(HOLLOW_BRUSH);
    return reinterpret_cast<INT_PTR>(brush);
}

static INT_PTR onCommand(HWND page, WPARAM wParam, LPARAM lParam) {
    WORD id = LOWORD(wParam), code = HIWORD(wParam);
    if (state.pageType == IDD_UNINSTALL_WINDOW) return uninstallWindowCommand(page, id, code);
    if (id == IDOK || id == IDCANCEL) {
        SendMessageA(GetParent(page), WM_COMMAND, id == IDOK ? IDOK : IDC_CANCEL, lParam);
        return TRUE;
    }
    return pageCommand(page, id, code);
}

static INT_PTR onReloadTexts(HWND page, int slot) {
    loadPageTexts(page, slot);
    redrawHeaderTexts(page);
    return TRUE;
}

static void onDestroyPage(HWND page) {
    if (state.workerThread) CloseHandle(state.workerThread);
    state.workerThread = nullptr;
    UnrealizeObject(state.gradientPalette);
    storePage(page);
}

static bool swallowedSystemCommand(WPARAM command) {
    WPARAM kind = command & 0xFFF0;
    return kind == SC_SIZE || kind == SC_MAXIMIZE || kind == SC_KEYMENU;
}

INT_PTR CALLBACK pageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return onInitPage(page, static_cast<int>(lParam));
    case UM_RELOAD_TEXTS: return onReloadTexts(page, static_cast<int>(lParam));
    case WM_ERASEBKGND: return onEraseBackground(page, reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC: return onColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOLORCHANGE: recreateColorBrushes(); return TRUE;
    case WM_COMMAND: return onCommand(page, wParam, lParam);
    case WM_NOTIFY:
        if (state.pageType != IDD_UNINSTALL_WINDOW) return FALSE;
        return uninstallWindowNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_SYSCOMMAND: return swallowedSystemCommand(wParam);
    case WM_DESTROY: onDestroyPage(page); return TRUE;
    default: return FALSE;
    }
}
