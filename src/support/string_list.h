// string_list.h -- StringList: a growable list of heap texts owned by the list.
// Positions are stable; storing beyond the end extends the list with null items. Every text
// argument is copied, never adopted. Readers treat a null item as an empty text.
#pragma once
#include "support/platform.h"

struct StringList {
    HDPA handle;  // null while the list is not created
};

// Sort modes: low byte 1 by text, any other by length (shorter first); flag bits below.
constexpr DWORD sortByText = 1;
constexpr DWORD sortByLength = 2;
constexpr DWORD sortCaseSensitive = 0x100;
constexpr DWORD sortReverse = 0x200;
constexpr DWORD findCaseSensitive = 0x100;

// Creates the empty list with the given growth step; false on failure.
bool listCreate(StringList* list, int growth);
// Frees every item and the array; the handle becomes null. Harmless on a list never created.
void listDestroy(StringList* list);
// Appends a copy of text (or a null item); the new index, or -1 on failure.
int listAppend(StringList* list, const char* text);
// Replaces the item at index with a copy of text, extending the list if needed.
bool listSetAt(StringList* list, int index, const char* text);
// The item at index, or null when the index is outside 0..count-1 (borrowed pointer).
const char* listAt(const StringList* list, int index);
// Number of positions (0 for a list never created).
int listCount(const StringList* list);
// Removes the position (later items move down); true when a text was removed.
bool listRemoveAt(StringList* list, int index);
// Frees every item and empties the list; the array remains.
void listClear(StringList* list);
// Frees every item text but keeps the positions (as null items).
void listFreeItems(StringList* list);
// Sorts in place by text or by length, see the sort modes above.
void listSort(StringList* list, DWORD mode);
// Index of the first item from start that equals text, -1 if none.
int listFind(const StringList* list, const char* text, int start, DWORD flags);
// New heap text: items 0..lastIndex each followed by a backslash, then tail; null items skipped.
char* listJoinItemsAsPath(const StringList* list, int lastIndex, const char* tail);
