// win32_standin.cpp -- host implementations behind win32_standin.h.
#include "win32_standin.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <map>
#include <vector>

#include "support/pointer_array.h"

// ---- heap: blocks are tracked so that foreign pointers can be refused ---------------------------
namespace {
struct StandinHeap {
    std::map<const void*, size_t> blocks;
};
int failuresLeft = 0;
StandinHeap* onlyHeap = nullptr;
bool allocationFails() {
    if (failuresLeft <= 0) return false;
    --failuresLeft;
    return true;
}
}  // namespace

void standinFailAllocations(int count) { failuresLeft = count; }
size_t standinHeapBlockCount() { return onlyHeap ? onlyHeap->blocks.size() : 0; }

HANDLE HeapCreate(DWORD, size_t, size_t) { return onlyHeap = new StandinHeap; }

BOOL HeapDestroy(HANDLE heap) {
    StandinHeap* h = static_cast<StandinHeap*>(heap);
    for (auto& block : h->blocks) free(const_cast<void*>(block.first));
    if (h == onlyHeap) onlyHeap = nullptr;
    delete h;
    return TRUE;
}

void* HeapAlloc(HANDLE heap, DWORD, size_t size) {
    if (allocationFails()) return nullptr;
    void* block = calloc(1, size ? size : 1);
    static_cast<StandinHeap*>(heap)->blocks[block] = size;
    return block;
}

BOOL HeapValidate(HANDLE heap, DWORD, const void* block) {
    return static_cast<StandinHeap*>(heap)->blocks.count(block) ? TRUE : FALSE;
}

void* HeapReAlloc(HANDLE heap, DWORD, void* block, size_t size) {
    StandinHeap* h = static_cast<StandinHeap*>(heap);
    auto it = h->blocks.find(block);
    if (it == h->blocks.end() || allocationFails()) return nullptr;
    size_t old = it->second;
    void* grown = realloc(block, size ? size : 1);
    if (!grown) return nullptr;
    if (size > old) memset(static_cast<char*>(grown) + old, 0, size - old);
    h->blocks.erase(it);
    h->blocks[grown] = size;
    return grown;
}

BOOL HeapFree(HANDLE heap, DWORD, void* block) {
    StandinHeap* h = static_cast<StandinHeap*>(heap);
    if (!h->blocks.erase(block)) return FALSE;
    free(block);
    return TRUE;
}

// ---- texts ---------------------------------------------------------------------------------------
int CompareStringA(LCID, DWORD flags, LPCSTR a, int, LPCSTR b, int) {
    int order = (flags & NORM_IGNORECASE) ? strcasecmp(a, b) : strcmp(a, b);
    return order < 0 ? CSTR_LESS_THAN : order > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}

LPSTR CharUpperA(LPSTR textOrChar) {
    uintptr_t value = reinterpret_cast<uintptr_t>(textOrChar);
    if (value < 0x10000) return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(toupper(static_cast<int>(value & 0xFF))));
    for (char* c = textOrChar; *c; ++c) *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
    return textOrChar;
}

static UINT codePage = 1252;

void standinSetCodePage(UINT page) { codePage = page; }

// Shift-JIS lead bytes: 0x81..0x9F and 0xE0..0xFC.
static bool isLeadByte(char c) {
    BYTE b = static_cast<BYTE>(c);
    return codePage == 932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

// As the system steps: a lead byte before the terminator stands alone.
LPSTR CharNextA(LPCSTR c) {
    if (!*c) return const_cast<LPSTR>(c);
    return const_cast<LPSTR>(isLeadByte(c[0]) && c[1] ? c + 2 : c + 1);
}

// Walks from the start, as the system does: only there is a character boundary known.
LPSTR CharPrevA(LPCSTR start, LPCSTR c) {
    while (*start && start < c) {
        LPCSTR next = CharNextA(start);
        if (next >= c) break;
        start = next;
    }
    return const_cast<LPSTR>(start);
}

LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int written = vsnprintf(buffer, 1024, format, args);
    va_end(args);
    return written;
}

// ---- pointer arrays: count first, growing with null items like the system's -----------------------
struct StandinPointerArray {
    int count;  // read directly by StringList, as on the system
    std::vector<void*> items;
};

static HDPA WINAPI dpaCreate(int) { return new StandinPointerArray{0, {}}; }
static BOOL WINAPI dpaDestroy(HDPA array) {
    delete array;
    return TRUE;
}
static int WINAPI dpaInsertPtr(HDPA array, int index, void* item) {
    if (index < 0) return -1;
    if (index > array->count) index = array->count;
    array->items.insert(array->items.begin() + index, item);
    array->count = static_cast<int>(array->items.size());
    return index;
}
static BOOL WINAPI dpaSetPtr(HDPA array, int index, void* item) {
    if (index < 0) return FALSE;
    if (index >= array->count) array->items.resize(index + 1, nullptr);
    array->items[index] = item;
    array->count = static_cast<int>(array->items.size());
    return TRUE;
}
static void* WINAPI dpaGetPtr(HDPA array, INT_PTR index) {
    return index >= 0 && index < array->count ? array->items[index] : nullptr;
}
static void* WINAPI dpaDeletePtr(HDPA array, int index) {
    if (index < 0 || index >= array->count) return nullptr;
    void* item = array->items[index];
    array->items.erase(array->items.begin() + index);
    array->count = static_cast<int>(array->items.size());
    return item;
}
static BOOL WINAPI dpaDeleteAllPtrs(HDPA array) {
    array->items.clear();
    array->count = 0;
    return TRUE;
}
static BOOL WINAPI dpaSort(HDPA array, PointerCompare compare, LPARAM context) {
    // A stable insertion sort, like the merge sort of the system's in its results.
    for (size_t i = 1; i < array->items.size(); ++i)
        for (size_t j = i; j > 0 && compare(array->items[j - 1], array->items[j], context) > 0; --j)
            std::swap(array->items[j - 1], array->items[j]);
    return TRUE;
}

PointerArrayFunctions pointerArray;

bool loadPointerArrayFunctions() {
    pointerArray = PointerArrayFunctions();
    pointerArray.create = dpaCreate;
    pointerArray.destroy = dpaDestroy;
    pointerArray.insertPtr = dpaInsertPtr;
    pointerArray.setPtr = dpaSetPtr;
    pointerArray.getPtr = dpaGetPtr;
    pointerArray.deletePtr = dpaDeletePtr;
    pointerArray.deleteAllPtrs = dpaDeleteAllPtrs;
    pointerArray.sort = dpaSort;
    return true;
}

void unloadPointerArrayFunctions() { pointerArray = PointerArrayFunctions(); }

// ---- last error and in-memory files --------------------------------------------------------------
namespace {
DWORD lastError = NO_ERROR;
struct StandinMemoryFile {
    const BYTE* data;
    DWORD size;
    DWORD position;
};
StandinMemoryFile* memoryFileOf(HANDLE file) {
    return file && file != INVALID_HANDLE_VALUE ? static_cast<StandinMemoryFile*>(file) : nullptr;
}
}  // namespace

DWORD GetLastError(void) { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

HANDLE standinMemoryFile(const BYTE* data, DWORD size) { return new StandinMemoryFile{data, size, 0}; }
void standinCloseMemoryFile(HANDLE file) { delete memoryFileOf(file); }

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED) {
    StandinMemoryFile* f = memoryFileOf(file);
    if (read) *read = 0;
    if (!f) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    // Positions past the end are allowed (as on a disk file); reads there return nothing.
    DWORD available = f->position < f->size ? f->size - f->position : 0;
    DWORD taken = count < available ? count : available;
    if (taken) memcpy(buffer, f->data + f->position, taken);
    f->position += taken;
    if (read) *read = taken;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    StandinMemoryFile* f = memoryFileOf(file);
    if (!f || method != FILE_BEGIN) {
        lastError = ERROR_INVALID_HANDLE;
        return INVALID_SET_FILE_POINTER;
    }
    // Without the high half the distance is signed; with it, the two make one 64-bit offset.
    long long offset = distanceHigh ? (static_cast<long long>(*distanceHigh) << 32) | static_cast<DWORD>(distance)
                                    : static_cast<long long>(distance);
    if (offset < 0 || offset > 0xFFFFFFFFll) {
        lastError = ERROR_NEGATIVE_SEEK;
        return INVALID_SET_FILE_POINTER;
    }
    f->position = static_cast<DWORD>(offset);
    if (distanceHigh) *distanceHigh = 0;
    return f->position;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    StandinMemoryFile* f = memoryFileOf(file);
    if (!f) {
        lastError = ERROR_INVALID_HANDLE;
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh) *sizeHigh = 0;
    return f->size;
}
