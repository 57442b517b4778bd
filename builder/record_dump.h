// record_dump.h -- the script part of `inspect`: every record decoded for people.
#pragma once
#include <string>

#include "byte_buffer.h"

// Lines of a report.
struct Report {
    std::string* text;
    // Appends one formatted line.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// A text in double quotes with non-printable bytes as \xNN.
std::string quoted(const std::string& text);
// Describes each record of an inflated script, up to its terminator.
void describeRecords(Report& r, const Bytes& script);
