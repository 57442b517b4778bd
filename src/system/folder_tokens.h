// folder_tokens.h -- the shell's special folders, reached through functions looked up at run
// time (old systems lack some), and the resolution of folder tokens to paths.
#pragma once
#include "support/platform.h"
#include <shlobj.h>

// ---- shell functions ----
// Loads SHELL32 and looks up the special-folder functions; false when a required one is missing.
bool loadShellFunctions();
// Releases SHELL32, clears the entry points and frees the resolution buffer.
void unloadShellFunctions();
// The path of a special folder (created when missing) into buffer (MAX_PATH); false when none.
// Every code fails while the shell functions are not loaded.
bool getSpecialFolderPath(char* buffer, int code);
// The item list of a special folder, or null; free it with CoTaskMemFree.
LPITEMIDLIST getSpecialFolderLocation(int code);

// ---- folder tokens ----
// The path of folder token index (0..34; any other index resolves as "<Temp>"), never empty.
// The text lives in one shared buffer that every resolution overwrites: copy it before the
// next call. Chooses all-users or per-user folders by state.windowsVersion; may create the
// built folders and write their Shell Folders values.
const char* resolveFolderToken(int index);
// Resolves every token in table order into state.folderPaths (emptied first, a created list);
// false when the heap is exhausted.
bool resolveAllFolderTokens();
