// system_library.h -- libraries of the system loaded at run time, always by their full path in
// the system folder so that no library is ever taken from the folder the program started from.
#pragma once
#include "support/platform.h"

// From here on, loads by a bare name search the system folder only: the loads of this program
// and those the system's own libraries make for it (their dependencies), which otherwise would
// look in the program's folder first, where anyone who could put setup.exe there (a downloads
// folder) can put a library too. Windows 8 and later (and Vista and 7 with their loader update)
// know it; older systems keep their search order, on which this program's own loads name their
// full path anyway (loadSystemLibrary).
void searchLibrariesInSystemFolderOnly();

// Loads a library of the system folder by file name; null when it is not there.
HMODULE loadSystemLibrary(const char* name);

// Loads a library that the package names (a DLL call, a version query): a bare name from the
// system folder only; a path with its own dependencies taken from the library's folder and the
// system folders, never from the folder the program was started from. Null when it cannot load.
HMODULE loadNamedLibrary(const char* path);

// Looks a function up (by name, or by ordinal through MAKEINTRESOURCEA) and stores it typed.
template <class Function>
bool findFunction(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}
