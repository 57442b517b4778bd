// driver_tree.cpp -- tree views of another process: TVM_GETITEM, TVM_GETITEMRECT and TVM_HITTEST
// need their records (and the text buffer) in the tree's own process, so they live in a block
// allocated there.
#include "driver_tree.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "driver_windows.h"

namespace {
struct RemoteBlock {
    HANDLE process = nullptr;
    BYTE* base = nullptr;
};
constexpr SIZE_T textSize = 1024;

bool openRemote(HWND tree, RemoteBlock* block) {
    DWORD processId = 0;
    GetWindowThreadProcessId(tree, &processId);
    block->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!block->process) return false;
    block->base = static_cast<BYTE*>(
        VirtualAllocEx(block->process, nullptr, sizeof(TVITEMA) + textSize, MEM_COMMIT, PAGE_READWRITE));
    return block->base != nullptr;
}

void closeRemote(RemoteBlock* block) {
    if (block->base) VirtualFreeEx(block->process, block->base, 0, MEM_RELEASE);
    if (block->process) CloseHandle(block->process);
}

// Text and state of one item, read in the tree's process.
bool readItem(HWND tree, const RemoteBlock& block, HTREEITEM item, char* text, UINT* state) {
    TVITEMA query = {};
    query.mask = TVIF_TEXT | TVIF_STATE;
    query.hItem = item;
    query.stateMask = TVIS_STATEIMAGEMASK;
    query.pszText = reinterpret_cast<char*>(block.base + sizeof(TVITEMA));
    query.cchTextMax = textSize;
    SIZE_T done = 0;
    if (!WriteProcessMemory(block.process, block.base, &query, sizeof(query), &done)) return false;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block.base))) return false;
    ReadProcessMemory(block.process, block.base, &query, sizeof(query), &done);
    ReadProcessMemory(block.process, block.base + sizeof(TVITEMA), text, textSize, &done);
    text[textSize - 1] = 0;
    *state = query.state;
    return true;
}

HTREEITEM next(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// Visits every item below first (and its siblings) depth first; stops when visit returns false.
template <typename Visit>
bool walk(HWND tree, HTREEITEM first, int depth, Visit visit) {
    for (HTREEITEM item = first; item; item = next(tree, item, TVGN_NEXT)) {
        if (!visit(item, depth)) return false;
        if (!walk(tree, next(tree, item, TVGN_CHILD), depth + 1, visit)) return false;
    }
    return true;
}
}  // namespace

int printTree(HWND tree) {
    printf("visible\t%d\n", IsWindowVisible(tree) ? 1 : 0);
    RemoteBlock block;
    if (!openRemote(tree, &block)) {
        closeRemote(&block);
        return 2;
    }
    walk(tree, next(tree, nullptr, TVGN_ROOT), 0, [&](HTREEITEM item, int depth) {
        char text[textSize];
        UINT state = 0;
        if (!readItem(tree, block, item, text, &state)) return false;
        printf("item\t%d\t%d\t", depth, (state >> 12) == 2 ? 1 : 0);
        printEscaped(text);
        fputc('\n', stdout);
        return true;
    });
    closeRemote(&block);
    return 0;
}

namespace {
// The first item (depth first) whose text is wanted, or null.
HTREEITEM findItem(HWND tree, const RemoteBlock& block, const char* wanted) {
    HTREEITEM found = nullptr;
    walk(tree, next(tree, nullptr, TVGN_ROOT), 0, [&](HTREEITEM item, int) {
        char text[textSize];
        UINT state = 0;
        if (readItem(tree, block, item, text, &state) && strcmp(text, wanted) == 0) found = item;
        return found == nullptr;
    });
    return found;
}

// The rectangle of the item's text in the tree's client pixels.
bool itemTextRect(HWND tree, const RemoteBlock& block, HTREEITEM item, RECT* place) {
    SIZE_T done = 0;
    *reinterpret_cast<HTREEITEM*>(place) = item;
    if (!WriteProcessMemory(block.process, block.base, place, sizeof(RECT), &done)) return false;
    if (!SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(block.base))) return false;
    return ReadProcessMemory(block.process, block.base, place, sizeof(RECT), &done) != 0;
}

// What lies under a point of the tree's client area (TVHT_* flags and the item).
UINT hitTest(HWND tree, const RemoteBlock& block, POINT point, HTREEITEM* item) {
    TVHITTESTINFO hit = {};
    hit.pt = point;
    SIZE_T done = 0;
    if (!WriteProcessMemory(block.process, block.base, &hit, sizeof(hit), &done)) return 0;
    SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(block.base));
    ReadProcessMemory(block.process, block.base, &hit, sizeof(hit), &done);
    *item = hit.hItem;
    return hit.flags;
}

// A point on the item's check box: walks left from its text until the tree reports the state image.
bool checkBoxPoint(HWND tree, const RemoteBlock& block, HTREEITEM item, POINT* point) {
    RECT text;
    if (!itemTextRect(tree, block, item, &text)) return false;
    point->y = (text.top + text.bottom) / 2;
    for (point->x = text.left - 1; point->x >= 0; --point->x) {
        HTREEITEM under = nullptr;
        if ((hitTest(tree, block, *point, &under) & TVHT_ONITEMSTATEICON) && under == item) return true;
    }
    return false;
}

// A left click at a point of the window, through the system's input queue.
void clickAt(HWND window, POINT point) {
    ClientToScreen(window, &point);
    SetForegroundWindow(GetAncestor(window, GA_ROOT));
    SetCursorPos(point.x, point.y);
    Sleep(50);
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, press, sizeof(INPUT));
    Sleep(200);
}
}  // namespace

bool expandTreeItem(HWND tree, const char* wanted) {
    RemoteBlock block;
    HTREEITEM found = openRemote(tree, &block) ? findItem(tree, block, wanted) : nullptr;
    closeRemote(&block);
    if (found) SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(found));
    return found != nullptr;
}

bool clickTreeCheckBox(HWND tree, const char* wanted) {
    RemoteBlock block;
    HTREEITEM found = openRemote(tree, &block) ? findItem(tree, block, wanted) : nullptr;
    POINT point = {};
    if (found) SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(found));
    bool located = found && checkBoxPoint(tree, block, found, &point);
    closeRemote(&block);
    if (located) clickAt(tree, point);
    return located;
}
