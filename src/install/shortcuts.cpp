// shortcuts.cpp -- creating shell links through the shell's link object.
#include "install/shortcuts.h"

#include <shlobj.h>

#include "format/package_format.h"
#include "install/directory_chain.h"
#include "install/install_log.h"
#include "install/shared_files.h"
#include "install/worker_control.h"
#include "script/fields.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "system/file_system.h"
#include "system/paths.h"

static const GUID shellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID shellLinkInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID persistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

static bool saveLink(IShellLinkA* link, const char* path) {
    IPersistFile* file = nullptr;
    if (link->QueryInterface(persistFileInterface, reinterpret_cast<void**>(&file)) != S_OK) return false;
    WCHAR widePath[1024];
    bool saved = MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, 1024) && file->Save(widePath, TRUE) == S_OK;
    file->Release();
    return saved;
}

bool createShortcut(const ShortcutRequest& r) {
    IShellLinkA* link = nullptr;
    if (CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface,
                         reinterpret_cast<void**>(&link)) != S_OK)
        return false;
    link->SetPath(r.target);
    link->SetWorkingDirectory(r.workingFolder);
    if (r.showCommand) link->SetShowCmd(r.showCommand);
    if (r.hotKey) link->SetHotkey(r.hotKey);
    if (*r.iconFile) link->SetIconLocation(r.iconFile, r.iconIndex);
    link->SetArguments(r.arguments);
    bool saved = saveLink(link, r.linkPath);
    link->Release();
    return saved;
}

// The record's fields after folder tokens, then variables, were expanded.
static bool splitShortcut(const char* text) {
    char* tokens = expandFolderTokens(text);
    char* expanded = tokens ? expandVariables(tokens) : nullptr;
    heapFree(tokens);
    if (!expanded) return false;
    splitFields(expanded, false);
    heapFree(expanded);
    return true;
}

static int numberOr(int index, int fallback) { return *field(index) ? toNumber(field(index)) : fallback; }

// One record that passed the filter; false when the installation is to be aborted. The request
// points into the split fields, which nothing between the split and the link creation splits again.
static bool createOneShortcut(HWND page, const char* text) {
    if (!splitShortcut(text)) return true;
    char* link = duplicateText(field(0));
    char* folder = duplicateText(*field(3) ? field(3) : lookupVariable("%InstallPath%"));
    char* parent = link ? parentPath(link) : nullptr;
    if (!link || !folder || !parent) return true;  // heap exhausted: nothing to create
    stripTrailingSlash(folder);
    ShortcutRequest request = {link, field(1), field(2), folder, field(4), numberOr(5, 0), numberOr(6, 1),
                               static_cast<WORD>(numberOr(7, 0))};
    bool shared = numberOr(8, 0) != 0;
    bool existed = pathExists(link);
    setPageText(page, pageItemLabel, link);
    bool goOn = true;
    if (createDirectoryChain(parent, state.logFile, page) != 0) {
        state.installOk = false;
        goOn = false;
    } else if (createShortcut(request)) {
        char kind[2] = {shared ? logShared : logLink, 0};
        appendLogLine(state.logFile, kind, link, shared || !existed, false);
        if (shared) adjustSharedCount(link, false);
    } else {
        state.installOk = false;
        goOn = continueAfterError(page, 27, link);
    }
    heapFree(link);
    heapFree(folder);
    heapFree(parent);
    return goOn;
}

bool createShortcuts(HWND page) {
    for (int i = 0; i < listCount(&state.shortcuts); ++i) {
        if (!workerCheckPoint()) return false;
        const char* text = listAt(&state.shortcuts, i);
        if (!text || shortcutFilteredOut(text)) continue;
        if (!createOneShortcut(page, text)) return false;
    }
    return true;
}
