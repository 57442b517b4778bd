// rename_section.cpp -- placing a line into wininit.ini's [Rename] section.
#include "install/rename_section.h"

#include "support/heap.h"

static char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Position of the first occurrence of text in data[from..size), case-insensitive; size if none.
static DWORD findFrom(const char* data, DWORD from, DWORD size, const char* text) {
    DWORD length = textLength(text);
    for (DWORD at = from; at + length <= size; ++at) {
        DWORD i = 0;
        while (i < length && upper(data[at + i]) == upper(text[i])) ++i;
        if (i == length) return at;
    }
    return size;
}

static DWORD append(char* data, DWORD size, const char* text) {
    DWORD length = textLength(text);
    copyBytes(data + size, text, length);
    return size + length;
}

DWORD insertRenameLine(char* data, DWORD size, const char* line) {
    static const char section[] = "[Rename]";
    DWORD lineLength = textLength(line);
    DWORD sectionAt = findFrom(data, 0, size, section);
    if (sectionAt == size) {
        if (findFrom(data, 0, size, "[") < size) size = append(data, size, "\r\n");
        size = append(data, size, section);
        return append(data, size, line);
    }
    DWORD at = findFrom(data, sectionAt + sizeof(section) - 1, size, "[");
    while (at >= sectionAt + sizeof(section) - 1 + 2 && data[at - 2] == '\r' && data[at - 1] == '\n') at -= 2;
    copyBytes(data + at + lineLength, data + at, size - at);
    copyBytes(data + at, line, lineLength);
    return size + lineLength;
}
