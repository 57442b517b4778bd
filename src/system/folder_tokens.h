// folder_tokens.h -- the shell's special folders, reached through functions looked up at run
// time (old systems lack some), and the resolution of folder tokens to paths.
#pragma once
#include "support/platform.h"
#include <shlobj.h>

// Loads SHELL32 and looks up the special-folder functions; false when a required one is missing.
bool loadShellFunctions();
// Releases SHELL32 and clears the entry points.
void unloadShellFunctions();
// The path of a special folder (created when missing) into buffer (MAX_PATH); false when none.
bool getSpecialFolderPath(char* buffer, int code);
// The item list of a special folder, or null; free it with CoTaskMemFree.
LPITEMIDLIST getSpecialFolderLocation(int code);
