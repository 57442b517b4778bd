// install_log_lines.cpp -- the lines of the install log and their de-duplication.
#include "format/package_format.h"
#include "install/install_log.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/text_compare.h"

// A line of logLines in the duplicate test's hash table: its position + 1 (0: a free slot) and
// the hash of its upper-cased text. Lines equal ignoring case have equal hashes, so a lookup
// compares the new line only with the few lines of its own hash; recording n lines takes time
// linear in n where comparing with every earlier line took time in n squared.
struct LogLineSlot {
    DWORD hash;
    int line;
};

constexpr DWORD firstIndexSize = 1024;

static bool isSpecialFolder(const char* path) {
    int count = listCount(&state.folderPaths);
    for (int i = 0; i < count; ++i)
        if (sameTextIgnoringCase(listAt(&state.folderPaths, i), path)) return true;
    return false;
}

// FNV-1a over the upper-cased characters.
static DWORD upperCaseHash(const char* text) {
    DWORD hash = 2166136261u;
    for (; text && *text; ++text) hash = (hash ^ upperCaseChar(*text)) * 16777619u;
    return hash;
}

static void placeLine(LogLineSlot* slots, DWORD size, DWORD hash, int line) {
    DWORD at = hash & (size - 1);
    while (slots[at].line) at = (at + 1) & (size - 1);
    slots[at].hash = hash;
    slots[at].line = line + 1;
}

// Room for one more line, the table kept at most half full; false when the heap is exhausted.
static bool reserveSlot() {
    DWORD size = state.logLineIndexSize;
    if (static_cast<DWORD>(state.logLinesIndexed + 1) * 2 <= size) return true;
    DWORD grown = size ? size * 2 : firstIndexSize;
    LogLineSlot* slots = static_cast<LogLineSlot*>(heapAlloc(grown * sizeof(LogLineSlot)));
    if (!slots) return false;
    for (DWORD i = 0; i < size; ++i)
        if (state.logLineIndex[i].line)
            placeLine(slots, grown, state.logLineIndex[i].hash, state.logLineIndex[i].line - 1);
    heapFree(state.logLineIndex);
    state.logLineIndex = slots;
    state.logLineIndexSize = grown;
    return true;
}

// Brings the table up to every line of logLines: the header lines appended without the test
// count for it as well. False when the table cannot hold them all.
static bool indexLogLines() {
    int count = listCount(&state.logLines);
    if (count < state.logLinesIndexed) {  // the list was emptied: start again
        heapFree(state.logLineIndex);
        state.logLineIndex = nullptr;
        state.logLineIndexSize = 0;
        state.logLinesIndexed = 0;
    }
    for (; state.logLinesIndexed < count; ++state.logLinesIndexed) {
        if (!reserveSlot()) return false;
        placeLine(state.logLineIndex, state.logLineIndexSize,
                  upperCaseHash(listAt(&state.logLines, state.logLinesIndexed)), state.logLinesIndexed);
    }
    return true;
}

static bool alreadyRecorded(const char* line) {
    if (!indexLogLines()) {  // no room for the table: compare with every line
        int count = listCount(&state.logLines);
        for (int i = 0; i < count; ++i)
            if (sameTextIgnoringCase(listAt(&state.logLines, i), line)) return true;
        return false;
    }
    if (!state.logLinesIndexed) return false;
    DWORD hash = upperCaseHash(line);
    DWORD mask = state.logLineIndexSize - 1;
    for (DWORD at = hash & mask; state.logLineIndex[at].line; at = (at + 1) & mask) {
        const LogLineSlot& slot = state.logLineIndex[at];
        if (slot.hash == hash && sameTextIgnoringCase(listAt(&state.logLines, slot.line - 1), line)) return true;
    }
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
