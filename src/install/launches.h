// launches.h -- program launches and DLL calls that the script attaches to points of the run
// (before the wizard, after a page, at removal time).
#pragma once
#include "support/platform.h"
#include "support/string_list.h"

// A launch: verb "open" (shell open of target) or the program to start with target as arguments.
struct LaunchRequest {
    const char* program;   // "open", or the program
    const char* target;    // file to open, or the program's arguments
    const char* folder;    // working folder; empty: inherit
    bool wait;             // wait for a started program to end (not for "open")
    int windowState;       // 1 minimised without activation, 2 maximised, else normal
};

// A call of an exported function of a library.
struct DllCallRequest {
    const char* library;
    const char* function;
    const char* firstArgument;   // empty: called without arguments
    const char* secondArgument;  // empty: called with the first only
};

// Runs every launch of the first list, then every call of the second, each entry with its
// variables expanded; entries marked "run once" are removed from their list after they ran.
void runActionLists(StringList* launches, StringList* dllCalls);
// Performs one launch; true when the shell opened the target or the program was started.
bool launchProgram(const LaunchRequest& request);
// Performs one call; true when the library loaded and the function was found and called.
bool callDllFunction(const DllCallRequest& request);
