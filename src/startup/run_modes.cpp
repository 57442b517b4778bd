// run_modes.cpp -- the program's run: stages, package, run mode, clean-up.
#include "startup/run_modes.h"

#include "install/launches.h"
#include "install/reboot.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "startup/install_modes.h"
#include "startup/package_file.h"
#include "startup/startup_stages.h"
#include "system/requirements.h"
#include "system/security.h"
#include "ui/message_box.h"
#include "ui/messages.h"
#include "uninstall/uninstaller.h"

// Stages run before the package check, in this order; a failure of any but 2 and 7 ends the run.
static bool runStartupStages() {
    static const BYTE order[] = {0, 2, 5, 3, 4, 6, 7};
    for (BYTE stage : order)
        if (!runStartupStage(stage) && stage != 2 && stage != 7) return false;
    return true;
}

// A first argument that begins with S (the line is upper-cased) selects the silent install.
static bool silentRequested() { return state.argumentCount > 1 && state.arguments[1][0] == 'S'; }

static const char* uninstallText(int item) {
    const char* t = text(12, item);
    return t ? t : "";
}

// Files the removal could not delete go at the next restart; the user may restart now. Returns
// whether the restart is under way.
static bool scheduleRebootDeletions() {
    for (int i = 0; i < listCount(&state.rebootDeletePaths); ++i)
        scheduleReplaceOnReboot(listAt(&state.rebootDeletePaths, i), nullptr);
    if (state.silentMode ||
        showMessage(nullptr, uninstallText(0),
                    "To complete the uninstallation your computer must be restarted. \nSome files are in use and can "
                    "be deleted during system reboot only. \n\nRestart the system now?",
                    nullptr, nullptr, nullptr, MB_ICONQUESTION | MB_YESNO) != IDYES)
        return false;
    if (restartSystem(false)) return true;
    // No setup script is read in uninstall mode: the error table has no text of its own then.
    const char* failure = text(tableErrors, 29);
    showMessage(nullptr, uninstallText(0),
                failure ? failure : "An error occurred while trying to reboot the system. Please restart your machine.",
                nullptr, nullptr, nullptr, MB_ICONERROR);
    return false;
}

// The uninstaller, then the end of a removal that ran to its end: restart deletions and their
// question, or the success message when nothing was left in place.
static DWORD runUninstallMode() {
    CloseHandle(state.selfFile);
    state.selfFile = INVALID_HANDLE_VALUE;
    DWORD code = runUninstaller(false);
    if (WaitForSingleObject(state.uninstallDoneEvent, 0) != WAIT_OBJECT_0) return code;
    if (listCount(&state.rebootDeletePaths)) return scheduleRebootDeletions() ? exitSuccess : exitRestartPending;
    if (!listCount(&state.leftoverPaths) && !state.silentMode)
        showMessage(nullptr, uninstallText(0), "%s have been succesfully removed from your computer.",
                    uninstallText(9), nullptr, nullptr, 0);
    return exitSuccess;
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
