// uninstaller.h -- the uninstaller's entry: the rollback of a cancelled installation, and the two
// stages of a removal started by the user.
#pragma once
#include "support/platform.h"

// With rollback set: undoes the temporary install log (state.tempLogPath) without a window; the
// log file is deleted before the first entry is undone. Otherwise the stage is chosen from the
// command line (see chooseLogPath): the first stage asks for confirmation and starts a temporary
// copy of the program with the log's path; the second stage reads the log. Returns when the
// stage's work is done; a missing or damaged log ends it silently. A first stage whose command
// line asks for silence (first argument beginning with S) removes in place, without window or
// question. Returns the exit code when no removal ran to its end here: 0 handed over, 1 declined
// or stopped, 2 failed (no log, damaged log, no hand-over); the rollback returns 0.
DWORD runUninstaller(bool rollback);
// Loads the log file at path into logText and reads its header; false when it cannot be read or
// its header is damaged.
bool loadInstallLog(const char* path);
