// shared_files.h -- reference counts of files that several products install (the SharedDLLs key),
// so that only the last product's uninstaller removes such a file.
#pragma once
#include "support/platform.h"

// Raises (decrement false) or lowers (not below 0) the count of path in HKLM's SharedDLLs key and
// returns the new count. An absent or unreadable count is 0; a count of 0 deletes the value.
DWORD adjustSharedCount(const char* path, bool decrement);
