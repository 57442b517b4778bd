// install_modes.h -- the two ways of installing a verified package: silently, or with the wizard.
#pragma once
#include "support/platform.h"

// Runs the pages' actions, the install worker (waiting for it) and the end messages, with no
// window of its own. Returns the exit code.
DWORD runSilentInstall();
// Message 5 when files in use wait for the restart, else message 1.
const char* rebootQuestionText();
// Restarts the computer; when that fails shows error 29 with the given extra style. True when
// the restart was started.
bool restartOrReport(UINT modality);
// Shows the wizard (over the background window when the script asks for it), then runs the
// remaining after-page actions, the end messages, the finish page's offers and the restart.
// Returns the exit code.
DWORD runWizardInstall();
// Runs the after-page actions of pages first..last, in page order.
void runPageActions(int first, int last);
// Whether the install worker ran to its end.
bool installationRanToItsEnd();
