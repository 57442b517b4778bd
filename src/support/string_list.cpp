// string_list.cpp -- StringList over the common-controls pointer array.
#include "support/string_list.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "support/text_compare.h"

// The array header starts with the item count, which is read directly.
static int rawCount(HDPA handle) { return handle ? *reinterpret_cast<const int*>(handle) : 0; }

bool listCreate(StringList* list, int growth) {
    if (!list->handle && pointerArray.create) list->handle = pointerArray.create(growth);
    return list->handle != nullptr;
}

void listDestroy(StringList* list) {
    if (!list->handle) return;
    listFreeItems(list);
    pointerArray.destroy(list->handle);
    list->handle = nullptr;
}

int listAppend(StringList* list, const char* text) {
    if (!list->handle) return -1;
    char* copy = nullptr;
    if (text && !(copy = duplicateText(text))) return -1;
    int index = pointerArray.insertPtr(list->handle, rawCount(list->handle), copy);
    if (index < 0) heapFree(copy);
    return index;
}

bool listSetAt(StringList* list, int index, const char* text) {
    if (!list->handle || index < 0) return false;
    char* copy = nullptr;
    if (text && !(copy = duplicateText(text))) return false;
    if (index < rawCount(list->handle)) heapFree(pointerArray.getPtr(list->handle, index));
    if (!pointerArray.setPtr(list->handle, index, copy)) {
        heapFree(copy);
        return false;
    }
    return true;
}

const char* listAt(const StringList* list, int index) {
    if (!list->handle || index < 0 || index >= rawCount(list->handle)) return nullptr;
    return static_cast<const char*>(pointerArray.getPtr(list->handle, index));
}

int listCount(const StringList* list) { return rawCount(list->handle); }

bool listRemoveAt(StringList* list, int index) {
    if (!list->handle || index < 0 || index >= rawCount(list->handle)) return false;
    void* item = pointerArray.deletePtr(list->handle, index);
    heapFree(item);
    return item != nullptr;
}

void listFreeItems(StringList* list) {
    int count = rawCount(list->handle);
    for (int i = 0; i < count; ++i) {
        heapFree(pointerArray.getPtr(list->handle, i));
        pointerArray.setPtr(list->handle, i, nullptr);
    }
}

void listClear(StringList* list) {
    if (!list->handle) return;
    listFreeItems(list);
    pointerArray.deleteAllPtrs(list->handle);
}

static int CALLBACK compareItems(void* first, void* second, LPARAM mode) {
    const char* a = static_cast<const char*>(first);
    const char* b = static_cast<const char*>(second);
    int order;
    if ((mode & 0xFF) == sortByText)
        order = compareTexts(a ? a : "", b ? b : "", (mode & sortCaseSensitive) != 0);
    else
        order = static_cast<int>(textLength(a)) - static_cast<int>(textLength(b));
    return (mode & sortReverse) ? -order : order;
}

void listSort(StringList* list, DWORD mode) {
    if (list->handle) pointerArray.sort(list->handle, compareItems, static_cast<LPARAM>(mode));
}

int listFind(const StringList* list, const char* text, int start, DWORD flags) {
    int count = rawCount(list->handle);
    for (int i = start < 0 ? 0 : start; i < count; ++i) {
        const char* item = listAt(list, i);
        if (item && text && compareTexts(item, text, (flags & findCaseSensitive) != 0) == 0) return i;
    }
    return -1;
}

char* listJoinItemsAsPath(const StringList* list, int lastIndex, const char* tail) {
    DWORD total = textLength(tail) + 1;
    for (int i = 0; i <= lastIndex; ++i) total += textLength(listAt(list, i)) + 1;
    char* path = static_cast<char*>(heapAlloc(total));
    if (!path) return nullptr;
    char* cursor = path;
    for (int i = 0; i <= lastIndex; ++i) {
        const char* item = listAt(list, i);
        if (!item) continue;
        DWORD length = textLength(item);
        copyBytes(cursor, item, length);
        cursor += length;
        *cursor++ = '\\';
    }
    copyBytes(cursor, tail, textLength(tail));
    return path;
}
