// setup_state.cpp -- the global state record and its start values.
#include "script/setup_state.h"

#include "support/heap.h"
#include "support/pointer_array.h"

SetupState state;

static void copyFace(char* face, const char* text) {
    int i = 0;
    for (; text[i] && i < fontFaceSize - 1; ++i) face[i] = text[i];
    face[i] = 0;
}

void resetSetupState() {
    BYTE* bytes = reinterpret_cast<BYTE*>(&state);
    for (DWORD i = 0; i < sizeof(state); ++i) bytes[i] = 0;
    state.selfFile = INVALID_HANDLE_VALUE;
    state.languageId = 9;
    state.gradientSteps = 200;
    state.accentColor = 0x00C88C00;
    state.installOk = true;
    copyFace(state.textFontFace, "MS Sans Serif");
    copyFace(state.titleFontFace, "MS Sans Serif");
    state.pageColor = colorSystemButtonFace;
    state.screenDpi = 96;
    state.currentPage = state.previousPage = state.wizardEventPage = -1;
    state.languageIndex = -1;
}

constexpr int listGrowth = 5;

// Every configuration list that stage 0 creates and the clean-up destroys, page lists aside.
static StringList* const configurationLists[] = {
    &state.uninstallLaunches, &state.uninstallDllCalls, &state.startLaunches, &state.startDllCalls,
    &state.variableNames, &state.variableValues, &state.languageNames, &state.shortcuts,
    &state.registryEntries, &state.iniEntries, &state.fileAssociations, &state.backgroundTexts,
    &state.leftoverPaths, &state.rebootDeletePaths, &state.rebootReplaceFiles,
    &state.pendingReplacements, &state.rebootReplaceShared, &state.folderPaths, &state.logLines,
};

static bool createLanguageTables() {
    for (DWORD language = 0; language < languageSlots; ++language) {
        if (!listCreate(&state.messageTexts[language], listGrowth) ||
            !listCreate(&state.errorTexts[language], listGrowth) ||
            !listCreate(&state.buttonTexts[language], listGrowth))
            return false;
        for (PageRecord& page : state.pages)
            if (!listCreate(&page.texts[language], listGrowth)) return false;
    }
    for (PageRecord& page : state.pages)
        if (!listCreate(&page.launchesAfter, listGrowth) || !listCreate(&page.dllCallsAfter, listGrowth)) return false;
    return true;
}

static bool createConfigurationLists() {
    for (StringList* list : configurationLists)
        if (!listCreate(list, listGrowth)) return false;
    return createLanguageTables();
}

bool createStateLists() {
    listCreate(&state.fieldList, 15);
    state.languages = pointerArray.create(10);
    return state.languages && createConfigurationLists();
}

// Calls visit for every list createStateLists made.
static void forEachStateList(void (*visit)(StringList*)) {
    for (DWORD language = 0; language < languageSlots; ++language) {
        visit(&state.messageTexts[language]);
        visit(&state.errorTexts[language]);
        visit(&state.buttonTexts[language]);
    }
    for (PageRecord& page : state.pages) {
        for (StringList& texts : page.texts) visit(&texts);
        visit(&page.launchesAfter);
        visit(&page.dllCallsAfter);
    }
    for (StringList* list : configurationLists) visit(list);
    visit(&state.fieldList);
}

void destroyStateLists() {
    forEachStateList(listDestroy);
    if (state.languages) pointerArray.destroy(state.languages);
    state.languages = nullptr;
}

void clearStateLists() {
    forEachStateList(listClear);
    if (state.languages) pointerArray.deleteAllPtrs(state.languages);
}

void freeStateTexts() {
    char** texts[] = {&state.productName, &state.productTitle, &state.setupCaption, &state.licenseText,
                      &state.readmeText, &state.finishProgram, &state.finishReadme, &state.requiredOs,
                      &state.requiredDirectX, &state.requiredIe, &state.requiredAccess,
                      &state.programFilePath, &state.programFolderPath, &state.tempFolderPath,
                      &state.commandLine, &state.tempLogPath};
    for (char** text : texts) {
        heapFree(*text);
        *text = nullptr;
    }
    heapFree(state.script);
    state.script = nullptr;
    heapFree(state.logLineIndex);
    state.logLineIndex = nullptr;
    state.logLineIndexSize = 0;
    state.logLinesIndexed = 0;
}
