// message_box.h -- the fixed English messages shown before the script (and its language tables)
// is loaded: caption "Velkorin", error icon, OK.
#pragma once
#include "support/platform.h"

// Shows text as a start-up or package failure.
void showStartupError(const char* text);
// Shows "Error loading %s library." with the library's name.
void showLibraryError(const char* library);
// Shows the system's text for the last error code.
void showLastSystemError();
// Writes a line for a debugger (Wine shows it with WINEDEBUG=+debugstr).
void traceLine(const char* text);
