// removal_entries.cpp -- the entry lines of the install log as the removal worker walks them.
#include "uninstall/removal_entries.h"

#include "script/fields.h"
#include "script/text_tools.h"
#include "support/heap.h"
#include "system/paths.h"
#include "system/registry_data.h"

int countLogLines(const char* begin, const char* end) {
    int count = 0;
    for (const char* c = begin; c < end; ++c) count += *c == '\n';
    return count;
}

char* takeLastLine(char* begin, char** end) {
    char* lineEnd = *end;
    while (lineEnd > begin && lineEnd[-1] != '\n') --lineEnd;
    if (lineEnd == begin) return nullptr;
    char* start = --lineEnd;
    while (start > begin && start[-1] != '\n') --start;
    *lineEnd = 0;
    *end = start;
    return start;
}

char splitLogEntry(const char* line) {
    char kind = line[0];
    splitFields(kind && line[1] ? line + 2 : "", false);
    return kind;
}

// A full path below a drive's root or on a share: "C:\\x", "\\\\server\\share".
static bool isCreatablePath(const char* path) {
    if (!isValidPath(path) || isBareDrive(path)) return false;
    return path[0] == '\\' || path[3] != 0;
}

static bool isRootNumber(const char* text) { return text[0] >= '0' && text[0] <= '6' && text[1] == 0; }

bool entryIsSound(char kind) {
    switch (kind) {
    case 'a':
    case 'b':
    case 'g':
    case 'h': return isCreatablePath(field(0));
    case 'c':
    case 'e': return isRootNumber(field(0)) && isUsableKeyPath(field(1));
    default: return true;
    }
}

const char* removalStepText(char kind) {
    static const char* const texts[] = {
        "Deleting files...",        "Deleting files...",       "Deleting registry entries...",
        "Launching programs...",    "Deleting registry keys...", "Calling dll functions...",
        "Deleting shared files...", "Deleting Start menu shortcuts...",
    };
    return kind >= 'a' && kind <= 'h' ? texts[kind - 'a'] : nullptr;
}

void prepareLeftoverPaths(StringList* paths) {
    listSort(paths, sortByLength);
    for (int i = 0; i < listCount(paths); ++i) {
        char* inside = concatTexts(listAt(paths, i), "\\");
        for (int j = listCount(paths) - 1; inside && j > i; --j)
            if (findText(listAt(paths, j), inside, wholeText, false)) listRemoveAt(paths, j);
        heapFree(inside);
    }
    listSort(paths, sortByText);
}
