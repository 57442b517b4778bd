// directory_levels.cpp -- where the levels of a full path begin (no system calls but the code
// page's character steps: a double-byte character's second byte may be a backslash).
#include "install/directory_chain.h"

// The position after the characters that are not a backslash.
static const char* skipName(const char* c) {
    while (*c && *c != '\\') c = CharNextA(c);
    return c;
}

DWORD pathLevelsStart(const char* path) {
    const char* at = path;
    if (path[0] == '\\' && path[1] == '\\') {
        at = skipName(path + 2);  // the server
        if (*at) at = skipName(at + 1);  // the share
    } else if (path[0] && path[1] == ':') {
        at = path + 2;
    }
    if (*at == '\\' || *at == '/') ++at;
    return static_cast<DWORD>(at - path);
}
