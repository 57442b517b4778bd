// overwrite.h -- whether a packaged file replaces a file that already exists at its target.
#pragma once
#include "install/file_version.h"

// What is known of the packaged file and of the existing one.
struct OverwriteFacts {
    DWORD mode;               // OverwriteMode of the file's group
    DWORD compareBy;          // CompareBy of the file's group
    int timeOrder;            // packaged last-write time against the existing one: -1, 0 or 1
    FileVersion packaged;     // version of the packaged file (0.0 when it has none)
    bool existingHasVersion;  // whether the existing file has a version resource
    FileVersion existing;
};

// True when the existing file is to be replaced. Modes past "never" keep the existing file.
bool decideOverwrite(const OverwriteFacts& facts);
