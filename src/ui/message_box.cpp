// message_box.cpp -- start-up failure messages.
#include "ui/message_box.h"

static const char startupCaption[] = "Velkorin";

void showStartupError(const char* text) { MessageBoxA(nullptr, text, startupCaption, MB_OK | MB_ICONERROR); }

void showLibraryError(const char* library) {
    char text[96];
    wsprintfA(text, "Error loading %s library.", library);
    showStartupError(text);
}

void showLastSystemError() {
    char text[512];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0,
                        text, sizeof(text), nullptr))
        text[0] = 0;
    showStartupError(text);
}

void traceLine(const char* text) { OutputDebugStringA(text); }
