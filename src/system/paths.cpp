// paths.cpp -- path text helpers (no system calls but the code page's character steps).
//
// Every walk steps by characters, not bytes: in a double-byte code page (932, 936, 949, 950) the
// second byte of a character may be 0x5C, the backslash ("\x95\x5C" is one character in 932),
// and must never be taken for a separator.
#include "system/paths.h"

#include "support/heap.h"
#include "support/text_compare.h"

static bool isSeparator(char c) { return c == '\\' || c == '/'; }

char* lastOf(const char* text, char wanted) {
    const char* found = nullptr;
    for (const char* c = text; *c; c = CharNextA(c))
        if (*c == wanted) found = c;
    return const_cast<char*>(found);
}

char* lastBackslash(const char* path) { return lastOf(path, '\\'); }

char* lastCharacter(const char* text) {
    const char* last = nullptr;
    for (const char* c = text; *c; c = CharNextA(c)) last = c;
    return const_cast<char*>(last);
}

void stripTrailingSlash(char* path) {
    char* last = lastCharacter(path);
    if (last && isSeparator(*last)) *last = 0;
}

char* joinPath(const char* base, const char* name) {
    if (lastOf(name, ':')) return duplicateText(name);
    if (*name == '\\') ++name;
    char* joined = duplicateText(base, textLength(name) + 1);
    if (!joined) return nullptr;
    stripTrailingSlash(joined);
    if (*name) {
        DWORD length = textLength(joined);
        joined[length] = '\\';
        copyBytes(joined + length + 1, name, textLength(name) + 1);
    }
    return joined;
}

const char* fileNamePart(const char* path) {
    const char* separator = lastBackslash(path);
    return separator ? separator + 1 : path;
}

char* baseNameWithoutExtension(const char* path) {
    char* name = duplicateText(fileNamePart(path));
    char* dot = name ? lastOf(name, '.') : nullptr;
    if (dot) *dot = 0;
    return name;
}

char* parentPath(const char* path) {
    char* parent = duplicateText(path);
    char* separator = parent ? lastBackslash(parent) : nullptr;
    if (separator) *separator = 0;
    return parent;
}

static bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

static bool holdsDoubleBackslash(const char* text) {
    for (const char* c = text; *c; c = CharNextA(c))
        if (c[0] == '\\' && c[1] == '\\') return true;
    return false;
}

bool isBareDrive(const char* path) { return isLetter(path[0]) && path[1] == ':' && path[2] == 0; }

bool folderHolds(const char* folder, const char* path) {
    DWORD length = textLength(folder);
    char* start = duplicateText(path);
    if (start && textLength(start) > length && start[length] == '\\') start[length] = 0;
    bool inside = start && !start[length] && sameTextIgnoringCase(start, folder);
    heapFree(start);
    return inside;
}

// "\\server\share": a server name, then a backslash and a share of at least one character.
static bool isNetworkPath(const char* path) {
    const char* server = path + 2;
    const char* c = server;
    while (*c && *c != '\\') c = CharNextA(c);
    return c > server && c[0] == '\\' && c[1] != 0;
}

bool isValidPath(const char* path) {
    if (!path || !*path) return false;
    for (const char* at = path; *at; at = CharNextA(at)) {
        char c = *at;
        if (lastOf("?*/<>|", c)) return false;  // one of the refused characters
        if (c == ':' && at - path >= 2) return false;
    }
    if (path[0] == '\\' && path[1] == '\\' && !holdsDoubleBackslash(path + 1)) return isNetworkPath(path);
    if (holdsDoubleBackslash(path)) return false;
    return isLetter(path[0]) && path[1] == ':' && (path[2] == 0 || path[2] == '\\');
}
