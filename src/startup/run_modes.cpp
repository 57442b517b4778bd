// run_modes.cpp -- the program's run: stages, package, run mode, clean-up.
#include "startup/run_modes.h"

#include "script/setup_state.h"
#include "startup/package_file.h"
#include "startup/startup_stages.h"
#include "ui/message_box.h"

// Stages run before the package check, in this order; a failure of any but 2 and 7 ends the run.
static bool runStartupStages() {
    static const BYTE order[] = {0, 2, 5, 3, 4, 6, 7};
    for (BYTE stage : order)
        if (!runStartupStage(stage) && stage != 2 && stage != 7) return false;
    return true;
}

// A first argument that begins with S (the line is upper-cased) selects the silent install.
static bool silentRequested() { return state.argumentCount > 1 && state.arguments[1][0] == 'S'; }

// The uninstaller is not part of this build yet: without it nothing can be removed, so the run
// ends at once, without a window, and says so through its exit code.
static DWORD runUninstallMode() {
    CloseHandle(state.selfFile);
    state.selfFile = INVALID_HANDLE_VALUE;
    traceLine("Velkorin: no package attached; uninstall mode");
    return exitFailed;
}

// The wizard and the install worker are not part of this build yet: the package has been proven
// and read, nothing has been installed, and the exit code says so.
static DWORD runInstallMode() {
    char line[96];
    wsprintfA(line, "Velkorin: package verified, %u records read, %s mode", static_cast<unsigned>(state.recordsRead),
              state.silentMode ? "silent" : "wizard");
    traceLine(line);
    return exitFailed;
}

static DWORD runModes() {
    if (!runStartupStages()) return exitFailed;
    state.silentMode = silentRequested();
    switch (verifyPackage()) {
    case packageAbsent: return runUninstallMode();
    case packageFailed: return exitFailed;
    case packageLoaded: return runInstallMode();
    }
    return exitFailed;
}

DWORD runProgram() {
    resetSetupState();
    DWORD code = runModes();
    cleanUpStartup();
    return code;
}
