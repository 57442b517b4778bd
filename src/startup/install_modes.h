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
