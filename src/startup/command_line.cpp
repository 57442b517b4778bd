// command_line.cpp -- the argument splitter of start-up stage 7.
#include "startup/command_line.h"

int splitArguments(char* text, char** arguments, int maxCount) {
    int count = 0;
    char* cursor = text;
    for (;;) {
        while (*cursor == ' ') ++cursor;
        char* start = cursor;
        char stop = ' ';
        if (*cursor == '"') {
            start = ++cursor;
            stop = '"';
        }
        while (*cursor && *cursor != stop) ++cursor;
        if (count < maxCount) arguments[count++] = start;
        if (!*cursor) break;
        *cursor++ = 0;
    }
    return count;
}
