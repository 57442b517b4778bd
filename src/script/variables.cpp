// variables.cpp -- the variable table and text expansion.
#include "script/variables.h"

#include "script/folder_token_table.h"
#include "script/setup_state.h"
#include "script/text_tools.h"
#include "support/heap.h"
#include "support/text_compare.h"

static int findVariable(const char* name) {
    for (int i = 0; i < listCount(&state.variableNames); ++i)
        if (sameTextIgnoringCase(listAt(&state.variableNames, i), name)) return i;
    return -1;
}

const char* lookupVariable(const char* name) {
    int index = findVariable(name);
    return index < 0 ? nullptr : listAt(&state.variableValues, index);
}

bool setVariable(const char* name, const char* value) {
    int index = findVariable(name);
    if (index >= 0) return listSetAt(&state.variableValues, index, value);
    index = listAppend(&state.variableNames, name);
    if (index < 0) return false;
    if (listSetAt(&state.variableValues, index, value)) return true;
    listRemoveAt(&state.variableNames, index);  // keep both lists the same length
    return false;
}

char* expandVariables(const char* text) {
    char* result = duplicateText(text);
    for (int i = 0; result && i < listCount(&state.variableNames); ++i) {
        const char* value = listAt(&state.variableValues, i);
        replaceAllIn(&result, listAt(&state.variableNames, i), value ? value : "", false);
    }
    return result;
}

char* expandFolderTokens(const char* text) {
    char* result = duplicateText(text);
    // Every token starts with '<': a text without one (most captions, messages and paths) has
    // nothing to replace, and the search of each of the tokens in turn is skipped.
    if (!result || !findChar(result, '<', -1, true)) return result;
    for (int i = 0; result && folderTokens[i].text; ++i) {
        const char* path = listAt(&state.folderPaths, i);
        if (path) replaceAllIn(&result, folderTokens[i].text, path, false);
    }
    return result;
}
