// destination_check.cpp -- the checks of the destination folder made when Next leaves its page:
// a full path, something of it existing, enough free space, the right to write there.
#include "resources/ids.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/text_compare.h"
#include "system/file_system.h"
#include "system/paths.h"
#include "system/security.h"
#include "ui/folder_pages.h"
#include "ui/messages.h"
#include "ui/wizard_frame.h"

constexpr int typedPathSize = 32768;

static bool refuse(HWND frame, DWORD table, int item, const char* argument = nullptr) {
    const char* format = text(table, item);
    showMessage(frame, state.setupCaption, format ? format : "", argument, nullptr, nullptr, MB_ICONERROR);
    return false;
}

// Checks the path: its nearest existing folder, that folder's drive's free space and rights.
static bool pathAccepted(HWND frame, const char* path) {
    if (!isValidPath(path)) return refuse(frame, tableMessages, 2);
    char* nearest = nullptr;
    DWORD error = existingAncestor(path, &nearest);
    if (!nearest) return refuse(frame, tableErrors, error == ERROR_ACCESS_DENIED ? 34 : 31);
    char root[3] = {nearest[0], ':', 0};
    bool accepted = true;
    if (freeSpaceOf(root) < state.package.requiredSpace) accepted = refuse(frame, tableErrors, 39);
    else {
        bool itself = sameTextIgnoringCase(nearest, path);
        bool granted = true;
        DWORD right = itself ? rightAddFile : rightAddSubfolder;
        if (checkAccess(state.threadToken, nearest, objectFile, right, &granted) == 0 && !granted)
            accepted = refuse(frame, tableErrors, itself ? 32 : 33, nearest);
    }
    heapFree(nearest);
    return accepted;
}

bool destinationAccepted(HWND frame) {
    char* path = static_cast<char*>(heapAlloc(typedPathSize));
    if (!path) return false;
    GetDlgItemTextA(state.pageDialog, IDC_FOLDER_EDIT, path, typedPathSize);
    bool accepted = pathAccepted(frame, path);
    heapFree(path);
    return accepted;
}
