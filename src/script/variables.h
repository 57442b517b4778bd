// variables.h -- the script's variables ("%INSTALLPATH%") and the two expansion passes: folder
// tokens when a record is read, variables when a text is used.
#pragma once
#include "support/platform.h"

// Value of the first variable whose name equals name (case-insensitive), or null (borrowed).
const char* lookupVariable(const char* name);
// Replaces the value of the variable of that name (its spelling kept), or appends name and value.
bool setVariable(const char* name, const char* value);
// New text with every variable name replaced by its value, one pass per variable in definition
// order; the caller frees it. Null when the heap is exhausted.
char* expandVariables(const char* text);
// New text with every folder token replaced by its resolved path from state.folderPaths, in
// table order; a token without a resolved path stays. Null when the heap is exhausted.
char* expandFolderTokens(const char* text);
// Expands every variable value until none holds a variable name (compared with case); stops
// after a bounded number of passes so that a value naming itself cannot hold the run forever.
void settleVariables();
