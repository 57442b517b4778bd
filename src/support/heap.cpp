// heap.cpp -- the private heap and the small text allocation helpers built on it.
#include "support/heap.h"

static HANDLE privateHeap;

bool heapCreate() {
    if (!privateHeap) privateHeap = HeapCreate(0, 0x10000, 0);
    return privateHeap != nullptr;
}

void heapDestroy() {
    if (privateHeap) HeapDestroy(privateHeap);
    privateHeap = nullptr;
}

void* heapAlloc(DWORD size) {
    if (!privateHeap) return nullptr;
    return HeapAlloc(privateHeap, HEAP_ZERO_MEMORY, size);
}

void heapFree(const void* block) {
    if (!block || !privateHeap) return;
    if (!HeapValidate(privateHeap, 0, block)) return;
    HeapFree(privateHeap, 0, const_cast<void*>(block));
}

void* heapResize(void* block, DWORD size) {
    if (size == 0) {
        heapFree(block);
        return nullptr;
    }
    if (!block) return heapAlloc(size);
    if (!privateHeap) return nullptr;
    return HeapReAlloc(privateHeap, HEAP_ZERO_MEMORY, block, size);
}

DWORD textLength(const char* text) {
    DWORD n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

char* duplicateText(const char* text, DWORD extra) {
    DWORD length = textLength(text);
    char* copy = static_cast<char*>(heapAlloc(length + extra + 1));
    if (copy) copyBytes(copy, text ? text : "", length);
    return copy;
}

char* concatTexts(const char* a, const char* b, const char* c, const char* d, const char* e) {
    const char* parts[5] = {a, b, c, d, e};
    DWORD total = 0;
    for (const char* p : parts) total += textLength(p);
    char* result = static_cast<char*>(heapAlloc(total + 1));
    if (!result) return nullptr;
    char* cursor = result;
    for (const char* p : parts) {
        DWORD length = textLength(p);
        copyBytes(cursor, p, length);
        cursor += length;
    }
    return result;
}

void copyBytes(void* destination, const void* source, DWORD count) {
    char* to = static_cast<char*>(destination);
    const char* from = static_cast<const char*>(source);
    if (!count || to == from) return;
    if (to < from) {
        for (DWORD i = 0; i < count; ++i) to[i] = from[i];
    } else {
        while (count--) to[count] = from[count];
    }
}
