// security.h -- restarting the computer, and testing rights on folders and keys before writing.
#pragma once
#include "support/platform.h"

constexpr DWORD objectFile = 1;         // SE_FILE_OBJECT: a file or folder
constexpr DWORD objectRegistryKey = 4;  // SE_REGISTRY_KEY
constexpr DWORD rightAddFile = 2;       // FILE_ADD_FILE on a folder
constexpr DWORD rightAddSubfolder = 4;  // FILE_ADD_SUBDIRECTORY on a folder

// Loads the access-check functions (none needed on Windows 95); false when one is missing.
bool loadSecurityFunctions();
// Releases them.
void unloadSecurityFunctions();
// Opens the thread's own token (impersonating the process) for checkAccess; null on failure.
HANDLE openAccessToken();
// Whether token may have desiredAccess on an object (path, or key name like "MACHINE\\SOFTWARE\\X");
// *granted receives the verdict (true when nothing can be tested). Returns 0, or the system error
// that kept the test from being made.
DWORD checkAccess(HANDLE token, const char* objectName, DWORD objectType, DWORD desiredAccess, bool* granted);
// Restarts the computer (force: close programs without asking); false when it could not start.
bool restartSystem(bool force);
// The full path of the system folder's shutdown.exe into path (MAX_PATH + 16 bytes); false when
// the system folder is unknown.
bool shutdownProgramPath(char* path);
// The restart's fall-back: starts the system folder's shutdown.exe to restart the computer;
// false when it could not be started.
bool startShutdownProgram();
