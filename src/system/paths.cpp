// paths.cpp -- path text helpers (no system calls).
#include "system/paths.h"

#include "support/heap.h"

static bool isSeparator(char c) { return c == '\\' || c == '/'; }

static char* lastBackslash(const char* path) {
    const char* found = nullptr;
    for (const char* c = path; *c; ++c)
        if (*c == '\\') found = c;
    return const_cast<char*>(found);
}

void stripTrailingSlash(char* path) {
    DWORD length = textLength(path);
    if (length && isSeparator(path[length - 1])) path[length - 1] = 0;
}

char* joinPath(const char* base, const char* name) {
    for (const char* c = name; *c; ++c)
        if (*c == ':') return duplicateText(name);
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
    char* dot = nullptr;
    for (char* c = name; c && *c; ++c)
        if (*c == '.') dot = c;
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
    for (const char* c = text; *c; ++c)
        if (c[0] == '\\' && c[1] == '\\') return true;
    return false;
}

bool isBareDrive(const char* path) { return isLetter(path[0]) && path[1] == ':' && path[2] == 0; }

// "\\server\share": a server name, then a backslash and a share of at least one character.
static bool isNetworkPath(const char* path) {
    const char* server = path + 2;
    const char* c = server;
    while (*c && *c != '\\') ++c;
    return c > server && c[0] == '\\' && c[1] != 0;
}

bool isValidPath(const char* path) {
    if (!path || !*path) return false;
    DWORD length = textLength(path);
    for (DWORD i = 0; i < length; ++i) {
        char c = path[i];
        if (c == '?' || c == '*' || c == '/' || c == '<' || c == '>' || c == '|') return false;
        if (c == ':' && i >= 2) return false;
    }
    if (path[0] == '\\' && path[1] == '\\' && !holdsDoubleBackslash(path + 1)) return isNetworkPath(path);
    if (holdsDoubleBackslash(path)) return false;
    return isLetter(path[0]) && path[1] == ':' && (path[2] == 0 || path[2] == '\\');
}
