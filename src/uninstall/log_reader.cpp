// log_reader.cpp -- the log path of each stage and the install log's header.
#include "uninstall/log_reader.h"

#include "format/package_format.h"
#include "script/fields.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "system/paths.h"

char* logText;
char* logEntries;
char* logEnd;

static char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 'a' - 'A') : c; }

// The argument text: behind the second double quote when there is one (nothing when only one),
// else the whole line; cut in place of the copy, spaces trimmed on both sides.
static char* argumentText(char* line) {
    char* text = line;
    char* quote = line;
    while (*quote && *quote != '"') ++quote;
    if (*quote) {
        ++quote;
        while (*quote && *quote != '"') ++quote;
        text = *quote ? quote + 1 : quote;
    }
    while (*text == ' ') ++text;
    DWORD length = textLength(text);
    while (length && text[length - 1] == ' ') text[--length] = 0;
    return text;
}

static bool endsInLog(const char* text) {
    DWORD length = textLength(text);
    if (length <= 4) return false;
    const char* ending = text + length - 4;
    for (int i = 0; i < 4; ++i)
        if (lowerCase(ending[i]) != ".log"[i]) return false;
    return true;
}

bool chooseLogPath(const char* commandLine, const char* programPath, char** logPath) {
    char* line = duplicateText(commandLine);
    char* argument = line ? argumentText(line) : nullptr;
    bool secondStage = argument && endsInLog(argument);
    if (secondStage) {
        *logPath = duplicateText(argument);
    } else {
        char* folder = parentPath(programPath);
        char* name = baseNameWithoutExtension(programPath);
        char* base = folder && name ? joinPath(folder, name) : nullptr;
        *logPath = base ? concatTexts(base, ".log") : nullptr;
        const char* texts[] = {folder, name, base};
        for (const char* text : texts) heapFree(text);
    }
    heapFree(line);
    return secondStage;
}

// Cuts the line at its line feed (searched before end); the next line, or null without one.
static char* cutLine(char* line, const char* end) {
    for (char* c = line; c < end; ++c) {
        if (*c != '\n') continue;
        *c = 0;
        return c + 1;
    }
    return nullptr;
}

static bool isLogTitle(const char* line, const char* lineEnd) {
    DWORD length = textLength(installLogTitle);
    if (static_cast<DWORD>(lineEnd - line) != length) return false;
    for (DWORD i = 0; i < length; ++i)
        if (line[i] != installLogTitle[i]) return false;
    return true;
}

static void replaceText(char** target, const char* text) {
    heapFree(*target);
    *target = duplicateText(text);
}

static void copyFace(char* face, const char* text) {
    int i = 0;
    for (; text[i] && i < fontFaceSize - 1; ++i) face[i] = text[i];
    face[i] = 0;
}

// Line 4: the dialog set, four colours, then face and colour of the title and of the text.
static void readLook(const char* line) {
    splitFields(line, false);
    state.dialogIdBase = *field(0) == '0' ? 0 : 20;
    COLORREF* colours[] = {&state.accentColor, &state.headerColor, &state.pageColor, &state.frameColor};
    for (int i = 0; i < 4; ++i) *colours[i] = static_cast<COLORREF>(toNumber(field(1 + i)));
    copyFace(state.titleFontFace, field(5));
    state.titleColor = static_cast<COLORREF>(toNumber(field(6)));
    copyFace(state.textFontFace, field(7));
    state.textColor = static_cast<COLORREF>(toNumber(field(8)));
}

char* readLogHeader(char* text, DWORD size) {
    const char* end = text + size;
    char* title = text;
    char* productTitle = cutLine(title, end);
    if (!productTitle || !isLogTitle(title, productTitle - 1)) return nullptr;
    char* productName = cutLine(productTitle, end);
    char* look = productName ? cutLine(productName, end) : nullptr;
    char* entries = look ? cutLine(look, end) : nullptr;
    if (!entries) return nullptr;
    replaceText(&state.productTitle, productTitle);
    replaceText(&state.productName, productName);
    readLook(look);
    return entries;
}
