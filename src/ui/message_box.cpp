// message_box.cpp -- start-up failure messages.
#include "ui/message_box.h"

#include "ui/messages.h"

static const char startupCaption[] = "Velkorin";

void showStartupError(const char* text) { showMessage(nullptr, startupCaption, text, nullptr, nullptr, nullptr, MB_OK | MB_ICONERROR); }

void showLibraryError(const char* library) {
    showMessage(nullptr, startupCaption, "Error loading %s library.", library, nullptr, nullptr, MB_OK | MB_ICONERROR);
}

void showLastSystemError() { showStartupError(systemErrorText(GetLastError())); }

void traceLine(const char* text) { OutputDebugStringA(text); }
