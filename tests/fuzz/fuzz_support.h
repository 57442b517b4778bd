// fuzz_support.h -- the heap, lists and state a fuzz target needs.
// Creating the state's 1,600 lists costs more than most inputs do, so they are created once: each
// input starts from a copy of the state as it stood right after they were made, and its end
// empties the lists again and frees its texts.
#pragma once
#include <cstring>

#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"

inline SetupState& freshFuzzState() {
    static SetupState fresh;
    return fresh;
}

// Creates the heap and the lists (once), then gives the state its start values and empty lists.
inline void prepareFuzzState() {
    static bool ready = [] {
        bool made = heapCreate() && loadPointerArrayFunctions();
        resetSetupState();
        made = made && createStateLists();
        std::memcpy(static_cast<void*>(&freshFuzzState()), &state, sizeof(state));
        return made;
    }();
    if (!ready) __builtin_trap();
    std::memcpy(static_cast<void*>(&state), &freshFuzzState(), sizeof(state));
}

// Frees what the input left in the state, so that the next input starts clean. Code under test
// never creates or destroys the state's lists; a list handle that changed would be a fault.
inline void releaseFuzzState() {
    freeStateTexts();
    clearStateLists();
    if (state.languages != freshFuzzState().languages || state.fieldList.handle != freshFuzzState().fieldList.handle)
        __builtin_trap();
}
