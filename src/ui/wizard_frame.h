// wizard_frame.h -- the wizard's frame: the page slots and their navigation, the destination
// checks on Next, Cancel (with the rollback of a running installation), the install worker's
// end, the footer's painting and the maker link.
#pragma once
#include "support/platform.h"

// Creates the frame (template dialogIdBase + 142) owned by state.ownerWindow; null on failure.
HWND createWizardFrame();
// Dialog procedure of the frame.
INT_PTR CALLBACK frameProcedure(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);
// Whether the destination folder typed on the open page may be used; shows the reason when not.
bool destinationAccepted(HWND frame);
// Waits for the worker thread to end while delivering what it sends to the page's controls.
void waitForWorker();
