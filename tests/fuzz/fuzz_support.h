// fuzz_support.h -- the heap, lists and state a fuzz target needs, set up once per process.
#pragma once
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"


// Creates the heap (once), resets the state and creates its lists.
inline void prepareFuzzState() {
    static bool ready = heapCreate() && loadPointerArrayFunctions();
    (void)ready;
    resetSetupState();
    createStateLists();
}

// Releases every list and kept text so that the next input starts clean.
inline void releaseFuzzState() {
    destroyStateLists();
    freeStateTexts();
}
