// install_log.cpp -- writing the temporary and the final install log.
#include "install/install_log.h"

#include "format/package_format.h"
#include "script/setup_state.h"
#include "support/heap.h"

static void writeText(HANDLE file, const char* text) {
    DWORD written;
    if (file && file != INVALID_HANDLE_VALUE) WriteFile(file, text, textLength(text), &written, nullptr);
}

bool appendLogLine(HANDLE logFile, const char* kind, const char* text, bool write, bool skipSpecialFolders) {
    const char* line = recordLogLine(kind, text, skipSpecialFolders);
    if (line && write) writeText(logFile, line);
    return line != nullptr;
}

// Lines 2 and 3 (the product's title and name) are kept even when they repeat another line.
static void appendHeaderText(HANDLE logFile, const char* text) {
    char* line = concatTexts(text, "\n");
    if (!line) return;
    listAppend(&state.logLines, line);
    writeText(logFile, line);
    heapFree(line);
}

void writeLogHeader(HANDLE logFile) {
    char look[2 * fontFaceSize + 128];
    appendLogLine(logFile, installLogTitle, nullptr, true, false);
    appendHeaderText(logFile, state.productTitle);
    appendHeaderText(logFile, state.productName);
    formatLogLook(look);
    appendLogLine(logFile, look, nullptr, true, false);
}

bool writeFinalLog(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    int count = listCount(&state.logLines);
    for (int i = 0; i < count; ++i) writeText(file, listAt(&state.logLines, i));
    CloseHandle(file);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return true;
}
