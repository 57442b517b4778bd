// run_modes.cpp -- the program's run: stages, package, run mode, clean-up.
#include "startup/run_modes.h"

#include "install/launches.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "startup/install_modes.h"
#include "startup/package_file.h"
#include "startup/startup_stages.h"
#include "system/requirements.h"
#include "ui/message_box.h"
#include "ui/messages.h"

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

// The start actions, then the chosen way of installing.
static DWORD runInstallMode() {
    char line[96];
    wsprintfA(line, "Velkorin: package verified, %u records read, %s mode", static_cast<unsigned>(state.recordsRead),
              state.silentMode ? "silent" : "wizard");
    traceLine(line);
    runActionLists(&state.startLaunches, &state.startDllCalls);
    return state.silentMode ? runSilentInstall() : runWizardInstall();
}

// The requirement check after the script walk: an unmet requirement ends the run with its message
// (1: message 11, 2: message 12, 3..6: message 13 naming the component) before anything changed.
static bool requirementsAllowInstall() {
    int result = checkRequirements();
    if (result == requirementsMet) return true;
    const char* missingNames[] = {state.missingOsName, state.missingIeName, state.missingDirectXName,
                                  state.missingAccessName};
    int item = result == requirementAdminMissing ? 11 : result == requirementNtMissing ? 12 : 13;
    const char* format = text(tableMessages, item);
    const char* missing = result >= requirementOsMissing ? missingNames[result - requirementOsMissing] : nullptr;
    showMessage(nullptr, state.setupCaption, format ? format : "", missing, nullptr, nullptr, MB_ICONWARNING | MB_OK);
    return false;
}

static DWORD runModes() {
    if (!runStartupStages()) return exitFailed;
    state.silentMode = silentRequested();
    switch (verifyPackage()) {
    case packageAbsent: return runUninstallMode();
    case packageFailed: return exitFailed;
    case packageLoaded: return requirementsAllowInstall() ? runInstallMode() : exitFailed;
    }
    return exitFailed;
}

DWORD runProgram() {
    resetSetupState();
    DWORD code = runModes();
    cleanUpStartup();
    return code;
}
