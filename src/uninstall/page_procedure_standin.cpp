// page_procedure_standin.cpp -- stands in for the shared page procedure until it is merged; the
// uninstaller window then closes at once. Deleted at the merge.
#include "support/platform.h"

__attribute__((weak)) INT_PTR CALLBACK pageProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}
