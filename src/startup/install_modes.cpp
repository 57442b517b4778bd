// install_modes.cpp -- silent installation and the messages at the end of an installation.
#include "startup/install_modes.h"

#include "format/package_format.h"
#include "install/install_worker.h"
#include "install/launches.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "startup/run_modes.h"
#include "system/security.h"
#include "ui/messages.h"

static const char* message(int item) {
    const char* t = text(tableMessages, item);
    return t ? t : "";
}

const char* rebootQuestionText() {
    return message(state.rebootForFilesInUse && listCount(&state.rebootReplaceFiles) > 0 ? 5 : 1);
}

bool restartOrReport(UINT modality) {
    if (restartSystem(false)) return true;
    const char* failure = text(tableErrors, 29);
    showMessage(nullptr, state.setupCaption, failure ? failure : "", nullptr, nullptr, nullptr, MB_ICONERROR | modality);
    return false;
}

void runPageActions(int first, int last) {
    for (int page = first; page <= last; ++page)
        runActionLists(&state.pages[page].launchesAfter, &state.pages[page].dllCallsAfter);
}

bool installationRanToItsEnd() { return WaitForSingleObject(state.installDoneEvent, 0) == WAIT_OBJECT_0; }

DWORD runSilentInstall() {
    state.ownerWindow = GetDesktopWindow();
    runPageActions(0, 9);
    state.workerThread = CreateThread(nullptr, 0, installWorker, nullptr, 0, &state.workerThreadId);
    if (!state.workerThread) return exitFailed;
    WaitForSingleObject(state.workerThread, INFINITE);
    CloseHandle(state.workerThread);
    state.workerThread = nullptr;
    // After an abort the rollback has undone the installation: the actions due after it would
    // start or register what is gone (the wizard runs none either once it was stopped).
    if (!installationRanToItsEnd()) return exitFailed;
    runPageActions(10, 11);
    if (!state.installOk)
        showMessage(state.ownerWindow, state.setupCaption, message(9), nullptr, nullptr, nullptr,
                    MB_ICONWARNING | MB_SYSTEMMODAL);
    bool restarting = false;
    if (state.restartAtEnd &&
        showMessage(state.ownerWindow, state.setupCaption, rebootQuestionText(), nullptr, nullptr, nullptr,
                    MB_ICONQUESTION | MB_YESNO | MB_SYSTEMMODAL) == IDYES)
        restarting = restartOrReport(MB_SYSTEMMODAL);
    if (!state.installOk) return exitFailed;
    return state.rebootRequired && !restarting ? exitRestartPending : exitSuccess;
}
