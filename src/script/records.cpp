// records.cpp -- the record interpreter. Every text a record carries is copied; nothing keeps a
// pointer into the script buffer. Every read is bounded by the record's length: a value the
// record is too short to hold is not read, and the field it would set keeps its value.
#include "script/records.h"

#include "script/fields.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "script/text_tools.h"
#include "script/variables.h"
#include "support/heap.h"
#include "system/registry.h"
#include "ui/fonts.h"

// A bounded reader over one record's payload.
struct PayloadReader {
    const BYTE* at;
    DWORD left;
};

static DWORD readLength(const BYTE* record) {
    return record[0] | (record[1] << 8) | (record[2] << 16) | (static_cast<DWORD>(record[3]) << 24);
}

static PayloadReader payloadOf(const BYTE* record) { return {record + 4, readLength(record)}; }

// The next zero-terminated text, or null when no terminated text is left in the record.
static const char* takeText(PayloadReader* reader) {
    DWORD n = 0;
    while (n < reader->left && reader->at[n]) ++n;
    if (n == reader->left) {  // no terminator inside the record: the rest is lost
        reader->at += reader->left;
        reader->left = 0;
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(reader->at);
    reader->at += n + 1;
    reader->left -= n + 1;
    return text;
}

static bool takeDword(PayloadReader* reader, DWORD* value) {
    if (reader->left < 4) return false;
    *value = readLength(reader->at);
    reader->at += 4;
    reader->left -= 4;
    return true;
}

static bool takeByte(PayloadReader* reader, BYTE* value) {
    if (!reader->left) return false;
    *value = *reader->at++;
    --reader->left;
    return true;
}

static void replaceText(char** field, const char* text) {
    heapFree(*field);
    *field = duplicateText(text);
}

// Colours written as 0xRRGGBB become COLORREFs (red in the low byte); the top byte is kept.
static COLORREF exchangeRedBlue(DWORD color) {
    return (color & 0xFF00FF00u) | ((color & 0xFF) << 16) | ((color >> 16) & 0xFF);
}

static void applyVariable(PayloadReader reader) {
    const char* name = takeText(&reader);
    const char* value = takeText(&reader);
    if (!name || !value) return;
    char* expanded = expandFolderTokens(value);  // variables inside stay for use time
    int index = listAppend(&state.variableNames, name);
    if (index >= 0 && !listSetAt(&state.variableValues, index, expanded)) listRemoveAt(&state.variableNames, index);
    heapFree(expanded);
}

static void applyPages(PayloadReader reader) {
    for (DWORD i = 0; i < wizardPageCount; ++i) {
        state.pages[i].enabled = i < reader.left && reader.at[i] != 0;
        state.pages[i].dialogId = state.dialogIdBase + 129 + static_cast<int>(i);
    }
}

static void applyDocument(PayloadReader reader, char** target) {
    const char* document = takeText(&reader);
    if (document) replaceText(target, document);
}

static void applyBackground(PayloadReader reader) {
    DWORD top, bottom;
    if (!takeDword(&reader, &top) || !takeDword(&reader, &bottom)) return;
    state.showBackground = true;
    state.gradientTopColor = exchangeRedBlue(top);
    state.gradientBottomColor = exchangeRedBlue(bottom);
}

// A font text "face,colour": the face when installed (an empty one means "Tahoma"),
// else "MS Sans Serif"; faces longer than the system's 31 characters count as not installed.
static void applyFont(const char* fontText, char* face, COLORREF* color) {
    splitFields(fontText, false);
    const char* wanted = *field(0) ? field(0) : "Tahoma";
    if (textLength(wanted) >= fontFaceSize || !fontInstalled(wanted)) wanted = "MS Sans Serif";
    DWORD length = textLength(wanted);
    copyBytes(face, wanted, length + 1);
    *color = exchangeRedBlue(static_cast<DWORD>(toNumber(field(1))));
}

// "root,key,value name": a string found there replaces the value of "%InstallPath%".
static void applyDefaultPath(const char* source) {
    splitFields(source, false);
    char* path = readRegistryString(field(0), field(1), field(2));
    if (path) setVariable("%InstallPath%", path);
    heapFree(path);
}

// Stores the text expanded for folder tokens; true when the result is not empty.
static bool storeExpanded(char** target, const char* written) {
    heapFree(*target);
    *target = expandFolderTokens(written);
    return *target && **target;
}

static bool applyProductNames(PayloadReader* reader) {
    const char* name = takeText(reader);
    const char* title = takeText(reader);
    if (!name || !title) return false;
    replaceText(&state.productName, name);
    replaceText(&state.productTitle, title);
    heapFree(state.setupCaption);
    state.setupCaption = concatTexts(state.productTitle, " Setup");  // "%s Setup" of the title
    return true;
}

static void applyProductFlags(BYTE flags) {
    state.dialogIdBase = (flags & productCompactDialogs) ? 20 : 0;
    state.groupChoice = flags & productGroupChoice;
    state.desktopChoice = flags & productDesktopChoice;
    state.quickLaunchChoice = flags & productQuickLaunchChoice;
    state.rebootRequired = state.restartAtEnd = flags & productRestart;
    state.createUninstaller = flags & productCreateUninstaller;
}

static void applyProduct(PayloadReader reader) {
    if (!applyProductNames(&reader)) return;
    const char* written = takeText(&reader);
    if (!written) return;
    applyFont(written, state.textFontFace, &state.textColor);
    if (!takeDword(&reader, &state.pageColor) || !takeDword(&reader, &state.frameColor)) return;
    if (!(written = takeText(&reader))) return;
    applyFont(written, state.titleFontFace, &state.titleColor);
    BYTE flags;
    if (!takeDword(&reader, &state.headerColor) || !takeByte(&reader, &flags)) return;
    state.welcomeHeaderFill = flags & productWelcomeHeaderFill;
    state.backgroundCaption = flags & productBackgroundCaption;
    if (!(written = takeText(&reader))) return;
    applyDefaultPath(written);
    if (!(written = takeText(&reader))) return;
    state.launchFinishProgram = storeExpanded(&state.finishProgram, written);
    if (!(written = takeText(&reader))) return;
    state.openFinishReadme = storeExpanded(&state.finishReadme, written);
    if (!takeByte(&reader, &flags)) return;
    applyProductFlags(flags);
    takeByte(&reader, &state.hideMakerLink);
}

static void applyShortcut(PayloadReader reader) {
    const char* line = takeText(&reader);
    if (!line) return;
    if (findText(line, "%ShortcutsGroup%", wholeText, false))
        state.hasGroupShortcuts = state.createGroupShortcuts = true;
    if (findText(line, "<Desktop>", wholeText, false) || findText(line, "<CommonDesktop>", wholeText, false))
        state.hasDesktopShortcuts = state.createDesktopShortcuts = true;
    if (findText(line, "<QuickLaunch>", wholeText, false))
        state.hasQuickLaunchShortcuts = state.createQuickLaunchShortcuts = true;
    listAppend(&state.shortcuts, line);  // expanded when the shortcut is made
}

static void appendExpanded(PayloadReader reader, StringList* list) {
    const char* line = takeText(&reader);
    if (!line) return;
    char* expanded = expandFolderTokens(line);
    if (expanded) listAppend(list, expanded);
    heapFree(expanded);
}

// The list of a launch or DLL call by its page code: 1..12 after that page, 0 before the wizard,
// -1 at removal; null (dropped) for any other code.
static StringList* actionList(int page, bool dllCall) {
    if (page >= 1 && page <= static_cast<int>(wizardPageCount))
        return dllCall ? &state.pages[page - 1].dllCallsAfter : &state.pages[page - 1].launchesAfter;
    if (page == 0) return dllCall ? &state.startDllCalls : &state.startLaunches;
    if (page == -1) return dllCall ? &state.uninstallDllCalls : &state.uninstallLaunches;
    return nullptr;
}

static const BYTE launchFieldsKept[] = {0, 1, 2, 4, 5, 6};  // the page code (3) is dropped
static const BYTE dllCallFieldsKept[] = {0, 1, 2, 3, 5};    // the page code (4) is dropped
constexpr int defaultActionPage = 11;                       // after the installing page

static void applyAction(PayloadReader reader, bool dllCall) {
    const char* line = takeText(&reader);
    if (!line) return;
    char* expanded = expandFolderTokens(line);
    if (!expanded) return;
    splitFields(expanded, false);
    heapFree(expanded);
    const char* page = field(dllCall ? 4 : 3);
    StringList* list = actionList(*page ? toNumber(page) : defaultActionPage, dllCall);
    if (!list) return;
    char* entry = dllCall ? joinFields(dllCallFieldsKept, sizeof(dllCallFieldsKept))
                          : joinFields(launchFieldsKept, sizeof(launchFieldsKept));
    if (entry) listAppend(list, entry);
    heapFree(entry);
}

static void applyRequirements(PayloadReader reader) {
    char** targets[] = {&state.requiredOs, &state.requiredDirectX, &state.requiredIe, &state.requiredAccess};
    for (char** target : targets) {
        const char* written = takeText(&reader);
        if (!written) return;
        replaceText(target, written);
    }
    takeByte(&reader, &state.requireAdmin);
}

void applyRecord(DWORD type, const BYTE* record) {
    if (!record) return;
    PayloadReader reader = payloadOf(record);
    switch (type) {
    case recordVariable: applyVariable(reader); break;
    case recordPages: applyPages(reader); break;
    case recordLicense: applyDocument(reader, &state.licenseText); break;
    case recordReadme: applyDocument(reader, &state.readmeText); break;
    case recordText: applyTextRecord(reader.at, reader.left); break;
    case recordLanguages: applyLanguagesRecord(reader.at, reader.left); break;
    case recordBackground: applyBackground(reader); break;
    case recordAccentColor: takeDword(&reader, &state.accentColor); break;
    case recordProduct: applyProduct(reader); break;
    case recordShortcut: applyShortcut(reader); break;
    case recordRegistry: appendExpanded(reader, &state.registryEntries); break;
    case recordIni: appendExpanded(reader, &state.iniEntries); break;
    case recordLaunch: applyAction(reader, false); break;
    case recordDllCall: applyAction(reader, true); break;
    case recordAssociation: appendExpanded(reader, &state.fileAssociations); break;
    case recordRequirements: applyRequirements(reader); break;
    case recordBackgroundText: appendExpanded(reader, &state.backgroundTexts); break;
    default: break;  // unknown types are skipped
    }
}
