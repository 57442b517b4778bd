// startup_stages.cpp -- start-up stages: heap, libraries, events, lists, language names, own
// path and folder, temporary folder, own file, command line.
#include "startup/startup_stages.h"

#include "install/file_version.h"
#include "script/setup_state.h"
#include "startup/command_line.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "support/system_library.h"
#include "system/folder_tokens.h"
#include "system/requirements.h"
#include "system/security.h"
#include "system/windows_version.h"
#include "ui/appearance.h"
#include "ui/message_box.h"
#include "ui/page_painting.h"

constexpr DWORD longPathSize = 32767;

static bool createEvents() {
    state.uninstallDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state.installDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state.resumeEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    return state.uninstallDoneEvent && state.installDoneEvent && state.resumeEvent;
}

static bool prepareRuntime() {
    searchLibrariesInSystemFolderOnly();  // before the first library this program loads
    InitCommonControls();
    if (!heapCreate()) {
        showLastSystemError();
        return false;
    }
    state.instance = GetModuleHandleA(nullptr);
    if (!state.instance) {
        showStartupError("Error retrieving the module handle.");
        return false;
    }
    if (!loadSecurityFunctions()) {
        showLibraryError("advapi32.dll");
        return false;
    }
    if (!loadPointerArrayFunctions()) {
        showLibraryError("commctl32.dll");
        return false;
    }
    if (!loadShellFunctions()) {
        showLibraryError("shell32.dll");
        return false;
    }
    state.richEditLibrary = loadSystemLibrary("RichEd32.Dll");
    if (!state.richEditLibrary) {
        showLibraryError("riched32.dll");
        return false;
    }
    if (!createEvents()) {
        showStartupError("Error creating an event handle.");
        return false;
    }
    if (!createStateLists()) {
        showStartupError("Error creating DPA.");
        return false;
    }
    state.threadToken = openAccessToken();  // none: the access checks answer "allowed"
    // The version decides between all-users and per-user folders, so it is known before the
    // folder tokens are resolved.
    state.windowsVersion = detectWindowsVersion();
    resolveAllFolderTokens();
    detectInstalledSystem();
    return true;
}

static void readLanguageNames() {
    char name[128];
    for (int language = 1; language < static_cast<int>(languageSlots); ++language) {
        LCID locale = MAKELCID(MAKELANGID(language, SUBLANG_DEFAULT), SORT_DEFAULT);
        if (!GetLocaleInfoA(locale, LOCALE_SENGLANGUAGE, name, sizeof(name))) continue;
        for (char* c = name; *c; ++c)
            if (*c == ' ') *c = 0;
        listSetAt(&state.languageNames, language, name);
    }
}

static bool findProgramPath() {
    char* buffer = static_cast<char*>(heapAlloc(longPathSize));
    DWORD length = buffer ? GetModuleFileNameA(nullptr, buffer, longPathSize) : 0;
    if (length && length < longPathSize) state.programFilePath = duplicateText(buffer);
    heapFree(buffer);
    if (!state.programFilePath) {
        showStartupError("Error retrieving the installer module path.");
        return false;
    }
    return true;
}

static void findProgramFolder() {
    state.programFolderPath = duplicateText(state.programFilePath);
    char* lastSeparator = nullptr;
    for (char* c = state.programFolderPath; c && *c; ++c)
        if (*c == '\\') lastSeparator = c;
    if (lastSeparator) *lastSeparator = 0;
}

static bool findTempFolder() {
    char path[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof(path), path);
    if (!length || length >= sizeof(path)) {
        showStartupError("Error getting temporary path.");
        return false;
    }
    if (path[length - 1] == '\\' || path[length - 1] == '/') path[length - 1] = 0;
    state.tempFolderPath = duplicateText(path);
    return true;
}

static bool openSelf() {
    state.selfFile = CreateFileA(state.programFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (state.selfFile == INVALID_HANDLE_VALUE) {
        showStartupError("Error opening itself.");
        return false;
    }
    return true;
}

static void splitCommandLine() {
    state.commandLine = duplicateText(GetCommandLineA());
    if (!state.commandLine) return;
    CharUpperA(state.commandLine);
    state.argumentCount = splitArguments(state.commandLine, state.arguments, maxArguments);
}

// ---- stage 1: the look of the wizard and the uninstaller window ----

static_assert(sizeof(PaletteColor) == sizeof(PALETTEENTRY), "palette entries are filled in place");

static void createGradientPalette() {
    int entries = gradientPaletteSize(state.gradientSteps);
    LOGPALETTE* palette = static_cast<LOGPALETTE*>(heapAlloc(sizeof(LOGPALETTE) + entries * sizeof(PALETTEENTRY)));
    if (!palette) return;
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(entries);
    fillGradientPalette(reinterpret_cast<PaletteColor*>(palette->palPalEntry), state.gradientSteps,
                        state.gradientTopColor, state.gradientBottomColor, state.accentColor,
                        GetSysColor(COLOR_BTNFACE));
    state.gradientPalette = CreatePalette(palette);
    heapFree(palette);
}

static HFONT createFont(int points, int weight, const char* face) {
    return CreateFontA(fontHeight(points, state.screenDpi), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

static void prepareAppearance() {
    HDC screen = GetDC(nullptr);
    state.screenDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    state.stripeBottomWidth = stripeBottomWidth(state.screenDpi);
    state.stripeTopWidth = stripeTopWidth(state.screenDpi);
    createGradientPalette();
    state.textFont = createFont(8, FW_NORMAL, state.textFontFace);
    state.titleFont = createFont(state.dialogIdBase ? 10 : 12, FW_BOLD, state.titleFontFace);
    COLORREF accent = state.accentColor;
    state.headerBrush = CreateSolidBrush(systemColor(state.headerColor));
    state.accentBrush = CreateSolidBrush(systemColor(accent));
    state.accentPen = CreatePen(PS_SOLID, 0, systemColor(accent));
    state.pageBrush = CreateSolidBrush(systemColor(state.pageColor));
    state.frameBrush = CreateSolidBrush(systemColor(state.frameColor));
}

static void deleteObject(HGDIOBJ* object) {
    if (*object) DeleteObject(*object);
    *object = nullptr;
}

static void releaseAppearance() {
    HGDIOBJ* objects[] = {reinterpret_cast<HGDIOBJ*>(&state.textFont),    reinterpret_cast<HGDIOBJ*>(&state.titleFont),
                          reinterpret_cast<HGDIOBJ*>(&state.headerBrush), reinterpret_cast<HGDIOBJ*>(&state.accentBrush),
                          reinterpret_cast<HGDIOBJ*>(&state.accentPen),   reinterpret_cast<HGDIOBJ*>(&state.pageBrush),
                          reinterpret_cast<HGDIOBJ*>(&state.frameBrush),  reinterpret_cast<HGDIOBJ*>(&state.gradientPalette)};
    for (HGDIOBJ* object : objects) deleteObject(object);
}

bool runStartupStage(int stage) {
    switch (stage) {
    case 0: return prepareRuntime();
    case 1: prepareAppearance(); return true;
    case 2: readLanguageNames(); return true;
    case 3: return findProgramPath();
    case 4: findProgramFolder(); return true;
    case 5: return findTempFolder();
    case 6: return openSelf();
    case 7: splitCommandLine(); return true;
    default: return true;
    }
}

static void closeHandle(HANDLE* handle) {
    if (*handle && *handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
    *handle = nullptr;
}

void cleanUpStartup() {
    releaseAppearance();
    if (state.richEditLibrary) FreeLibrary(state.richEditLibrary);
    state.richEditLibrary = nullptr;
    destroyStateLists();
    freeStateTexts();
    closeHandle(&state.selfFile);
    state.selfFile = INVALID_HANDLE_VALUE;
    closeHandle(&state.uninstallDoneEvent);
    closeHandle(&state.installDoneEvent);
    closeHandle(&state.resumeEvent);
    closeHandle(&state.threadToken);
    unloadShellFunctions();
    unloadVersionFunctions();
    unloadPointerArrayFunctions();
    unloadSecurityFunctions();
    heapDestroy();  // every text of the run goes with the heap
}
