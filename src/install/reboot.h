// reboot.h -- files handed to the system to be moved over their targets (or deleted) at the next
// restart: MoveFileEx where the system has it, else a RunOnce "move" for long target names, else
// a line in wininit.ini's [Rename] section.
#pragma once
#include "support/platform.h"

// Whether the file name of path (the part after the last backslash) is a long name: with a dot,
// more than 8 characters before the last dot or 4 or more after it; without a dot, 9 or more.
bool isLongFileName(const char* path);

#ifdef _WIN32
// Moves source over target at the next restart (target null or empty: deletes source); true when
// one of the three routes took the request.
bool scheduleReplaceOnReboot(const char* source, const char* target);
// scheduleReplaceOnReboot with the MoveFileEx route tried only when useMoveFileEx is set: lets
// the RunOnce and wininit.ini routes run on systems that have MoveFileEx.
bool scheduleReplaceVia(const char* source, const char* target, bool useMoveFileEx);
// MoveFileExA (looked up at run time) with replace-existing and delay-until-reboot.
bool moveFileAtReboot(const char* source, const char* target);
// HKLM RunOnce value named source: command.com /c move "source" "target".
bool addRunOnceMove(const char* source, const char* target);
// Line "target=source" (short paths; "NUL" without target) at the end of wininit.ini's [Rename].
bool appendRenameEntry(const char* source, const char* target);
#endif
