// file_system.h -- folder and file operations on the system: existence, emptiness, the nearest
// existing folder, recursive deletion, the program's own path, the temporary folder, and the
// system's folder browser. New texts come from the private heap and belong to the caller.
#pragma once
#include "support/platform.h"

// Whether a file or folder exists; on false the search's error is the thread's last error.
bool pathExists(const char* path);
// Whether a system error says that the path (or a folder on it) does not exist.
inline bool isNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }
// Whether a folder holds no subfolders (and, with countFiles, no files); unreadable counts as empty.
bool folderIsEmpty(const char* folder, bool countFiles);
// The nearest existing folder of path (a drive gets its backslash) in *ancestor; 0, or the
// system error when nothing of the path exists (*ancestor null).
DWORD existingAncestor(const char* path, char** ancestor);
// Deletes a folder with everything in it, read-only files included; a junction or symbolic link
// inside it (or the folder itself when it is one) is removed as a link, never followed, and left
// in place where the system cannot remove a folder link as itself (Wine). Whether the folder went.
bool deleteTree(const char* folder);
// Full file name of a module (null: the program).
char* moduleFileName(HMODULE module);
// Folder of a module, without a trailing backslash.
char* moduleFolder(HMODULE module);
// The system's temporary folder without a trailing separator; null when there is none.
char* tempFolder();
// Lets the user pick a folder under My Computer, starting at initialPath; false when cancelled.
bool browseForFolder(HWND owner, const char* title, const char* initialPath, char* chosen);
// The window's rectangle in its parent's client coordinates.
void windowRectInParent(HWND window, RECT* rectangle);
