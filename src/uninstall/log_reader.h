// log_reader.h -- the install log read back by the uninstaller and the rollback: which log this
// process reads, the header that carries the product's names and the installer's look, and the
// entry lines that the removal worker undoes. Every reader here is bounded by the bytes read.
#pragma once
#include "support/platform.h"

// The loaded log: logText holds the file's bytes and a zero byte after them; the entry lines
// run from logEntries to logEnd (the end of the bytes read). Kept until the process ends.
extern char* logText;
extern char* logEntries;
extern char* logEnd;

// Chooses the log from the process command line: the argument (after the quoted program path,
// spaces trimmed) when it is longer than 4 characters and ends in ".log" in any case -- the second
// stage, true; otherwise the first stage, false, and the log named after the program beside it.
// *logPath receives a new text (null when the heap is exhausted).
bool chooseLogPath(const char* commandLine, const char* programPath, char** logPath);
// Reads the header of the size bytes at text (text[size] must be 0): the exact title line, the
// product title and name, and the look line (dialog set, colours, fonts) into the global state.
// The header's line feeds are cut to zeros. Returns the first entry line, or null when the title
// differs or line 2, 3 or 4 has no line feed (nothing is changed then).
char* readLogHeader(char* text, DWORD size);
