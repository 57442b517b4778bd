// wizard_pages.cpp -- language, welcome, licence, readme, ready, installing and finish pages;
// the folder pages are in folder_pages.cpp.
#include "ui/wizard_pages.h"

#include "install/install_worker.h"
#include "resources/ids.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "ui/folder_pages.h"
#include "ui/page_procedure.h"

static HWND control(HWND page, int id) { return GetDlgItem(page, id); }

// Lists the offered languages by name, each with its number as item data, and selects the
// last entry of the current language (the list is sorted).
static void setUpLanguagePage(HWND page) {
    HWND list = control(page, IDC_CHOICE_LIST);
    SetFocus(list);
    for (int i = 0; i < state.languageCount; ++i) {
        WORD id = offeredLanguage(i);
        const char* name = listAt(&state.languageNames, id);
        LRESULT entry = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name ? name : ""));
        if (entry >= 0) SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(entry), id);
    }
    int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (LOWORD(SendMessageA(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == state.languageId)
            state.languageIndex = i;
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(state.languageIndex), 0);
}

// A new choice changes the language and reloads every text of the page, the frame's included.
static void languageChosen(HWND page) {
    HWND list = control(page, IDC_CHOICE_LIST);
    int chosen = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
    if (chosen < 0 || chosen == state.languageIndex) return;
    state.languageIndex = chosen;
    state.languageId = LOWORD(SendMessageA(list, CB_GETITEMDATA, static_cast<WPARAM>(chosen), 0));
    SendMessageA(page, UM_RELOAD_TEXTS, 0, state.pageSlot);
}

static void showControl(HWND page, int id, bool checked) {
    if (checked) CheckDlgButton(page, id, BST_CHECKED);
    ShowWindow(control(page, id), SW_SHOW);
}

// Restart pending: the restart box and its note instead of the offers; otherwise the offers,
// the program box taking the readme box's place when there is no readme offer.
static void setUpFinishPage(HWND page) {
    int slot = state.pageSlot;
    if (!state.installOk) ShowWindow(control(page, IDC_TEXT7), SW_SHOW);
    if (state.rebootRequired) {
        const char* note = text(static_cast<DWORD>(slot), state.rebootForFilesInUse ? 9 : 10);
        if (note) SetDlgItemTextA(page, IDC_TEXT3, note);
        showControl(page, IDC_TEXT6, true);
        showControl(page, IDC_TEXT8, false);
        return;
    }
    showControl(page, IDC_TEXT3, false);
    if (state.openFinishReadme) showControl(page, IDC_TEXT5, true);
    else {
        RECT upper;
        HWND readmeBox = control(page, IDC_TEXT5);
        GetWindowRect(readmeBox, &upper);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&upper), 2);
        MoveWindow(control(page, IDC_TEXT4), upper.left, upper.top, upper.right - upper.left, upper.bottom - upper.top,
                   FALSE);
    }
    if (state.launchFinishProgram) showControl(page, IDC_TEXT4, true);
}

// The installing page starts the worker, which reports into this page's controls.
static void setUpInstallingPage(HWND page) {
    SetDlgItemTextA(page, IDC_TEXT5, "");
    state.workerThread = CreateThread(nullptr, 0, installWorker, page, 0, &state.workerThreadId);
}

static WNDPROC richEditProcedure;

// The licence and readme texts are read-only: Tab leaves them for the next control (the rich
// edit asks for Tab and kept the focus).
static LRESULT CALLBACK readOnlyTextProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(richEditProcedure, edit, message, wParam, lParam);
    if (message == WM_GETDLGCODE && wParam == VK_TAB) result &= ~(DLGC_WANTTAB | DLGC_WANTALLKEYS);
    return result;
}

static void setRichText(HWND page, const char* text) {
    HWND edit = GetDlgItem(page, IDC_RICH_TEXT);
    richEditProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongA(edit, GWL_WNDPROC, reinterpret_cast<LONG>(readOnlyTextProcedure)));
    if (text) SetWindowTextA(edit, text);
}

void setUpPage(HWND page) {
    switch (state.pageType) {
    case IDD_PAGE_LANGUAGE: setUpLanguagePage(page); break;
    case IDD_PAGE_WELCOME: {
        const char* shortTitle = text(static_cast<DWORD>(state.pageSlot), 7);
        if (state.dialogIdBase && shortTitle) SetDlgItemTextA(page, IDC_TITLE, shortTitle);
        break;
    }
    case IDD_PAGE_LICENSE: setRichText(page, state.licenseText); break;
    case IDD_PAGE_README: setRichText(page, state.readmeText); break;
    case IDD_PAGE_DESTINATION: setUpDestinationPage(page); break;
    case IDD_PAGE_START_MENU: setUpStartMenuPage(page); break;
    case IDD_PAGE_INSTALLING: setUpInstallingPage(page); break;
    case IDD_PAGE_FINISH: setUpFinishPage(page); break;
    }
}

bool pageCommand(HWND page, WORD id, WORD code) {
    switch (state.pageType) {
    case IDD_PAGE_LANGUAGE:
        if (id == IDC_CHOICE_LIST && code == CBN_SELCHANGE) languageChosen(page);
        return true;
    case IDD_PAGE_DESTINATION:
        if (id == IDC_FOLDER_EDIT && code == EN_CHANGE) destinationEditChanged(page);
        if (id == IDC_BROWSE && code == BN_CLICKED) browseDestination(page);
        return true;
    case IDD_PAGE_START_MENU: return startMenuCommand(page, id, code);
    default: return false;
    }
}

static bool checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void storePage(HWND page) {
    switch (state.pageType) {
    case IDD_PAGE_DESTINATION: storeDestination(page); break;
    case IDD_PAGE_START_MENU: storeStartMenu(page); break;
    case IDD_PAGE_FINISH:
        state.restartAtEnd = checked(page, IDC_TEXT6);
        state.openFinishReadme = checked(page, IDC_TEXT5);
        state.launchFinishProgram = checked(page, IDC_TEXT4);
        break;
    }
}
