// reboot_names.cpp -- which target names survive a rename in wininit.ini (8.3 names only).
#include "install/reboot.h"
#include "system/paths.h"

bool isLongFileName(const char* path) {
    const char* name = fileNamePart(path);
    const char* dot = nullptr;
    const char* end = name;
    for (; *end; ++end)
        if (*end == '.') dot = end;
    if (!dot) return end - name >= 9;
    return dot - name > 8 || end - dot - 1 >= 4;
}
