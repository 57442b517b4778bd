// directory_chain.h -- creating a folder with every missing level above it, logging each level
// the installation created so that the uninstaller can remove it again.
#pragma once
#include "support/platform.h"

// Where the folder levels of a full path begin: after its root (the drive, or the server and
// share of a network path) and one separator. Portable.
DWORD pathLevelsStart(const char* path);
// Creates path and its missing parents; logs "a" for each created level and for path itself.
// Asks about every failure (owned by ownerWindow). 0 when the folder exists afterwards or the
// user chose to go on; otherwise the system error (the caller then aborts).
DWORD createDirectoryChain(const char* path, HANDLE logFile, HWND ownerWindow);
// CreateDirectory of path: 0 when the folder exists afterwards (*created: made now); otherwise the
// error, *probeDenied telling whether looking for the folder was refused as well.
DWORD createFolder(const char* path, bool* created, bool* probeDenied);
// Asks about a folder that createFolder could not make (asked: the path the caller wanted).
// Access denied: error text 36 (37 when the parent is a bare drive) when probeDenied or when the
// parent grants adding subfolders, else 35 (38), with asked and the parent; with bareDriveTexts
// clear 36 and 35 serve drives as well. Other errors: text 21 with path and the system's text.
// Clears state.installOk; true for Yes.
bool askFolderFailure(HWND owner, const char* asked, const char* path, DWORD error, bool probeDenied,
                      bool bareDriveTexts);
