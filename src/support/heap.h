// heap.h -- the private heap: every dynamic block of the program comes from here.
// One growable, serialised heap; every block is zero-filled; release ignores null and foreign
// pointers. The heap is destroyed last, in the final clean-up.
#pragma once
#include "support/platform.h"

// Creates the private heap unless it exists; false when the system refuses.
bool heapCreate();
// Destroys the private heap and everything in it.
void heapDestroy();
// Zero-filled block of size bytes; null when the heap is exhausted.
void* heapAlloc(DWORD size);
// Releases a block; null and pointers that are no block of the private heap are ignored.
void heapFree(const void* block);
// Size 0 releases and returns null; a null block allocates; growth is zero-filled.
void* heapResize(void* block, DWORD size);
// Copy of text with extra zero bytes after its terminator; null on exhaustion.
char* duplicateText(const char* text, DWORD extra = 0);
// The texts one after another in a new block; null arguments are skipped.
char* concatTexts(const char* a, const char* b, const char* c = nullptr, const char* d = nullptr,
                  const char* e = nullptr);
// Copies count bytes, correct for overlapping ranges.
void copyBytes(void* destination, const void* source, DWORD count);
// Length of a zero-terminated text (null counts as empty).
DWORD textLength(const char* text);
