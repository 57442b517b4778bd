// driver_tree.cpp -- tree views of another process: TVM_GETITEM needs its item record and text
// buffer in the tree's own process, so both live in a block allocated there.
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

bool expandTreeItem(HWND tree, const char* wanted) {
    RemoteBlock block;
    HTREEITEM found = nullptr;
    if (openRemote(tree, &block))
        walk(tree, next(tree, nullptr, TVGN_ROOT), 0, [&](HTREEITEM item, int) {
            char text[textSize];
            UINT state = 0;
            if (readItem(tree, block, item, text, &state) && strcmp(text, wanted) == 0) found = item;
            return found == nullptr;
        });
    closeRemote(&block);
    if (found) SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(found));
    return found != nullptr;
}
