// dialog_watch.cpp -- finds this process's dialog, reads it and presses a control.
#include "dialog_watch.h"

BOOL CALLBACK findOwnDialog(HWND window, LPARAM found) {
    char className[16];
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetClassNameA(window, className, sizeof(className)) &&
        lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

static DWORD WINAPI watchDialog(void* parameter) {
    DialogWatch* watch = static_cast<DialogWatch*>(parameter);
    for (int tries = 0; tries < 500; ++tries) {
        HWND dialog = nullptr;
        EnumWindows(findOwnDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog) {
            char buffer[2048];
            GetWindowTextA(dialog, buffer, sizeof(buffer));
            watch->caption = buffer;
            GetDlgItemTextA(dialog, watch->textId, buffer, sizeof(buffer));
            watch->text = buffer;
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(watch->answerId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, watch->answerId)));
            return 1;
        }
        Sleep(10);
    }
    return 0;
}

void startWatch(DialogWatch* watch, int answerId, int textId) {
    watch->answerId = answerId;
    watch->textId = textId;
    watch->thread = CreateThread(nullptr, 0, watchDialog, watch, 0, nullptr);
}

bool finishWatch(DialogWatch* watch) {
    WaitForSingleObject(watch->thread, INFINITE);
    DWORD found = 0;
    GetExitCodeThread(watch->thread, &found);
    CloseHandle(watch->thread);
    return found != 0;
}
