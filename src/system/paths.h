// paths.h -- path texts: joining, splitting and validating folders typed by the user.
// Results that are new texts come from the private heap and belong to the caller.
#pragma once
#include "support/platform.h"

// Paths are ANSI texts of the system's code page; every helper steps by characters, so the second
// byte of a double-byte character is never taken for a backslash.

// The last character of the text that is wanted (a single-byte character), or null.
char* lastOf(const char* text, char wanted);
// Where the last character of the text begins, or null for an empty text.
char* lastCharacter(const char* text);
// The last backslash of the path, or null.
char* lastBackslash(const char* path);
// Removes one final backslash or slash, in place.
void stripTrailingSlash(char* path);
// base and name joined by one backslash; a name holding ":" replaces the base; an empty name
// (after one leading backslash) gives the base alone.
char* joinPath(const char* base, const char* name);
// The part after the last backslash, or the whole path.
const char* fileNamePart(const char* path);
// The file name cut at its last dot.
char* baseNameWithoutExtension(const char* path);
// The path cut at its last backslash; a copy of the path when it has none.
char* parentPath(const char* path);
// Whether a typed folder is a full path: "C:", "C:\...", or "\\server\share...".
bool isValidPath(const char* path);
// Whether a path is a bare drive: a letter and a colon, nothing more.
bool isBareDrive(const char* path);
// Whether the folder holds the path somewhere below it (letters compared ignoring case).
bool folderHolds(const char* folder, const char* path);
