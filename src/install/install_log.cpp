// install_log.cpp -- writing the temporary and the final install log.
#include "install/install_log.h"

#include "format/package_format.h"
#include "script/setup_state.h"
#include "support/heap.h"

// Log text is written in blocks, not a WriteFile per line. The temporary log is read only after
// closeLogFile (by the rollback, or not at all once the final log is written), so what waits here
// is on disk before anyone reads it.
constexpr DWORD logWriteBlock = 0x4000;
static char pendingText[logWriteBlock];
static DWORD pendingBytes;
static HANDLE pendingFile;

static void writeBytes(HANDLE file, const void* bytes, DWORD count) {
    DWORD written;
    if (count && file && file != INVALID_HANDLE_VALUE) WriteFile(file, bytes, count, &written, nullptr);
}

static void writePending() {
    writeBytes(pendingFile, pendingText, pendingBytes);
    pendingBytes = 0;
}

static void writeText(HANDLE file, const char* text) {
    if (!file || file == INVALID_HANDLE_VALUE) return;
    if (file != pendingFile) {
        writePending();
        pendingFile = file;
    }
    DWORD length = textLength(text);
    if (pendingBytes + length > logWriteBlock) writePending();
    if (length > logWriteBlock) return writeBytes(file, text, length);
    copyBytes(pendingText + pendingBytes, text, length);
    pendingBytes += length;
}

void flushLogFile(HANDLE logFile) {
    if (logFile != pendingFile) return;
    writePending();
    pendingFile = nullptr;
}

void closeLogFile(HANDLE logFile) {
    flushLogFile(logFile);
    CloseHandle(logFile);
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
    closeLogFile(file);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return true;
}
