// wizard_pages.h -- what each wizard page type does beyond the shared page procedure: its
// set-up after the texts are loaded, its commands, and the values it stores when it closes.
#pragma once
#include "support/platform.h"

// Runs the set-up of the open page's type (state.pageType).
void setUpPage(HWND page);
// Handles a WM_COMMAND of the open page (language choice, folder pages); true when handled.
bool pageCommand(HWND page, WORD id, WORD code);
// Stores the open page's values into the state (destination, Start-menu folder, finish choices).
void storePage(HWND page);
