// setup_state.cpp -- the global state record and its start values.
#include "script/setup_state.h"

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
}
