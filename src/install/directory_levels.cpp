// directory_levels.cpp -- where the levels of a full path begin (no system calls).
#include "install/directory_chain.h"

DWORD pathLevelsStart(const char* path) {
    DWORD at = 0;
    if (path[0] == '\\' && path[1] == '\\') {
        at = 2;
        while (path[at] && path[at] != '\\') ++at;  // the server
        if (path[at]) ++at;
        while (path[at] && path[at] != '\\') ++at;  // the share
    } else if (path[0] && path[1] == ':') {
        at = 2;
    }
    if (path[at] == '\\' || path[at] == '/') ++at;
    return at;
}
