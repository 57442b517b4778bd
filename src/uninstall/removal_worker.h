// removal_worker.h -- the thread that undoes an installation from the install log's entry lines,
// last line first: folders, files, shortcuts, registry values and keys, launches, DLL calls and
// shared files. With the uninstaller's page it shows progress and asks about files in use;
// without one (rollback) it asks only the shared-file question.
#pragma once
#include "support/platform.h"

// Set before a silent removal: the worker asks nothing (a shared file whose count reaches 0 is
// kept, the safe answer) and leaves the running program's own file to the self-removal script.
extern bool silentRemoval;

// Thread routine; the parameter is the page window or null. Undoes logEntries..logEnd, fills
// state.leftoverPaths and state.rebootDeletePaths, and sets state.uninstallDoneEvent when every
// line was processed. Returns 1 when the entries hold no line feed, else 0 (also when stopped by
// a quit message between two lines).
DWORD WINAPI removalWorker(void* page);
// removalWorker without a page (the rollback's); the window steps are then left out of the program.
DWORD WINAPI removalWorkerWithoutWindow(void* unused);
