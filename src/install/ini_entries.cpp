// ini_entries.cpp -- writing the script's INI records.
#include "install/ini_entries.h"

#include "format/package_format.h"
#include "install/directory_chain.h"
#include "install/install_log.h"
#include "install/worker_control.h"
#include "script/fields.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "system/file_system.h"
#include "system/folder_tokens.h"
#include "system/paths.h"

constexpr DWORD iniValueLimit = 0x7FFF;
constexpr int windowsToken = 25;

// A file that does not exist yet is logged for removal; its folder is made first. A bare file
// name goes where the profile functions put it, the Windows folder, and is tested there: a file
// of that name in the current folder says nothing about it. False on an abort.
static bool prepareIniFile(HWND page, const char* file) {
    if (fileNamePart(file) == file) {
        const char* windows = listAt(&state.folderPaths, windowsToken);
        char* placed = windows ? joinPath(windows, file) : nullptr;
        if (placed && !pathExists(placed)) appendLogLine(state.logFile, "b", placed, true, false);
        heapFree(placed);
        return true;
    }
    if (pathExists(file)) return true;
    char* folder = parentPath(file);
    DWORD refused = folder ? createDirectoryChain(folder, state.logFile, page) : 0;
    heapFree(folder);
    if (refused) {
        state.installOk = false;
        return false;
    }
    appendLogLine(state.logFile, "b", file, true, false);
    return true;
}

static const char* orAbsent(const char* text) { return *text ? text : nullptr; }

// Writes one record whose fields are split; the value may have the current one put before it.
static void writeIniValue(char* file, char* section, char* key, char* value, bool append) {
    char* current = nullptr;
    char* joined = nullptr;
    if (append && (current = static_cast<char*>(heapAlloc(iniValueLimit + 1))) != nullptr) {
        GetPrivateProfileStringA(section, key, "", current, iniValueLimit, file);
        joined = concatTexts(current, value);
    }
    WritePrivateProfileStringA(section, orAbsent(key), joined ? joined : orAbsent(value), file);
    heapFree(current);
    heapFree(joined);
}

static bool writeIniRecord(HWND page, const char* text) {
    char* expanded = expandVariables(text);
    if (!expanded) return true;
    splitFields(expanded, false);
    heapFree(expanded);
    char* file = duplicateText(field(0));
    char* section = duplicateText(field(1));
    char* key = duplicateText(field(2));
    char* value = duplicateText(field(3));
    bool append = *field(4) && lstrcmpA(field(4), "0") != 0;
    bool goOn = true;
    if (file && section && key && value) {
        setPageText(page, pageItemLabel, file);
        goOn = prepareIniFile(page, file);
        if (goOn) writeIniValue(file, section, key, value, append);
    }
    char* texts[] = {file, section, key, value};
    for (char* t : texts) heapFree(t);
    return goOn;
}

bool writeIniEntries(HWND page) {
    for (int i = 0; i < listCount(&state.iniEntries); ++i) {
        if (!workerCheckPoint()) return false;
        if (!writeIniRecord(page, listAt(&state.iniEntries, i))) return false;
    }
    return true;
}
