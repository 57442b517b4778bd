// wizard_frame.cpp -- the frame dialog: one page at a time from the enabled slots, Next with the
// slots' after-page actions, Back, Cancel, the worker's end, footer painting and the maker link.
#include "ui/wizard_frame.h"

#include "install/install_worker.h"
#include "install/launches.h"
#include "resources/ids.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "system/file_system.h"
#include "uninstall/uninstaller.h"
#include "ui/dialog_templates.h"
#include "ui/messages.h"
#include "ui/page_painting.h"
#include "ui/page_procedure.h"

constexpr int lastSlot = 11;
constexpr int finishedSlot = 12;  // wizardEventPage after the finish page was closed
static const char makerSite[] = "https://velkorin.example/";

// The page comes first in the frame's tab order, before Back, Next and Cancel.
static void createPage(HWND frame, int slot) {
    state.pageDialog = createWizardDialog(state.pages[slot].dialogId, frame, pageProcedure, slot);
    SetWindowPos(state.pageDialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

static void replacePage(HWND frame, int slot) {
    DestroyWindow(state.pageDialog);
    createPage(frame, slot);
}

static void closeWizard(HWND frame) {
    DestroyWindow(state.pageDialog);
    state.pageDialog = nullptr;
    DestroyWindow(frame);
}

static int nextEnabled(int slot) {
    do ++slot;
    while (slot <= lastSlot && !state.pages[slot].enabled);
    return slot;
}

static int previousEnabled(int slot) {
    do --slot;
    while (slot >= 0 && !state.pages[slot].enabled);
    return slot;
}

static void showButton(HWND frame, int id, bool shown) {
    HWND button = GetDlgItem(frame, id);
    ShowWindow(button, shown ? SW_SHOW : SW_HIDE);
    EnableWindow(button, shown);
}

static void goNext(HWND frame) {
    if (state.pageType == IDD_PAGE_DESTINATION && !destinationAccepted(frame)) return;
    int left = state.previousPage = state.currentPage;
    int next = nextEnabled(left);
    if (next > lastSlot) {
        state.wizardEventPage = left;
        closeWizard(frame);
        return;
    }
    for (int slot = left; slot < next; ++slot)
        runActionLists(&state.pages[slot].launchesAfter, &state.pages[slot].dllCallsAfter);
    state.currentPage = next;
    replacePage(frame, next);
    bool working = state.pageType >= IDD_PAGE_INSTALLING;
    showButton(frame, IDC_BACK, !working);
    if (!working) return;
    showButton(frame, IDC_NEXT, false);
    // Enter does nothing from here on; on a focused push button (Cancel, later Finish) the
    // dialog manager would turn it into that button's click, so the page takes the focus.
    SetFocus(state.pageDialog);
}

static void goBack(HWND frame) {
    if (state.previousPage < 0) return;
    state.currentPage = state.previousPage;
    state.previousPage = previousEnabled(state.currentPage);
    if (state.previousPage < 0) showButton(frame, IDC_BACK, false);
    replacePage(frame, state.currentPage);
}

void waitForWorker() {
    HANDLE thread = state.workerThread;
    if (!thread) return;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // delivers the messages sent to this thread
    }
}

static bool workerRunning() {
    return state.workerThreadId && WaitForSingleObject(state.installDoneEvent, 0) != WAIT_OBJECT_0;
}

// Asks the worker to stop; its queue may not exist in the first moments, so the request is
// repeated until it is taken or the thread has ended.
static void stopWorker() {
    while (!PostThreadMessageA(state.workerThreadId, WM_QUIT, 0, 0) &&
           WaitForSingleObject(state.workerThread, 10) == WAIT_TIMEOUT) {
    }
}

static bool confirmed(HWND frame, const char* question) {
    return showMessage(frame, state.setupCaption, question ? question : "", nullptr, nullptr, nullptr,
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Cancel holds the worker at its next check point while the question is open.
static void cancelWizard(HWND frame) {
    const char* question = text(tableMessages, state.pageType == IDD_PAGE_INSTALLING ? 8 : 0);
    ResetEvent(state.resumeEvent);
    if (workerRunning()) {
        bool stop = confirmed(frame, question);
        if (stop) stopWorker();
        SetEvent(state.resumeEvent);
        if (!stop) return;
        waitForWorker();
        runUninstaller(true);
        state.userCancelled = true;
        closeWizard(frame);
        return;
    }
    SetEvent(state.resumeEvent);
    waitForWorker();
    if (state.currentPage < lastSlot && !confirmed(frame, question)) return;
    if (state.currentPage == lastSlot) state.wizardEventPage = finishedSlot;
    else state.userCancelled = true;
    closeWizard(frame);
}

static INT_PTR onFrameCommand(HWND frame, WORD id) {
    switch (id) {
    case IDOK:
        if (state.pageType != IDD_PAGE_INSTALLING && state.pageType != IDD_PAGE_FINISH) goNext(frame);
        break;
    case IDC_NEXT: goNext(frame); break;
    case IDCANCEL:
    case IDC_CANCEL: cancelWizard(frame); break;
    case IDC_BACK: goBack(frame); break;
    }
    return TRUE;
}

static INT_PTR onFrameInit(HWND frame) {
    state.handCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND; Windows 95 has none
    if (state.showBackground)
        SetWindowLongA(frame, GWL_STYLE, GetWindowLongA(frame, GWL_STYLE) & ~WS_MINIMIZEBOX);
    else
        SetClassLongA(frame, GCL_HICON, reinterpret_cast<LONG>(LoadIconA(state.instance, MAKEINTRESOURCEA(IDI_SETUP))));
    static const WORD fontControls[] = {IDC_FOOTER_LABEL, IDC_FOOTER_LINE_LEFT, IDC_BACK, IDC_NEXT, IDC_CANCEL};
    for (WORD id : fontControls) SendDlgItemMessageA(frame, id, WM_SETFONT, reinterpret_cast<WPARAM>(state.textFont), FALSE);
    RECT client, line;
    GetClientRect(frame, &client);
    windowRectInParent(GetDlgItem(frame, IDC_FOOTER_LINE), &line);
    state.footerHeight = client.bottom - line.top;
    state.currentPage = nextEnabled(-1);
    if (state.currentPage <= lastSlot) createPage(frame, state.currentPage);
    return FALSE;
}

static INT_PTR onFrameErase(HWND frame, HDC dc) {
    paintFrameFooter(frame, dc);
    return TRUE;
}

// The footer label looks engraved: the footer colour with each channel at five sixths.
static INT_PTR onFrameColorStatic(HDC dc, HWND control) {
    COLORREF background = systemColor(state.frameColor);
    SetBkColor(dc, background);
    SetBkMode(dc, TRANSPARENT);
    if (GetDlgCtrlID(control) == IDC_FOOTER_LABEL) SetTextColor(dc, scaledColor(background, 5, 6));
    return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
}

static INT_PTR onFrameSystemCommand(WPARAM command) {
    WPARAM kind = command & 0xFFF0;
    if (kind == SC_SIZE || kind == SC_MAXIMIZE || kind == SC_KEYMENU) return TRUE;
    return kind == SC_MINIMIZE && state.showBackground;
}

// The maker link: the footer's left corner where the label sits.
static INT_PTR onFrameMouse(HWND frame, UINT message, LPARAM position) {
    if (state.hideMakerLink) return FALSE;
    RECT client;
    GetClientRect(frame, &client);
    int x = static_cast<short>(LOWORD(position)), y = static_cast<short>(HIWORD(position));
    if (x < 0 || x > 80 || y < client.bottom - state.footerHeight - 5 || y > client.bottom - 30) return FALSE;
    SetCursor(state.handCursor);
    if (message == WM_LBUTTONUP) ShellExecuteA(frame, "open", makerSite, nullptr, nullptr, SW_SHOW);
    return TRUE;
}

static INT_PTR onInstallAborted(HWND frame) {
    waitForWorker();
    closeWizard(frame);
    return TRUE;
}

INT_PTR CALLBACK frameProcedure(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return onFrameInit(frame);
    case WM_COMMAND: return onFrameCommand(frame, LOWORD(wParam));
    case WM_ERASEBKGND: return onFrameErase(frame, reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC: return onFrameColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOLORCHANGE: SendMessageA(state.pageDialog, WM_SYSCOLORCHANGE, wParam, lParam); return TRUE;
    case WM_SYSCOMMAND: return onFrameSystemCommand(wParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return onFrameMouse(frame, message, lParam);
    case UM_INSTALL_ABORTED: return onInstallAborted(frame);
    case WM_DESTROY: PostQuitMessage(0); return TRUE;
    default: return FALSE;
    }
}

HWND createWizardFrame() {
    return createWizardDialog(state.dialogIdBase + IDD_FRAME, state.ownerWindow, frameProcedure, 0);
}
