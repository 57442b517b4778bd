// record_dump.h -- the script part of `inspect`: every record decoded for people.
#pragma once
// The C99 printf checks also on MinGW, whose "printf" archetype is the old system library's.
#ifdef __MINGW32__
#define VELKORIN_PRINTF gnu_printf
#else
#define VELKORIN_PRINTF printf
#endif
#include <string>

#include "byte_buffer.h"

// Lines of a report.
struct Report {
    std::string* text;
    // Appends one formatted line.
    void line(const char* format, ...) __attribute__((format(VELKORIN_PRINTF, 2, 3)));
};

// A text in double quotes with non-printable bytes as \xNN.
std::string quoted(const std::string& text);
// Describes each record of an inflated script, up to its terminator.
void describeRecords(Report& r, const Bytes& script);
