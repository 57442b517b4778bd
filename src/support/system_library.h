// system_library.h -- libraries of the system loaded at run time, always by their full path in
// the system folder so that no library is ever taken from the folder the program started from.
#pragma once
#include "support/platform.h"

// Loads a library of the system folder by file name; null when it is not there.
HMODULE loadSystemLibrary(const char* name);

// Looks a function up (by name, or by ordinal through MAKEINTRESOURCEA) and stores it typed.
template <class Function>
bool findFunction(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}
