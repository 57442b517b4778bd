// folder_pages.h -- the destination page (installation folder, disk line, folder browser) and
// the Start-menu folder page (program group, existing groups, the three shortcut boxes).
#pragma once
#include "support/platform.h"

// Bytes free for the caller on the drive of root ("C:"), 0 on failure.
ULONGLONG freeSpaceOf(const char* root);
// The free-space text of a byte count: "%u Kb", or "%u Mb" above 999,999 Kb.
void formatFreeSpace(ULONGLONG bytes, char* out);

// Destination page: set-up, edit change and Browse, and the folder stored when it closes.
void setUpDestinationPage(HWND page);
void destinationEditChanged(HWND page);
void browseDestination(HWND page);
void storeDestination(HWND page);

// Start-menu folder page: set-up, commands, and the group and choices stored when it closes.
void setUpStartMenuPage(HWND page);
bool startMenuCommand(HWND page, WORD id, WORD code);
void storeStartMenu(HWND page);
