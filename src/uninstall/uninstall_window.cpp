// uninstall_window.cpp -- the uninstaller window's own behaviour: it starts the removal worker,
// stops or closes on Cancel, Enter and Esc, and lets the user tick and delete leftovers.
#include "uninstall/uninstall_window.h"

#include "format/package_format.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "ui/messages.h"
#include "uninstall/leftover_tree.h"
#include "uninstall/removal_worker.h"

constexpr WORD selectAllButton = 1010;
constexpr WORD deleteButton = 1011;
constexpr WORD cancelButton = 1012;
constexpr WORD treeControl = 1026;
constexpr DWORD uninstallPage = 12;

static const char* pageText(int item) {
    const char* t = text(uninstallPage, item);
    return t ? t : "";
}

void setUpUninstallWindow(HWND window) {
    SetWindowTextA(window, pageText(0));
    const char* cancel = text(tableButtons, 8);
    SetDlgItemTextA(window, cancelButton, cancel ? cancel : "Cancel");
    SetDlgItemTextA(window, selectAllButton, "Select &all");
    SetDlgItemTextA(window, deleteButton, "&Delete");
    state.workerThread = CreateThread(nullptr, 0, removalWorker, window, 0, &state.workerThreadId);
}

// Waits for the worker to end while delivering what it sends to the window's controls.
static void waitForWorker() {
    HANDLE worker = state.workerThread;
    while (worker && MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
}

// After the removal ran to its end the window closes; before, only when the user agrees to stop,
// and then the pending restart deletions are dropped (what was removed stays removed).
static void stopOrClose(HWND window) {
    ResetEvent(state.resumeEvent);
    if (WaitForSingleObject(state.uninstallDoneEvent, 0) != WAIT_OBJECT_0) {
        int answer = showMessage(window, pageText(0),
                                 "The uninstall procedure is not complete. \nIf you quit now, the program will not be "
                                 "uninstalled properly. \n\nAre you sure you want to quit?",
                                 nullptr, nullptr, nullptr, MB_YESNO | MB_ICONWARNING);
        if (answer != IDYES) {
            SetEvent(state.resumeEvent);
            return;
        }
        PostThreadMessageA(state.workerThreadId, WM_QUIT, 0, 0);
        SetEvent(state.resumeEvent);
        waitForWorker();
        listClear(&state.rebootDeletePaths);
    } else {
        SetEvent(state.resumeEvent);
        waitForWorker();
    }
    EndDialog(window, 0);
}

static HWND treeOf(HWND window) { return GetDlgItem(window, treeControl); }

static void enableDelete(HWND window, bool enable) { EnableWindow(GetDlgItem(window, deleteButton), enable); }

static void selectAll(HWND window) {
    HWND tree = treeOf(window);
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    tickDescendants(tree, TVI_ROOT, false);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    enableDelete(window, true);
}

static void deleteSelected(HWND window) {
    if (showMessage(window, "Confirm Operation", "Are you sure you want to delete all selected files and folders?",
                    nullptr, nullptr, nullptr, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    deleteTicked(treeOf(window), TVI_ROOT);
    enableDelete(window, false);
}

bool uninstallWindowCommand(HWND window, WORD id, WORD) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
    case cancelButton: stopOrClose(window); return true;
    case selectAllButton: selectAll(window); return true;
    case deleteButton: deleteSelected(window); return true;
    default: return false;
    }
}

static HTREEITEM parentItem(HWND tree, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
}

// A folder opened for the first time reads its content in place of the placeholder child.
static void onExpanding(HWND tree, const NMTREEVIEWA* change) {
    // The notification comes before the change: the item does not show as expanded yet.
    if ((change->action & (TVE_EXPAND | TVE_COLLAPSE)) != TVE_EXPAND) return;
    HTREEITEM first = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(change->itemNew.hItem)));
    char firstText[2];
    if (first) getItemText(tree, first, firstText, sizeof(firstText));
    if (first && !firstText[0]) fillFolderItem(tree, change->itemNew.hItem, true);
}

// A click on a check box, before the control changes it: clearing clears the ancestors (and an
// unread folder's first child); ticking ticks everything below. Delete follows what is ticked.
static void onClick(HWND window, HWND tree) {
    TVHITTESTINFO hit = {};
    DWORD position = GetMessagePos();
    hit.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ScreenToClient(tree, &hit.pt);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!item || !(hit.flags & TVHT_ONITEMSTATEICON)) return;
    if (isItemTicked(tree, item)) {
        for (HTREEITEM up = parentItem(tree, item); up; up = parentItem(tree, up)) setItemTicked(tree, up, false);
        UINT itemState = static_cast<UINT>(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED));
        HTREEITEM first = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        if (!(itemState & TVIS_EXPANDED) && first) setItemTicked(tree, first, false);
        if (!anyTickedExcept(tree, TVI_ROOT, item)) enableDelete(window, false);
    } else {
        tickDescendants(tree, item, false);
        enableDelete(window, true);
    }
}

INT_PTR uninstallWindowNotify(HWND window, const NMHDR* header) {
    if (header->idFrom != treeControl) return 0;
    HWND tree = header->hwndFrom;
    bool expanding = header->code == TVN_ITEMEXPANDINGA || header->code == TVN_ITEMEXPANDINGW;
    if (!expanding && header->code != NM_CLICK) return 0;
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    if (expanding) onExpanding(tree, reinterpret_cast<const NMTREEVIEWA*>(header));
    else onClick(window, tree);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    return 0;
}
