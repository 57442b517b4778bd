// install_log_lines.cpp -- the lines of the install log and their de-duplication.
#include "format/package_format.h"
#include "install/install_log.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/text_compare.h"

static bool isSpecialFolder(const char* path) {
    int count = listCount(&state.folderPaths);
    for (int i = 0; i < count; ++i)
        if (sameTextIgnoringCase(listAt(&state.folderPaths, i), path)) return true;
    return false;
}

static bool alreadyRecorded(const char* line) {
    int count = listCount(&state.logLines);
    for (int i = 0; i < count; ++i)
        if (sameTextIgnoringCase(listAt(&state.logLines, i), line)) return true;
    return false;
}

const char* recordLogLine(const char* kind, const char* text, bool skipSpecialFolders) {
    if (skipSpecialFolders && text && isSpecialFolder(text)) return nullptr;
    char* line = text ? concatTexts(kind, ",", text, "\n") : concatTexts(kind, "\n");
    if (!line) return nullptr;
    int index = alreadyRecorded(line) ? -1 : listAppend(&state.logLines, line);
    heapFree(line);
    return index < 0 ? nullptr : listAt(&state.logLines, index);
}

void formatLogLook(char* line) {
    wsprintfA(line, installLogLookFormat, state.dialogIdBase ? 1u : 0u, state.accentColor, state.headerColor,
              state.pageColor, state.frameColor, state.titleFontFace, state.titleColor, state.textFontFace,
              state.textColor);
}
