// fonts.cpp -- installed-font test through the screen's font enumeration.
#include "ui/fonts.h"

// Called once per matching family: records the call and stops the enumeration.
static int CALLBACK noteFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool fontInstalled(const char* face) {
    if (!face || !*face) return false;  // an empty face would list every family
    LOGFONTA font = {};
    font.lfCharSet = ANSI_CHARSET;
    for (int i = 0; face && face[i] && i < LF_FACESIZE - 1; ++i) font.lfFaceName[i] = face[i];
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &font, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}
