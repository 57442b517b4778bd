// file_version.h -- the version of a file on disk, from its version resource or, for libraries,
// their DllGetVersion export. A version is (major << 16 | minor, build << 16 | revision).
#pragma once
#include "support/platform.h"

struct FileVersion {
    DWORD ms;  // major << 16 | minor
    DWORD ls;  // build << 16 | revision
};

// Loads the version library (by full path); false when it or VerQueryValueA is missing.
bool loadVersionFunctions();
// Releases the version library.
void unloadVersionFunctions();
// The fixed file version of the first version resource; with checkType only for Windows programs.
bool readFileVersion(const char* path, FileVersion* version, bool checkType);
// DllGetVersion of a library (.dll, .ocx, .tlb when checkType), else readFileVersion.
bool readDllVersion(const char* path, FileVersion* version, bool checkType);
// "%u.%u.%u.%u" of readDllVersion into text (64 bytes); empty and false when there is none.
bool formatFileVersion(const char* path, char* text, bool checkType);
// -1, 0 or 1 as a is older than, equal to or newer than b (one unsigned 64-bit number).
inline int compareVersions(FileVersion a, FileVersion b) {
    if (a.ms != b.ms) return a.ms > b.ms ? 1 : -1;
    if (a.ls != b.ls) return a.ls > b.ls ? 1 : -1;
    return 0;
}
