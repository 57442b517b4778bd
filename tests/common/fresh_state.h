// fresh_state.h -- for tests: the program's state as start-up leaves it (private heap,
// pointer-array functions, the state record reset with its lists created), released afterwards.
#pragma once
#include <gtest/gtest.h>

#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"

// Creates the heap and the state's lists; use with ASSERT_NO_FATAL_FAILURE in SetUp.
inline void openFreshState() {
    ASSERT_TRUE(heapCreate());
    ASSERT_TRUE(loadPointerArrayFunctions());
    resetSetupState();
    ASSERT_TRUE(createStateLists());
}

// Releases every list and text of the state, then the heap.
inline void closeFreshState() {
    destroyStateLists();
    freeStateTexts();
    unloadPointerArrayFunctions();
    heapDestroy();
}
