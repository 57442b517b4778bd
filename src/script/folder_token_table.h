// folder_token_table.h -- the fixed table of folder tokens that script texts use to name target
// folders. A token's position is its index into state.folderPaths; the order is binding.
#pragma once
#include "support/platform.h"

struct FolderToken {
    const char* text;  // the token with its angle brackets, e.g. "<ProgramFiles>"
    int defaultCode;   // the shell's special-folder code (CSIDL value), or noFolderCode
};

constexpr int noFolderCode = -1;
constexpr int folderTokenCount = 35;

// The tokens in index order, followed by an entry whose text is null.
extern const FolderToken folderTokens[folderTokenCount + 1];
