// worker_control.cpp -- page updates and questions of the install worker (the check point is in
// worker_check_point.cpp).
#include "install/worker_control.h"

#include "format/package_format.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "system/file_system.h"
#include "ui/messages.h"

void setPageText(HWND page, int control, const char* text) {
    if (!page) return;
    HWND label = GetDlgItem(page, control);
    SetWindowTextA(label, text);
    RECT area;
    windowRectInParent(label, &area);
    InvalidateRect(page, &area, TRUE);
    UpdateWindow(page);
}

void setProgress(HWND page, int percent) {
    if (page) SendDlgItemMessageA(page, pageProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

int askError(HWND page, int item, const char* arg1, const char* arg2, const char* arg3, UINT style) {
    const char* format = text(tableErrors, item);
    return showMessage(page, state.setupCaption, format ? format : "", arg1, arg2, arg3, style);
}

bool continueAfterError(HWND page, int item, const char* arg1, const char* arg2, const char* arg3) {
    return askError(page, item, arg1, arg2, arg3) == IDYES;
}
