// pointer_array.h -- the common-controls dynamic pointer and structure arrays (DPA/DSA), looked
// up by ordinal at start-up because old systems do not export them by name. StringList sits on
// the pointer arrays; the table is filled once and cleared at clean-up.
#pragma once
#include "support/platform.h"

typedef int(CALLBACK* PointerCompare)(void* first, void* second, LPARAM context);

struct PointerArrayFunctions {
    HDPA(WINAPI* create)(int growth);                                      // 328
    HDPA(WINAPI* createEx)(int growth, HANDLE heap);                       // 340
    HDPA(WINAPI* clone)(HDPA source, HDPA target);                         // 331
    BOOL(WINAPI* destroy)(HDPA array);                                     // 329
    int(WINAPI* insertPtr)(HDPA array, int index, void* item);             // 334
    BOOL(WINAPI* setPtr)(HDPA array, int index, void* item);               // 335
    BOOL(WINAPI* grow)(HDPA array, int count);                             // 330
    void*(WINAPI* getPtr)(HDPA array, INT_PTR index);                      // 332
    void*(WINAPI* deletePtr)(HDPA array, int index);                       // 336
    BOOL(WINAPI* deleteAllPtrs)(HDPA array);                               // 337
    int(WINAPI* search)(HDPA, void*, int, PointerCompare, LPARAM, UINT);   // 339
    BOOL(WINAPI* sort)(HDPA array, PointerCompare compare, LPARAM context);  // 338
    int(WINAPI* getPtrIndex)(HDPA array, const void* item);                // 333
    void*(WINAPI* dsaCreate)(int itemSize, int growth);                    // 320
    BOOL(WINAPI* dsaDestroy)(void* array);                                 // 321
    void*(WINAPI* dsaGetItemPtr)(void* array, int index);                  // 324
    int(WINAPI* dsaInsertItem)(void* array, int index, void* item);        // 325
    BOOL(WINAPI* dsaGetItem)(void* array, int index, void* item);          // 322
    BOOL(WINAPI* dsaSetItem)(void* array, int index, void* item);          // 323
    BOOL(WINAPI* dsaDeleteItem)(void* array, int index);                   // 326
    BOOL(WINAPI* dsaDeleteAllItems)(void* array);                          // 327
};

extern PointerArrayFunctions pointerArray;

// Loads the common-controls library and looks up every function; false (and nothing kept) when
// one is missing.
bool loadPointerArrayFunctions();
// Clears the table and releases the library.
void unloadPointerArrayFunctions();
