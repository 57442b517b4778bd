// wizard_mode.cpp -- the installation through the wizard and what follows it: the after-page
// actions still due, the end messages, the finish page's offers and the restart.
#include "install/launches.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "startup/install_modes.h"
#include "startup/run_modes.h"
#include "startup/startup_stages.h"
#include "support/heap.h"
#include "ui/background_window.h"
#include "ui/messages.h"
#include "ui/wizard_frame.h"

constexpr int finishSlot = 11;

static const char* message(int item) {
    const char* t = text(tableMessages, item);
    return t ? t : "";
}

// The loop has no keyboard translation: the frame's dialog handling takes the keys.
static void runMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        if (!IsDialogMessageA(state.frameDialog, &message)) DispatchMessageA(&message);
}

// Opens a finish offer through the shell, in the installation folder.
static void openOffer(const char* target) {
    char* expanded = expandVariables(target ? target : "");
    if (expanded && expanded[0])
        ShellExecuteA(nullptr, "open", expanded, nullptr, lookupVariable("%InstallPath%"), SW_SHOWNORMAL);
    heapFree(expanded);
}

// The messages after a completed installation; true when the computer is to restart now.
static bool endOfInstallation(UINT modality) {
    bool finishPage = state.pages[finishSlot].enabled;
    HWND owner = state.ownerWindow;
    if (!state.installOk && !finishPage)
        showMessage(owner, state.setupCaption, message(9), nullptr, nullptr, nullptr, MB_ICONWARNING | modality);
    if (state.rebootRequired) {
        if (finishPage && !state.restartAtEnd)
            showMessage(owner, state.setupCaption, message(10), state.productName ? state.productName : "", nullptr,
                        nullptr, modality);
        if (finishPage) return state.restartAtEnd;
        return state.restartAtEnd && showMessage(owner, state.setupCaption, rebootQuestionText(), nullptr, nullptr,
                                                 nullptr, MB_ICONQUESTION | MB_YESNO | modality) == IDYES;
    }
    if (state.openFinishReadme) openOffer(state.finishReadme);
    if (state.launchFinishProgram) openOffer(state.finishProgram);
    return false;
}

static DWORD wizardExitCode(bool completed, bool restarting) {
    if (!completed) return state.userCancelled ? exitCancelled : exitFailed;
    if (!state.installOk) return exitFailed;
    return state.rebootRequired && !restarting ? exitRestartPending : exitSuccess;
}

DWORD runWizardInstall() {
    runStartupStage(1);
    if (state.showBackground) state.backgroundWindow = createBackgroundWindow(state.instance);
    state.ownerWindow = state.backgroundWindow ? state.backgroundWindow : GetDesktopWindow();
    state.frameDialog = createWizardFrame();
    if (!state.frameDialog) {
        const char* failure = text(tableErrors, 0);
        showMessage(nullptr, state.setupCaption, failure ? failure : "", nullptr, nullptr, nullptr, MB_ICONERROR);
        return exitFailed;
    }
    runMessageLoop();
    if (state.wizardEventPage >= 0) runPageActions(state.wizardEventPage > finishSlot ? finishSlot : state.wizardEventPage, finishSlot);
    UINT modality = state.showBackground ? 0 : MB_SYSTEMMODAL;
    bool completed = installationRanToItsEnd();
    bool restart = completed && endOfInstallation(modality);
    if (state.backgroundWindow) DestroyWindow(state.backgroundWindow);
    state.backgroundWindow = nullptr;
    bool restarting = restart && restartOrReport(modality);
    return wizardExitCode(completed, restarting);
}
