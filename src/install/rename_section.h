// rename_section.h -- the [Rename] section of wininit.ini, which Windows 9x works through at the
// next start: each line "target=source" (short paths; "NUL" as target deletes the source).
#pragma once
#include "support/platform.h"

// Room the insertion may need beyond the current data for a line of lineLength bytes.
constexpr DWORD renameSlack(DWORD lineLength) { return lineLength + 8 + 2; }

// Inserts line (which starts with "\r\n") at the end of the [Rename] section of the size bytes
// at data, before the blank lines that precede the next section; without such a section the
// section is appended (after a line break when the file holds other sections). data must have
// room for size + renameSlack(line length) bytes. Returns the new size.
DWORD insertRenameLine(char* data, DWORD size, const char* line);
